// JTJsonParser: turns JSON text into Values, keeping a trace of what went wrong.
//
// Objects become dictionaries, arrays arrays, strings strings, true/false booleans and null the
// null value. Numbers keep their exact value: integers within 64 bits (signed, or unsigned above
// INT64_MAX) become integers; every other number (a fraction, an exponent, a longer integer)
// becomes the decimal made from its text (foundation::Decimal: 38 significant digits, more are
// rounded). A number beyond the decimal's exponent range is refused (error 2).
//
// The input is UTF-8; a NUL character ends it. Strings must be valid UTF-8 and escapes must
// form whole characters, so every string the parser yields is valid UTF-8.
//
// One parser serves one call at a time; the trace describes the last call.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "net/JTJsonBase.h"
#include "platform/foundation/ValueBuilder.h"

class JTJsonParser : public JTJsonBase {
public:
    // Any single JSON value (a bare string, number, true, false or null included); absent on
    // failure, with the reasons in errorTrace(). std::nullopt stands for "no input".
    Value fragmentWithString(std::optional<std::string_view> text);
    // A text whose top-level value is an object or an array; absent otherwise.
    Value objectWithString(std::optional<std::string_view> text);

private:
    bool atEnd() const { return c_ == end_; }
    void skipWhitespace();
    // Hands the value read to `emit`, which makes it where it belongs.
    template <typename Emit>
    bool scanValue(Emit&& emit);
    bool scanArray(Value& out);
    bool scanObject(Value& out);
    bool scanString(std::string& out);
    bool scanEscape(std::string& out);
    bool scanUnicodeEscape(std::string& out);
    bool scanQuad(unsigned& unit);
    template <typename Emit>
    bool scanNumber(Emit& emit);
    bool scanLiteral(std::string_view rest, const char* failure);
    bool numberError(const char* message);

    // The read position and the end of the text, valid only during a call.
    const char* c_ = nullptr;
    const char* end_ = nullptr;
    // The elements and members of the containers being read.
    foundation::ValueBuilder builder_;
};
