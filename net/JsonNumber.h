// Conversion of a JSON number's text (already checked against the grammar) to a number, and of a
// Value number back to JSON text.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

#include "platform/foundation/Value.h"

namespace net {

// What the scanner gathered while it checked a number's text against the grammar.
struct JsonNumberParts {
    std::uint64_t mantissa = 0; // the digits before and after the point, exact when digits <= 19
    int digits = 0; // digits before and after the point
    int fractionDigits = 0;
    int exponent = 0; // the written exponent, held at +-100000 beyond that
    bool integral = true; // no point and no exponent
};

// A number read: a signed integer, an unsigned one above INT64_MAX, or an exact decimal.
using JsonNumber = std::variant<std::int64_t, std::uint64_t, foundation::Decimal>;

// Integral text within 64 bits gives an integer; anything else (a fraction, an exponent, a
// longer integer) the decimal made from the text. Nothing when the decimal cannot hold it.
std::optional<JsonNumber> jsonNumber(std::string_view text, const JsonNumberParts& parts);

// Appends the JSON text of a finite number (integer, unsigned, decimal digit for digit, or
// double in the shortest form that reads back to the same double). False for NaN and infinities.
bool appendJsonNumber(std::string& out, const Value& number);

} // namespace net
