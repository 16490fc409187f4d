// The formatter behind stringWithFormat and NSLog (see Format.h). Numeric conversions are
// rebuilt as a fixed C conversion with a 64-bit argument and handed to snprintf, so the
// flags behave exactly as in C while the argument can never be of the wrong kind.
#include "platform/foundation/Format.h"

#include <cstdio>

#include "platform/foundation/Utf8.h"

namespace foundation {
namespace {

struct Spec {
    std::string flags;
    int width = -1;
    int precision = -1;
    std::string length;
    char conversion = 0;
    bool leftAlign() const { return flags.find('-') != std::string::npos; }
};

class ArgumentReader {
public:
    explicit ArgumentReader(std::span<const Value> arguments)
        : arguments_(arguments)
    {
    }
    // Past the end the reader hands out the absent value.
    const Value& next() { return index_ < arguments_.size() ? arguments_[index_++] : absentValue(); }

private:
    std::span<const Value> arguments_;
    std::size_t index_ = 0;
};

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

int clampCount(std::int64_t v)
{
    return v > 100000 ? 100000 : static_cast<int>(v);
}

int readNumber(std::string_view format, std::size_t& i)
{
    std::int64_t n = 0;
    while (i < format.size() && isDigit(format[i])) {
        if (n < 1000000)
            n = n * 10 + (format[i] - '0');
        ++i;
    }
    return clampCount(n);
}

// Width by UTF-16 units, as the platform pads "%@" texts.
void pad(std::string& out, const std::string& text, const Spec& spec, std::size_t length)
{
    std::size_t width = spec.width > 0 ? static_cast<std::size_t>(spec.width) : 0;
    std::string padding(width > length ? width - length : 0, ' ');
    if (spec.leftAlign()) {
        out += text;
        out += padding;
    } else {
        out += padding;
        out += text;
    }
}

// Keeps the first `units` UTF-16 units of the text.
std::string truncateUtf16(const std::string& text, std::size_t units)
{
    std::size_t i = 0, count = 0;
    while (i < text.size()) {
        std::size_t start = i;
        char32_t cp = utf8::decodeLenient(text, i);
        std::size_t size = cp >= 0x10000 ? 2 : 1;
        if (count + size > units)
            return text.substr(0, start);
        count += size;
    }
    return text;
}

void appendObject(std::string& out, const Spec& spec, const Value& value)
{
    std::string text = value.description();
    if (spec.precision >= 0)
        text = truncateUtf16(text, static_cast<std::size_t>(spec.precision));
    pad(out, text, spec, utf8::utf16Length(text));
}

void appendCString(std::string& out, const Spec& spec, const Value& value)
{
    std::string text = value.isString() ? value.asString() : value.description();
    if (spec.precision >= 0 && text.size() > static_cast<std::size_t>(spec.precision))
        text.resize(static_cast<std::size_t>(spec.precision));
    pad(out, text, spec, text.size());
}

void appendCharacter(std::string& out, const Spec& spec, const Value& value)
{
    std::uint64_t code = value.isString() ? (value.asString().empty() ? 0 : static_cast<unsigned char>(value.asString()[0]))
                                          : value.unsignedValue();
    std::string text;
    if (spec.conversion == 'c')
        code &= 0xff;
    if (code != 0)
        utf8::append(text, static_cast<char32_t>(code > 0x10ffff ? 0xfffd : code));
    pad(out, text, spec, code == 0 ? 0 : 1);
}

int bitsOf(const std::string& length)
{
    if (length == "hh")
        return 8;
    if (length == "h")
        return 16;
    if (length.empty())
        return 32;
    return 64;
}

std::string cSpec(const Spec& spec, const char* length)
{
    std::string s = "%" + spec.flags;
    if (spec.width >= 0)
        s += std::to_string(spec.width);
    if (spec.precision >= 0) {
        s += '.';
        s += std::to_string(spec.precision);
    }
    s += length;
    s += spec.conversion;
    return s;
}

template <typename T>
void appendC(std::string& out, const std::string& cformat, T value)
{
    char buffer[512];
    int n = std::snprintf(buffer, sizeof buffer, cformat.c_str(), value);
    if (n < 0)
        return;
    if (static_cast<std::size_t>(n) < sizeof buffer) {
        out.append(buffer, static_cast<std::size_t>(n));
        return;
    }
    std::string big(static_cast<std::size_t>(n) + 1, '\0');
    std::snprintf(big.data(), big.size(), cformat.c_str(), value);
    big.resize(static_cast<std::size_t>(n));
    out += big;
}

void appendSigned(std::string& out, const Spec& spec, const Value& value)
{
    std::int64_t v = value.integerValue();
    switch (bitsOf(spec.length)) {
    case 8:
        v = static_cast<std::int8_t>(v);
        break;
    case 16:
        v = static_cast<std::int16_t>(v);
        break;
    case 32:
        v = static_cast<std::int32_t>(v);
        break;
    default:
        break;
    }
    appendC(out, cSpec(spec, "ll"), static_cast<long long>(v));
}

void appendUnsigned(std::string& out, const Spec& spec, const Value& value)
{
    std::uint64_t v = value.type() == Value::Type::Unsigned ? value.unsignedValue()
                                                            : static_cast<std::uint64_t>(value.integerValue());
    int bits = bitsOf(spec.length);
    if (bits < 64)
        v &= (std::uint64_t { 1 } << bits) - 1;
    appendC(out, cSpec(spec, "ll"), static_cast<unsigned long long>(v));
}

void appendPointer(std::string& out, const Spec& spec, const Value& value)
{
    std::uint64_t v = value.isObject() ? reinterpret_cast<std::uintptr_t>(value.asObject().get()) : value.unsignedValue();
    Spec hex = spec;
    hex.conversion = 'x';
    hex.flags += '#';
    if (v == 0) {
        pad(out, "0x0", spec, 3);
        return;
    }
    appendC(out, cSpec(hex, "ll"), static_cast<unsigned long long>(v));
}

void appendConversion(std::string& out, const Spec& spec, const Value& value)
{
    switch (spec.conversion) {
    case '@':
        appendObject(out, spec, value);
        return;
    case 's':
    case 'S':
        appendCString(out, spec, value);
        return;
    case 'c':
    case 'C':
        appendCharacter(out, spec, value);
        return;
    case 'd':
    case 'i':
    case 'D':
        appendSigned(out, spec, value);
        return;
    case 'u':
    case 'x':
    case 'X':
    case 'o':
    case 'U':
    case 'O': {
        Spec s = spec;
        if (s.conversion == 'U' || s.conversion == 'O') {
            s.conversion = static_cast<char>(s.conversion + ('a' - 'A'));
            s.length.assign(1, 'l');
        }
        appendUnsigned(out, s, value);
        return;
    }
    case 'p':
        appendPointer(out, spec, value);
        return;
    default: // f F e E g G a A
        appendC(out, cSpec(spec, ""), value.doubleValue());
        return;
    }
}

bool isConversion(char c)
{
    static constexpr std::string_view all = "@sScCdiDuxXoUOpfFeEgGaA";
    return all.find(c) != std::string_view::npos;
}

} // namespace

std::string formatWithValues(std::string_view format, std::span<const Value> arguments)
{
    std::string out;
    out.reserve(format.size() + 16);
    ArgumentReader reader(arguments);
    std::size_t i = 0;
    while (i < format.size()) {
        char c = format[i];
        if (c != '%') {
            out += c;
            ++i;
            continue;
        }
        std::size_t start = i++;
        if (i < format.size() && format[i] == '%') {
            out += '%';
            ++i;
            continue;
        }
        Spec spec;
        while (i < format.size() && std::string_view("-+ #0'").find(format[i]) != std::string_view::npos)
            spec.flags += format[i++];
        if (i < format.size() && format[i] == '*') {
            ++i;
            std::int64_t w = reader.next().integerValue();
            if (w < 0) {
                spec.flags += '-';
                w = -w;
            }
            spec.width = clampCount(w);
        } else if (i < format.size() && isDigit(format[i])) {
            spec.width = readNumber(format, i);
        }
        if (i < format.size() && format[i] == '.') {
            ++i;
            if (i < format.size() && format[i] == '*') {
                ++i;
                std::int64_t p = reader.next().integerValue();
                spec.precision = p < 0 ? -1 : clampCount(p);
            } else {
                spec.precision = readNumber(format, i);
            }
        }
        while (i < format.size() && std::string_view("hlqLzjt").find(format[i]) != std::string_view::npos)
            spec.length += format[i++];
        if (i >= format.size() || !isConversion(format[i])) {
            // Not a conversion: the text stands as written ("%n" included, which writes nothing).
            if (i < format.size() && format[i] == 'n') {
                reader.next();
                ++i;
                continue;
            }
            out.append(format.substr(start, i - start));
            continue;
        }
        spec.conversion = format[i++];
        appendConversion(out, spec, reader.next());
    }
    return out;
}

} // namespace foundation
