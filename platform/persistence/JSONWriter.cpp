// JSON writing: Value to compact or pretty-printed UTF-8 text, keys in sorted order.
#include "platform/persistence/NSJSONSerialization.h"

#include <charconv>
#include <cmath>

#include "platform/persistence/JSONScanner.h"
#include "platform/persistence/TextChecks.h"

namespace {

class Writer {
public:
    explicit Writer(bool pretty)
        : pretty_(pretty)
    {
    }

    // Empty on success, else what could not be written.
    std::string write(const Value& value, std::size_t depth);
    std::string& text() { return out_; }

private:
    void newline(std::size_t depth)
    {
        if (!pretty_)
            return;
        out_ += '\n';
        out_.append(depth * 2, ' ');
    }
    std::string writeString(std::string_view s);
    std::string writeArray(const Value& value, std::size_t depth);
    std::string writeDictionary(const Value& value, std::size_t depth);

    bool pretty_;
    std::string out_;
};

std::string Writer::writeString(std::string_view s)
{
    if (!persistence::isValidUTF8(s))
        return "Invalid UTF-8 in string";
    static const char* hex = "0123456789abcdef";
    out_ += '"';
    for (char c : s) {
        switch (c) {
        case '"':
            out_ += "\\\"";
            break;
        case '\\':
            out_ += "\\\\";
            break;
        case '/':
            out_ += "\\/";
            break;
        case '\b':
            out_ += "\\b";
            break;
        case '\f':
            out_ += "\\f";
            break;
        case '\n':
            out_ += "\\n";
            break;
        case '\r':
            out_ += "\\r";
            break;
        case '\t':
            out_ += "\\t";
            break;
        default:
            if (static_cast<unsigned char>(c) < 0x20) {
                out_ += "\\u00";
                out_ += hex[(c >> 4) & 0xF];
                out_ += hex[c & 0xF];
            } else {
                out_ += c;
            }
        }
    }
    out_ += '"';
    return {};
}

std::string Writer::writeArray(const Value& value, std::size_t depth)
{
    std::span<const Value> items = value.elements();
    out_ += '[';
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (i > 0)
            out_ += ',';
        newline(depth + 1);
        if (auto problem = write(items[i], depth + 1); !problem.empty())
            return problem;
    }
    if (!items.empty())
        newline(depth);
    out_ += ']';
    return {};
}

std::string Writer::writeDictionary(const Value& value, std::size_t depth)
{
    ValueEntries entries = value.entries();
    out_ += '{';
    bool first = true;
    for (auto [key, item] : entries) {
        if (!first)
            out_ += ',';
        first = false;
        newline(depth + 1);
        if (auto problem = writeString(key); !problem.empty())
            return problem;
        out_ += pretty_ ? " : " : ":";
        if (auto problem = write(item, depth + 1); !problem.empty())
            return problem;
    }
    if (!entries.empty())
        newline(depth);
    out_ += '}';
    return {};
}

std::string Writer::write(const Value& value, std::size_t depth)
{
    if (depth > persistence::json::kMaxDepth)
        return "Too many nested arrays or dictionaries";
    char buffer[32];
    switch (value.type()) {
    case Value::Type::Null:
        out_ += "null";
        return {};
    case Value::Type::Bool:
        out_ += value.boolValue() ? "true" : "false";
        return {};
    case Value::Type::Integer:
    case Value::Type::Unsigned:
        out_ += value.description();
        return {};
    case Value::Type::Decimal:
        out_ += value.asDecimal()->text(); // digit for digit
        return {};
    case Value::Type::Double: {
        double d = value.doubleValue();
        if (std::isnan(d))
            return "Invalid number value (NaN) in JSON write";
        if (std::isinf(d))
            return "Invalid number value (infinite) in JSON write";
        auto result = std::to_chars(buffer, buffer + sizeof buffer, d);
        out_.append(buffer, result.ptr);
        return {};
    }
    case Value::Type::String:
        return writeString(value.asString());
    case Value::Type::Array:
        return writeArray(value, depth);
    case Value::Type::Dictionary:
        return writeDictionary(value, depth);
    case Value::Type::Data:
        return "Invalid type in JSON write (data)";
    case Value::Type::Date:
        return "Invalid type in JSON write (date)";
    case Value::Type::Object:
        return "Invalid type in JSON write (" + value.asObject()->className() + ")";
    case Value::Type::Absent:
        return "Invalid type in JSON write (nil)";
    }
    return "Invalid type in JSON write";
}

NSErrorRef writeError(const std::string& problem)
{
    return NSError::errorWithDomain(NSCocoaErrorDomain, 3852,
        Value::dictionary({
            { NSLocalizedDescriptionKey, "The data couldn\u2019t be written because it isn\u2019t in the correct format." },
            { NSDebugDescriptionErrorKey, problem },
        }));
}

} // namespace

std::optional<Bytes> NSJSONSerialization::dataWithJSONObject(
    const Value& object, std::uint64_t options, NSErrorRef* error)
{
    if (!object.isArray() && !object.isDictionary()) {
        if (error)
            *error = writeError("Invalid top-level type in JSON write");
        return std::nullopt;
    }
    Writer writer(options & NSJSONWritingPrettyPrinted);
    if (auto problem = writer.write(object, 0); !problem.empty()) {
        if (error)
            *error = writeError(problem);
        return std::nullopt;
    }
    const std::string& text = writer.text();
    return Bytes(text.begin(), text.end());
}

bool NSJSONSerialization::isValidJSONObject(const Value& object)
{
    if (!object.isArray() && !object.isDictionary())
        return false;
    Writer writer(false);
    return writer.write(object, 0).empty();
}
