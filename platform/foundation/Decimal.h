// Decimal: an exact decimal number, coefficient × 10^exponent, as the platform's decimal numbers
// hold them. The coefficient keeps up to 38 significant digits (more are rounded half up) and the
// exponent reaches ±999,999,999. Values are kept normalized (no trailing zeros in the coefficient,
// zero without sign or exponent), so equal numbers have equal fields.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace foundation {

class Decimal {
public:
    static constexpr int kMaxDigits = 38;
    static constexpr std::int64_t kMaxExponent = 999'999'999;

    Decimal() = default;
    static Decimal fromInteger(std::int64_t value);
    static Decimal fromUnsigned(std::uint64_t value);
    // A coefficient of at most 19 digits and its power of ten; nothing beyond the exponent range.
    static std::optional<Decimal> fromParts(bool negative, std::uint64_t coefficient, std::int64_t exponent);
    // Text of the form [-]digits[.digits][(e|E)[+|-]digits]; nothing for any other text, or for a
    // magnitude beyond the exponent range (one too small for it reads as zero).
    static std::optional<Decimal> fromText(std::string_view text);

    bool isZero() const { return high_ == 0 && low_ == 0; }
    bool isNegative() const { return negative_; }
    std::int32_t exponent() const { return exponent_; }
    // The coefficient's decimal digits ("0" for zero).
    std::string digits() const;

    // The nearest double (infinite or zero beyond the double's range).
    double toDouble() const;
    // The integer part (truncated toward zero), when it fits.
    std::optional<std::int64_t> toInt64() const;
    std::optional<std::uint64_t> toUInt64() const;
    // Whether the number has no fraction.
    bool isIntegral() const { return exponent_ >= 0; }

    // Plain decimal text ("12.5", "0.001", "1200") while that stays short, else the digits with an
    // exponent ("1.5e+300"); either form is valid JSON and reads back to the same number.
    std::string text() const;

    friend bool operator==(const Decimal&, const Decimal&) = default;

private:
    std::uint64_t high_ = 0; // the 128-bit coefficient
    std::uint64_t low_ = 0;
    std::int32_t exponent_ = 0;
    bool negative_ = false;

    std::optional<std::uint64_t> toUInt64Magnitude() const;
    friend class DecimalBuilder;
};

} // namespace foundation
