// Decimal: reading decimal text, normalizing, and converting to text, doubles and integers.
#include "platform/foundation/Decimal.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>

namespace foundation {

using Wide = unsigned __int128;

namespace {

constexpr Wide pow10(int n)
{
    Wide value = 1;
    for (int i = 0; i < n; ++i)
        value *= 10;
    return value;
}

constexpr Wide kCoefficientLimit = pow10(Decimal::kMaxDigits); // one past the largest coefficient
constexpr std::int64_t kExponentCap = 4'000'000'000; // where counting a written exponent stops

bool isDigit(char c) { return c >= '0' && c <= '9'; }

std::int64_t saturatedSum(std::int64_t a, std::int64_t b)
{
    return std::clamp(a + b, -kExponentCap, kExponentCap);
}

} // namespace

class DecimalBuilder {
public:
    static std::optional<Decimal> make(bool negative, Wide coefficient, std::int64_t exponent)
    {
        if (coefficient == 0)
            return Decimal();
        if (coefficient <= std::numeric_limits<std::uint64_t>::max()) {
            auto narrow = static_cast<std::uint64_t>(coefficient); // the common case, in cheaper steps
            for (; narrow % 10 == 0; narrow /= 10)
                ++exponent;
            coefficient = narrow;
        }
        for (; coefficient % 10 == 0; coefficient /= 10)
            ++exponent;
        if (exponent > Decimal::kMaxExponent)
            return std::nullopt;
        if (exponent < -Decimal::kMaxExponent)
            return Decimal(); // too small to hold: zero
        Decimal d;
        d.high_ = static_cast<std::uint64_t>(coefficient >> 64);
        d.low_ = static_cast<std::uint64_t>(coefficient);
        d.exponent_ = static_cast<std::int32_t>(exponent);
        d.negative_ = negative;
        return d;
    }

    static Wide coefficient(const Decimal& d) { return (Wide(d.high_) << 64) | d.low_; }
};

Decimal Decimal::fromInteger(std::int64_t value)
{
    bool negative = value < 0;
    std::uint64_t magnitude = negative ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
    return *DecimalBuilder::make(negative, magnitude, 0);
}

Decimal Decimal::fromUnsigned(std::uint64_t value)
{
    return *DecimalBuilder::make(false, value, 0);
}

std::optional<Decimal> Decimal::fromParts(bool negative, std::uint64_t coefficient, std::int64_t exponent)
{
    return DecimalBuilder::make(negative, coefficient, exponent);
}

std::optional<Decimal> Decimal::fromText(std::string_view text)
{
    std::size_t i = 0;
    bool negative = i < text.size() && text[i] == '-';
    if (negative)
        ++i;
    Wide coefficient = 0;
    int kept = 0;
    int firstDropped = -1; // the first digit past the ones kept, for rounding
    std::int64_t exponent = 0;
    auto take = [&](int digit, bool fraction) {
        if (coefficient == 0 && digit == 0) {
            exponent -= fraction ? 1 : 0;
            return;
        }
        if (kept < kMaxDigits) {
            coefficient = coefficient * 10 + static_cast<unsigned>(digit);
            ++kept;
            exponent -= fraction ? 1 : 0;
            return;
        }
        if (firstDropped < 0)
            firstDropped = digit;
        exponent += fraction ? 0 : 1;
    };
    std::size_t start = i;
    for (; i < text.size() && isDigit(text[i]); ++i)
        take(text[i] - '0', false);
    if (i == start)
        return std::nullopt;
    if (i < text.size() && text[i] == '.') {
        start = ++i;
        for (; i < text.size() && isDigit(text[i]); ++i)
            take(text[i] - '0', true);
        if (i == start)
            return std::nullopt;
    }
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        bool negativeExponent = i < text.size() && text[i] == '-';
        if (i < text.size() && (text[i] == '-' || text[i] == '+'))
            ++i;
        start = i;
        std::int64_t written = 0;
        for (; i < text.size() && isDigit(text[i]); ++i)
            written = std::min(written * 10 + (text[i] - '0'), kExponentCap);
        if (i == start)
            return std::nullopt;
        exponent = saturatedSum(exponent, negativeExponent ? -written : written);
    }
    if (i != text.size())
        return std::nullopt;
    if (firstDropped >= 5 && ++coefficient == kCoefficientLimit) {
        coefficient /= 10;
        exponent = saturatedSum(exponent, 1);
    }
    return DecimalBuilder::make(negative, coefficient, exponent);
}

