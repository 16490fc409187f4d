// JTJsonParser: a single-pass recursive-descent reader over the bytes of the text. Each level
// that fails adds its own error, so a failure deep inside leaves a chain from the innermost
// cause to the outermost level.
#include "net/JTJsonParser.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <variant>

#include "net/JsonNumber.h"
#include "net/JsonText.h"
#include "platform/foundation/Utf8.h"

namespace {

bool isWhitespace(char ch)
{
    return ch == ' ' || ch == '\t' || ch == '\n' || ch == '\r' || ch == '\v' || ch == '\f';
}

bool isDigit(char ch)
{
    return ch >= '0' && ch <= '9';
}

int hexValue(char ch)
{
    if (ch >= '0' && ch <= '9')
        return ch - '0';
    if (ch >= 'a' && ch <= 'f')
        return ch - 'a' + 10;
    if (ch >= 'A' && ch <= 'F')
        return ch - 'A' + 10;
    return -1;
}

std::string hexMessage(const char* format, unsigned value)
{
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, format, value);
    return buffer;
}

} // namespace

Value JTJsonParser::fragmentWithString(std::optional<std::string_view> text)
{
    clearErrorTrace();
    if (!text) {
        addErrorWithCode(net::JsonErrorNoInput, "Input was 'nil'");
        return {};
    }
    // A NUL character ends the text.
    std::string_view input = *text;
    if (input.empty())
        input = ""; // never a null data pointer
    if (const void* nul = std::memchr(input.data(), '\0', input.size()))
        input = input.substr(0, static_cast<std::size_t>(static_cast<const char*>(nul) - input.data()));
    depth_ = 0;
    c_ = input.data();
    end_ = c_ + input.size();
    builder_.clear();

    Value result;
    bool ok = scanValue(foundation::IntoValue { result });
    if (ok) {
        skipWhitespace();
        if (!atEnd()) {
            addErrorWithCode(net::JsonErrorGarbageAfterValue, "Garbage after JSON");
            ok = false;
        }
    }
    c_ = end_ = nullptr;
    builder_.clear();
    return ok ? result : Value();
}

Value JTJsonParser::objectWithString(std::optional<std::string_view> text)
{
    Value result = fragmentWithString(text);
    if (result.isAbsent() || result.isArray() || result.isDictionary())
        return result;
    addErrorWithCode(net::JsonErrorNotContainer, "Valid fragment, but not JSON");
    return {};
}

void JTJsonParser::skipWhitespace()
{
    while (c_ != end_ && isWhitespace(*c_))
        ++c_;
}

template <typename Emit>
bool JTJsonParser::scanValue(Emit&& emit)
{
    skipWhitespace();
    if (atEnd()) {
        addErrorWithCode(net::JsonErrorEndOfInput, "Unexpected end of string");
        return false;
    }
    Value container;
    switch (*c_) {
    case '{':
        if (!scanObject(container))
            return false;
        emit(std::move(container));
        return true;
    case '[':
        if (!scanArray(container))
            return false;
        emit(std::move(container));
        return true;
    case '"': {
        std::string s;
        if (!scanString(s))
            return false;
        emit(std::move(s));
        return true;
    }
    case 't':
        if (!scanLiteral("true", "Expected 'true'"))
            return false;
        emit(true);
        return true;
    case 'f':
        if (!scanLiteral("false", "Expected 'false'"))
            return false;
        emit(false);
        return true;
    case 'n':
        if (!scanLiteral("null", "Expected 'null'"))
            return false;
        emit(Value::null());
        return true;
    case '+':
        return numberError("Leading + disallowed in number");
    default:
        if (*c_ == '-' || isDigit(*c_))
            return scanNumber(emit);
        addErrorWithCode(net::JsonErrorUnexpectedText, "Unrecognised leading character");
        return false;
    }
}

bool JTJsonParser::scanLiteral(std::string_view word, const char* failure)
{
    if (static_cast<std::size_t>(end_ - c_) < word.size() || std::memcmp(c_, word.data(), word.size()) != 0) {
        addErrorWithCode(net::JsonErrorUnexpectedText, failure);
        return false;
    }
    c_ += word.size();
    return true;
}

