// The "%@" text of a Value, in the platform's old property-list style:
//   {
//       key = value;
//       "two words" = "\U7c89\U4e1d";
//   }
// Strings stand bare at the top level and are quoted inside containers when they hold anything
// but ASCII letters, digits, "_" and "$" (so "-1", "2.5", URLs and dates are quoted too);
// non-ASCII characters are written as \U escapes of their UTF-16 units, as the platform's
// logs show them.
#include "platform/foundation/Value.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <unordered_set>

namespace {

std::string formatDouble(double d)
{
    if (d != d)
        return "nan";
    if (d == __builtin_inf())
        return "inf";
    if (d == -__builtin_inf())
        return "-inf";
    char buffer[64];
    auto result = std::to_chars(buffer, buffer + sizeof buffer, d);
    return std::string(buffer, result.ptr);
}

bool needsQuotes(std::string_view s)
{
    if (s.empty())
        return true;
    for (unsigned char c : s) {
        bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '$';
        if (!plain)
            return true;
    }
    return false;
}

// Decodes one UTF-8 sequence at s[i]; malformed bytes come out as U+FFFD, one byte each.
char32_t nextCodePoint(std::string_view s, std::size_t& i)
{
    unsigned char c = static_cast<unsigned char>(s[i++]);
    if (c < 0x80)
        return c;
    int extra = c >= 0xf0 ? 3 : c >= 0xe0 ? 2 : c >= 0xc0 ? 1 : -1;
    if (extra < 0 || i + static_cast<std::size_t>(extra) > s.size())
        return 0xfffd;
    char32_t cp = c & (0x3f >> extra);
    for (int k = 0; k < extra; ++k) {
        unsigned char cc = static_cast<unsigned char>(s[i]);
        if ((cc & 0xc0) != 0x80)
            return 0xfffd;
        cp = (cp << 6) | (cc & 0x3f);
        ++i;
    }
    return cp;
}

void appendQuoted(std::string& out, std::string_view s)
{
    out += '"';
    std::size_t i = 0;
    char buffer[16];
    while (i < s.size()) {
        char32_t cp = nextCodePoint(s, i);
        switch (cp) {
        case '"':
            out += "\\\"";
            continue;
        case '\\':
            out += "\\\\";
            continue;
        case '\n':
            out += "\\n";
            continue;
        case '\t':
            out += "\\t";
            continue;
        case '\r':
            out += "\\r";
            continue;
        default:
            break;
        }
        if (cp < 0x20 || cp == 0x7f) {
            std::snprintf(buffer, sizeof buffer, "\\%03o", static_cast<unsigned>(cp));
            out += buffer;
        } else if (cp < 0x80) {
            out += static_cast<char>(cp);
        } else if (cp < 0x10000) {
            std::snprintf(buffer, sizeof buffer, "\\U%04x", static_cast<unsigned>(cp));
            out += buffer;
        } else {
            char32_t v = cp - 0x10000;
            std::snprintf(buffer, sizeof buffer, "\\U%04x\\U%04x", static_cast<unsigned>(0xd800 + (v >> 10)),
                static_cast<unsigned>(0xdc00 + (v & 0x3ff)));
            out += buffer;
        }
    }
    out += '"';
}

std::string formatDate(double secondsSince1970)
{
    if (!(secondsSince1970 > -1e15 && secondsSince1970 < 1e15))
        secondsSince1970 = 0;
    std::time_t t = static_cast<std::time_t>(std::floor(secondsSince1970));
    std::tm tm {};
    gmtime_r(&t, &tm);
    char buffer[64];
    std::strftime(buffer, sizeof buffer, "%Y-%m-%d %H:%M:%S +0000", &tm);
    return buffer;
}

std::string formatData(const Bytes& data)
{
    static const char* hex = "0123456789abcdef";
    std::string out = "<";
    for (std::size_t i = 0; i < data.size(); ++i) {
        if (i > 0 && i % 4 == 0)
            out += ' ';
        out += hex[data[i] >> 4];
        out += hex[data[i] & 15];
    }
    out += '>';
    return out;
}

void describe(std::string& out, const Value& v, int indent, bool nested);

void appendIndent(std::string& out, int indent)
{
    out.append(static_cast<std::size_t>(indent) * 4, ' ');
}

void describeString(std::string& out, std::string_view s, bool nested)
{
    if (nested && needsQuotes(s))
        appendQuoted(out, s);
    else
        out += s;
}

// The description being made on this thread, for the objects it meets.
struct DescriptionScope {
    int values = 0; // Value descriptions in progress, the objects' own included
    int quotedObjects = 0; // objects being described to be quoted into a collection's text
    // Every object written out in full so far, kept alive until the outermost description ends
    // so that none of them can be taken for a new one at the same address.
    std::unordered_set<NSObjectRef> written;
};
thread_local DescriptionScope scope;

// Inside a collection an object's description is quoted, and escaped, once: where the outermost
// collection holds it. Objects met within that description (an error's underlying error, and
// that one's) are written as they describe themselves, unquoted, since escaping again at every
// level would double the text with each level. An object met again in the same description (an
// error listed in a trace and held by the next error of it as its underlying error) is written
// briefly, as NSObject describes any object, so a trace of errors, each holding the one before
// it, grows linearly with its length too.
void describeObject(std::string& out, const NSObjectRef& object, bool nested)
{
    const bool quoted = nested && scope.quotedObjects == 0;
    const bool metBefore = !scope.written.insert(object).second;
    std::string text;
    {
        struct Level {
            bool counts;
            explicit Level(bool quoted) : counts(quoted) { scope.quotedObjects += counts; }
            ~Level() { scope.quotedObjects -= counts; }
        } level(quoted);
        text = metBefore ? object->NSObject::description() : object->description();
    }
    if (quoted)
        describeString(out, text, true);
    else
        out += text;
}

void describe(std::string& out, const Value& v, int indent, bool nested)
{
    using Type = Value::Type;
    switch (v.type()) {
    case Type::Absent:
        out += "(null)";
        return;
    case Type::Null:
        out += nested ? "\"<null>\"" : "<null>";
        return;
    case Type::Bool:
        out += v.boolValue() ? "1" : "0";
        return;
    case Type::Integer:
        // Inside containers numbers are quoted like any other text: "-1", "2.5".
        describeString(out, std::to_string(v.integerValue()), nested);
        return;
    case Type::Unsigned:
        out += std::to_string(v.unsignedValue());
        return;
    case Type::Double:
        describeString(out, formatDouble(v.doubleValue()), nested);
        return;
    case Type::Decimal:
        describeString(out, v.asDecimal()->text(), nested);
        return;
    case Type::String:
        describeString(out, v.asString(), nested);
        return;
    case Type::Data:
        out += formatData(v.asData());
        return;
    case Type::Date:
        describeString(out, formatDate(v.asDate()), nested);
        return;
    case Type::Object:
        describeObject(out, v.asObject(), nested);
        return;
    case Type::Array: {
        if (nested)
            appendIndent(out, indent);
        out += "(\n";
        std::span<const Value> items = v.elements();
        for (std::size_t i = 0; i < items.size(); ++i) {
            appendIndent(out, indent + 1);
            describe(out, items[i], indent + 1, true);
            out += i + 1 < items.size() ? ",\n" : "\n";
        }
        appendIndent(out, indent);
        out += ')';
        return;
    }
    case Type::Dictionary: {
        if (nested)
            appendIndent(out, indent);
        out += "{\n";
        for (auto [key, item] : v.entries()) {
            appendIndent(out, indent + 1);
            describeString(out, key, true);
            out += " = ";
            describe(out, item, indent + 1, true);
            out += ";\n";
        }
        appendIndent(out, indent);
        out += '}';
        return;
    }
    }
}

} // namespace

std::string Value::description() const
{
    struct Enter {
        Enter() { ++scope.values; }
        ~Enter()
        {
            if (--scope.values > 0)
                return;
            auto written = std::move(scope.written); // let go once the scope is clean again
            scope.written.clear();
        }
    } enter;
    std::string out;
    describe(out, *this, 0, false);
    return out;
}

std::string NSObject::description() const
{
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, ": %p>", static_cast<const void*>(this));
    return "<" + className() + buffer;
}