std::string Decimal::digits() const
{
    if (high_ == 0) { // the common case, in cheaper steps
        char narrow[20];
        auto result = std::to_chars(narrow, narrow + sizeof narrow, low_);
        return std::string(narrow, result.ptr);
    }
    Wide c = DecimalBuilder::coefficient(*this);
    char buffer[40];
    char* end = buffer + sizeof buffer;
    char* p = end;
    do {
        *--p = static_cast<char>('0' + static_cast<int>(c % 10));
        c /= 10;
    } while (c != 0);
    return std::string(p, end);
}

double Decimal::toDouble() const
{
    if (isZero())
        return 0;
    std::string written = digits();
    std::size_t count = written.size();
    written += 'e';
    written += std::to_string(exponent_);
    double value = 0;
    auto [end, error] = std::from_chars(written.data(), written.data() + written.size(), value);
    if (error == std::errc::result_out_of_range)
        value = static_cast<std::int64_t>(count) + exponent_ > 0 ? std::numeric_limits<double>::infinity() : 0.0;
    return negative_ ? -value : value;
}

std::optional<std::int64_t> Decimal::toInt64() const
{
    auto magnitude = toUInt64Magnitude();
    if (!magnitude)
        return std::nullopt;
    if (negative_)
        return *magnitude <= std::uint64_t(1) << 63 ? std::optional(static_cast<std::int64_t>(0 - *magnitude)) : std::nullopt;
    return *magnitude <= static_cast<std::uint64_t>(INT64_MAX) ? std::optional(static_cast<std::int64_t>(*magnitude))
                                                               : std::nullopt;
}

std::optional<std::uint64_t> Decimal::toUInt64() const
{
    auto magnitude = toUInt64Magnitude();
    if (!magnitude || (negative_ && *magnitude != 0))
        return std::nullopt;
    return magnitude;
}

std::optional<std::uint64_t> Decimal::toUInt64Magnitude() const
{
    Wide c = DecimalBuilder::coefficient(*this);
    if (exponent_ < 0)
        c = exponent_ < -kMaxDigits ? 0 : c / pow10(-exponent_);
    for (int e = 0; e < exponent_; ++e) {
        if (c > std::numeric_limits<std::uint64_t>::max() / 10)
            return std::nullopt;
        c *= 10;
    }
    if (c > std::numeric_limits<std::uint64_t>::max())
        return std::nullopt;
    return static_cast<std::uint64_t>(c);
}

std::string Decimal::text() const
{
    if (isZero())
        return "0";
    constexpr std::int64_t kPlainZeros = 24; // zeros written out before switching to an exponent
    std::string d = digits();
    auto count = static_cast<std::int64_t>(d.size());
    std::int64_t point = count + exponent_; // where the decimal point falls among the digits
    std::string out = negative_ ? "-" : "";
    if (exponent_ >= 0 && exponent_ <= kPlainZeros) {
        out += d;
        out.append(static_cast<std::size_t>(exponent_), '0');
    } else if (exponent_ < 0 && point > 0) {
        out.append(d, 0, static_cast<std::size_t>(point));
        out += '.';
        out.append(d, static_cast<std::size_t>(point));
    } else if (exponent_ < 0 && -point <= kPlainZeros) {
        out += "0.";
        out.append(static_cast<std::size_t>(-point), '0');
        out += d;
    } else {
        out += d.front();
        if (count > 1) {
            out += '.';
            out.append(d, 1);
        }
        std::int64_t shown = point - 1;
        out += shown < 0 ? "e-" : "e+";
        out += std::to_string(shown < 0 ? -shown : shown);
    }
    return out;
}

} // namespace foundation
