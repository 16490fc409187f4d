// JSON number texts to Values and back.
#include "net/JsonNumber.h"

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>

namespace net {

namespace {

// Powers of ten that a double holds exactly.
constexpr double kExactPowers[] = { 1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14,
    1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22 };

std::optional<JsonNumber> integerValue(std::string_view text)
{
    bool negative = text.front() == '-';
    std::string_view digits = negative ? text.substr(1) : text;
    std::uint64_t magnitude = 0;
    auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), magnitude);
    if (error != std::errc() || end != digits.data() + digits.size())
        return std::nullopt;
    if (!negative)
        return magnitude <= static_cast<std::uint64_t>(INT64_MAX) ? JsonNumber(static_cast<std::int64_t>(magnitude))
                                                                  : JsonNumber(magnitude);
    if (magnitude > static_cast<std::uint64_t>(INT64_MAX) + 1)
        return std::nullopt;
    return JsonNumber(static_cast<std::int64_t>(0 - magnitude));
}

// A mantissa of at most 2^53 scaled by at most 10^22 is exact in a double, and one
// multiplication or division rounds correctly.
std::optional<double> fastDouble(bool negative, const JsonNumberParts& parts)
{
    if (parts.digits > 19 || parts.mantissa > (std::uint64_t(1) << 53))
        return std::nullopt;
    int exponent = parts.exponent - parts.fractionDigits;
    if (exponent < -22 || exponent > 22)
        return std::nullopt;
    double value = static_cast<double>(parts.mantissa);
    value = exponent < 0 ? value / kExactPowers[-exponent] : value * kExactPowers[exponent];
    return negative ? -value : value;
}

std::optional<double> slowDouble(std::string_view text)
{
    double value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error == std::errc() && end == text.data() + text.size())
        return value;
    // Out of range: too large is refused, too small becomes a (signed) zero or a subnormal.
    std::string copy(text);
    errno = 0;
    value = std::strtod(copy.c_str(), nullptr);
    if (std::isinf(value))
        return std::nullopt;
    return value;
}

} // namespace

std::optional<JsonNumber> jsonNumber(std::string_view text, const JsonNumberParts& parts)
{
    bool negative = text.front() == '-';
    if (parts.integral && parts.digits <= 18) { // below 10^18: fits a signed integer either way
        auto magnitude = static_cast<std::int64_t>(parts.mantissa);
        return JsonNumber(negative ? -magnitude : magnitude);
    }
    if (parts.integral) {
        if (std::optional<JsonNumber> integer = integerValue(text))
            return integer;
    }
    std::optional<double> value = fastDouble(negative, parts);
    if (!value)
        value = slowDouble(text);
    if (!value || !std::isfinite(*value))
        return std::nullopt;
    return JsonNumber(*value);
}

bool appendJsonNumber(std::string& out, const Value& number)
{
    char buffer[64];
    std::to_chars_result result {};
    switch (number.type()) {
    case Value::Type::Integer:
        result = std::to_chars(buffer, buffer + sizeof buffer, number.integerValue());
        break;
    case Value::Type::Unsigned:
        result = std::to_chars(buffer, buffer + sizeof buffer, number.unsignedValue());
        break;
    default: {
        double d = number.doubleValue();
        if (!std::isfinite(d))
            return false;
        result = std::to_chars(buffer, buffer + sizeof buffer, d);
    }
    }
    out.append(buffer, result.ptr);
    return true;
}

} // namespace net