bool JTJsonParser::scanArray(Value& out)
{
    ++c_; // '['
    if (!enterLevel())
        return false;
    std::size_t mark = builder_.elementMark();
    for (;;) {
        if (atEnd()) {
            addErrorWithCode(net::JsonErrorEndOfInput, "End of input while parsing array");
            return false;
        }
        skipWhitespace();
        if (!atEnd() && *c_ == ']')
            break;
        if (!scanValue(foundation::IntoElement { builder_ })) {
            addErrorWithCode(net::JsonErrorUnexpectedText, "Expected value while parsing array");
            return false;
        }
        skipWhitespace();
        if (atEnd() || *c_ == ']')
            continue;
        if (*c_ != ',') {
            addErrorWithCode(net::JsonErrorUnexpectedText, "Expected ',' or ']' after array element");
            return false;
        }
        ++c_;
        skipWhitespace();
        if (!atEnd() && *c_ == ']') {
            addErrorWithCode(net::JsonErrorTrailingComma, "Trailing comma disallowed in array");
            return false;
        }
    }
    ++c_; // ']'
    leaveLevel();
    out = builder_.makeArray(mark);
    return true;
}

bool JTJsonParser::scanObject(Value& out)
{
    ++c_; // '{'
    if (!enterLevel())
        return false;
    std::size_t mark = builder_.memberMark();
    for (;;) {
        if (atEnd()) {
            addErrorWithCode(net::JsonErrorEndOfInput, "End of input while parsing object");
            return false;
        }
        skipWhitespace();
        if (!atEnd() && *c_ == '}')
            break;
        std::string key;
        if (atEnd() || *c_ != '"' || !scanString(key)) {
            addErrorWithCode(net::JsonErrorUnexpectedText, "Object key string expected");
            return false;
        }
        skipWhitespace();
        if (atEnd() || *c_ != ':') {
            addErrorWithCode(net::JsonErrorUnexpectedText, "Expected ':' separating key and value");
            return false;
        }
        ++c_;
        // Members are sorted once at the end; a later duplicate key replaces the earlier value.
        if (!scanValue(foundation::IntoMember<std::string> { builder_, key })) {
            addErrorWithCode(net::JsonErrorUnexpectedText, "Object value expected for key: " + key);
            return false;
        }
        skipWhitespace();
        if (atEnd() || *c_ == '}')
            continue;
        if (*c_ != ',') {
            addErrorWithCode(net::JsonErrorUnexpectedText, "Expected ',' or '}' after object member");
            return false;
        }
        ++c_;
        skipWhitespace();
        if (!atEnd() && *c_ == '}') {
            addErrorWithCode(net::JsonErrorTrailingComma, "Trailing comma disallowed in object");
            return false;
        }
    }
    ++c_; // '}'
    leaveLevel();
    out = builder_.makeDictionary(mark);
    return true;
}

bool JTJsonParser::scanString(std::string& out)
{
    ++c_; // opening quote
    const char* run = c_;
    for (;;) {
        c_ = net::findStringStop(c_, end_);
        if (atEnd()) {
            addErrorWithCode(net::JsonErrorEndOfInput, "Unexpected EOF while parsing string");
            return false;
        }
        unsigned char b = static_cast<unsigned char>(*c_);
        if (b >= 0x80) {
            std::size_t length = net::utf8SequenceLength(c_, end_);
            if (length == 0) {
                addErrorWithCode(net::JsonErrorUnexpectedText, "Invalid UTF-8 sequence in string");
                return false;
            }
            c_ += length;
            continue;
        }
        out.append(run, c_);
        if (b == '"') {
            ++c_;
            return true;
        }
        if (b != '\\') {
            addErrorWithCode(net::JsonErrorControlCharacter, hexMessage("Unescaped control character '0x%x'", b));
            return false;
        }
        ++c_; // backslash
        if (!scanEscape(out))
            return false;
        run = c_;
    }
}

