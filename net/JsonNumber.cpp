// JSON number texts to Values and back.
#include "net/JsonNumber.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>

namespace net {

namespace {

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
    // Up to 19 digits the scanner's mantissa is exact; the exponent is exact below its cap.
    std::optional<foundation::Decimal> decimal = parts.digits <= 19 && parts.exponent > -100000 && parts.exponent < 100000
        ? foundation::Decimal::fromParts(negative, parts.mantissa, parts.exponent - parts.fractionDigits)
        : foundation::Decimal::fromText(text);
    if (!decimal)
        return std::nullopt;
    return JsonNumber(*decimal);
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
    case Value::Type::Decimal:
        out += number.asDecimal()->text();
        return true;
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
