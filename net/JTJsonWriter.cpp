// JTJsonWriter: a recursive writer into one growing text.
#include "net/JTJsonWriter.h"

#include <cstdio>

#include "net/JsonNumber.h"
#include "net/JsonText.h"

namespace {

// The class name a failed write names: what the platform calls a value of that kind.
std::string classNameOf(const Value& value)
{
    switch (value.type()) {
    case Value::Type::Absent:
        return "(null)";
    case Value::Type::Data:
        return "NSData";
    case Value::Type::Date:
        return "NSDate";
    case Value::Type::Object:
        return value.asObject()->className();
    default:
        return "NSNumber"; // the only other kind that can fail: a NaN or infinite number
    }
}

} // namespace

std::optional<std::string> JTJsonWriter::stringWithObject(const Value& value)
{
    if (value.isArray() || value.isDictionary())
        return stringWithFragment(value);
    clearErrorTrace();
    addErrorWithCode(net::JsonErrorNotContainer, "Not valid type for JSON");
    return std::nullopt;
}

std::optional<std::string> JTJsonWriter::stringWithFragment(const Value& value)
{
    clearErrorTrace();
    depth_ = 0;
    proxyDepth_ = 0;
    out_.clear();
    out_.reserve(128);
    if (!writeValue(value)) {
        out_.clear();
        return std::nullopt;
    }
    return std::move(out_);
}

bool JTJsonWriter::writeValue(const Value& value)
{
    switch (value.type()) {
    case Value::Type::Dictionary:
        return writeDictionary(value.entries());
    case Value::Type::Array:
        return writeArray(value.elements());
    case Value::Type::String:
        writeString(value.asString());
        return true;
    case Value::Type::Bool:
        out_ += value.boolValue() ? "true" : "false";
        return true;
    case Value::Type::Integer:
    case Value::Type::Unsigned:
    case Value::Type::Double:
    case Value::Type::Decimal:
        return net::appendJsonNumber(out_, value) || unsupported(classNameOf(value));
    case Value::Type::Null:
        out_ += "null";
        return true;
    case Value::Type::Object:
        if (auto proxy = std::dynamic_pointer_cast<net::JsonProxy>(value.asObject()))
            return writeProxy(*proxy);
        return unsupported(classNameOf(value));
    default:
        return unsupported(classNameOf(value));
    }
}

bool JTJsonWriter::unsupported(const std::string& className)
{
    addErrorWithCode(net::JsonErrorUnsupportedValue, "JSON serialisation not supported for " + className);
    return false;
}

bool JTJsonWriter::writeProxy(const net::JsonProxy& proxy)
{
    // A proxy may answer with another proxy; a chain that never ends must not exhaust the stack.
    if (++proxyDepth_ > hardDepthLimit) {
        addErrorWithCode(net::JsonErrorTooDeep, "Nested too deep");
        return false;
    }
    bool ok = writeValue(proxy.proxyForJson());
    --proxyDepth_;
    return ok;
}

void JTJsonWriter::indent()
{
    out_ += '\n';
    out_.append(2 * depth_, ' ');
}

bool JTJsonWriter::writeArray(std::span<const Value> array)
{
    if (!enterLevel())
        return false;
    out_ += '[';
    bool first = true;
    for (const Value& element : array) {
        if (!first)
            out_ += ',';
        first = false;
        if (humanReadable_)
            indent();
        if (!writeValue(element))
            return false;
    }
    leaveLevel();
    if (humanReadable_ && !array.empty())
        indent();
    out_ += ']';
    return true;
}

bool JTJsonWriter::writeDictionary(const ValueEntries& dictionary)
{
    if (!enterLevel())
        return false;
    out_ += '{';
    // Dictionary keys are strings held in ascending byte order, which is the sorted order too.
    bool first = true;
    for (auto [key, value] : dictionary) {
        if (!first)
            out_ += ',';
        first = false;
        if (humanReadable_)
            indent();
        writeString(key);
        out_ += humanReadable_ ? " : " : ":";
        if (!writeValue(value)) {
            addErrorWithCode(net::JsonErrorUnsupportedValue, "Unsupported value for key " + std::string(key) + " in object");
            return false;
        }
    }
    leaveLevel();
    if (humanReadable_ && !dictionary.empty())
        indent();
    out_ += '}';
    return true;
}

void JTJsonWriter::writeString(std::string_view text)
{
    out_ += '"';
    const char* end = text.data() + text.size();
    if (net::findStringStop(text.data(), end) == end)
        out_ += text;
    else
        writeEscaped(text);
    out_ += '"';
}

// Quotes, backslashes and control characters are escaped; every other character, the slash and
// non-ASCII ones included, is written as it is. A byte that is not part of well-formed UTF-8
// becomes U+FFFD, so the text stays valid UTF-8 and reads back.
void JTJsonWriter::writeEscaped(std::string_view text)
{
    const char* p = text.data();
    const char* end = p + text.size();
    while (p < end) {
        const char* stop = net::findStringStop(p, end);
        out_.append(p, stop);
        if (stop == end)
            return;
        p = stop;
        unsigned char b = static_cast<unsigned char>(*p);
        if (b >= 0x80) {
            std::size_t length = net::utf8SequenceLength(p, end);
            if (length == 0) {
                out_ += "\xEF\xBF\xBD";
                ++p;
            } else {
                out_.append(p, length);
                p += length;
            }
            continue;
        }
        ++p;
        switch (b) {
        case '"':
            out_ += "\\\"";
            break;
        case '\\':
            out_ += "\\\\";
            break;
        case '\b':
            out_ += "\\b";
            break;
        case '\t':
            out_ += "\\t";
            break;
        case '\n':
            out_ += "\\n";
            break;
        case '\f':
            out_ += "\\f";
            break;
        case '\r':
            out_ += "\\r";
            break;
        default: {
            char buffer[8];
            std::snprintf(buffer, sizeof buffer, "\\u%04x", b);
            out_ += buffer;
        }
        }
    }
}