bool JTJsonParser::scanEscape(std::string& out)
{
    char ch = atEnd() ? '\0' : *c_;
    char plain;
    switch (ch) {
    case '"':
    case '\\':
    case '/':
        plain = ch;
        break;
    case 'b':
        plain = '\b';
        break;
    case 'f':
        plain = '\f';
        break;
    case 'n':
        plain = '\n';
        break;
    case 'r':
        plain = '\r';
        break;
    case 't':
        plain = '\t';
        break;
    case 'u':
        ++c_;
        if (scanUnicodeEscape(out))
            return true;
        addErrorWithCode(net::JsonErrorBadUnicodeEscape, "Broken unicode character");
        return false;
    default:
        addErrorWithCode(net::JsonErrorIllegalEscape,
            hexMessage("Illegal escape sequence '0x%x'", static_cast<unsigned char>(ch)));
        return false;
    }
    out.push_back(plain);
    ++c_;
    return true;
}

bool JTJsonParser::scanQuad(unsigned& unit)
{
    unit = 0;
    for (int i = 0; i < 4; ++i, ++c_) {
        int digit = atEnd() ? -1 : hexValue(*c_);
        if (digit < 0) {
            addErrorWithCode(net::JsonErrorBadUnicodeEscape, "Missing hex digit in quad");
            return false;
        }
        unit = unit * 16 + static_cast<unsigned>(digit);
    }
    return true;
}

bool JTJsonParser::scanUnicodeEscape(std::string& out)
{
    unsigned high;
    if (!scanQuad(high)) {
        addErrorWithCode(net::JsonErrorBadUnicodeEscape, "Missing hex quad");
        return false;
    }
    if (high < 0xD800 || high >= 0xE000) {
        foundation::utf8::append(out, high);
        return true;
    }
    if (high >= 0xDC00) {
        addErrorWithCode(net::JsonErrorBadUnicodeEscape, "Invalid high character in surrogate pair");
        return false;
    }
    unsigned low;
    bool escaped = end_ - c_ >= 2 && c_[0] == '\\' && c_[1] == 'u';
    if (!escaped || (c_ += 2, !scanQuad(low))) {
        addErrorWithCode(net::JsonErrorBadUnicodeEscape, "Missing low character in surrogate pair");
        return false;
    }
    if (low < 0xDC00 || low > 0xDFFF) {
        addErrorWithCode(net::JsonErrorBadUnicodeEscape, "Invalid low surrogate char");
        return false;
    }
    foundation::utf8::append(out, 0x10000 + (high - 0xD800) * 0x400 + (low - 0xDC00));
    return true;
}

bool JTJsonParser::numberError(const char* message)
{
    addErrorWithCode(net::JsonErrorBadNumber, message);
    return false;
}

template <typename Emit>
bool JTJsonParser::scanNumber(Emit& emit)
{
    const char* start = c_;
    net::JsonNumberParts parts;
    auto digits = [&](bool fraction) {
        for (; !atEnd() && isDigit(*c_); ++c_) {
            parts.mantissa = parts.mantissa * 10 + static_cast<std::uint64_t>(*c_ - '0');
            ++parts.digits;
            parts.fractionDigits += fraction;
        }
    };
    if (*c_ == '-')
        ++c_;
    if (end_ - c_ >= 2 && c_[0] == '0' && isDigit(c_[1]))
        return numberError("Leading 0 disallowed in number");
    if (atEnd() || !isDigit(*c_))
        return numberError("No digits after initial minus");
    digits(false);
    if (!atEnd() && *c_ == '.') {
        ++c_;
        if (atEnd() || !isDigit(*c_))
            return numberError("No digits after decimal point");
        digits(true);
        parts.integral = false;
    }
    if (!atEnd() && (*c_ == 'e' || *c_ == 'E')) {
        ++c_;
        bool negative = !atEnd() && *c_ == '-';
        if (!atEnd() && (*c_ == '+' || *c_ == '-'))
            ++c_;
        if (atEnd() || !isDigit(*c_))
            return numberError("No digits after exponent");
        for (; !atEnd() && isDigit(*c_); ++c_)
            parts.exponent = std::min(parts.exponent * 10 + (*c_ - '0'), 100000);
        if (negative)
            parts.exponent = -parts.exponent;
        parts.integral = false;
    }
    std::string_view text(start, static_cast<std::size_t>(c_ - start));
    std::optional<net::JsonNumber> number = net::jsonNumber(text, parts);
    if (!number)
        return numberError("Failed creating decimal instance");
    std::visit(emit, *number);
    return true;
}
