// The platform's printf-style formatter: "%@" prints an argument's description beside the C
// conversions (d i u x X o c C s p f F e E g G a A, with flags, width, precision, "*" and the
// length modifiers hh h l ll q z j t L). Every argument travels as a Value: integers are read
// with integerValue, floating conversions with doubleValue, "%@" with description and "%s"
// with the string. A missing argument prints "(null)" for "%@" and "%s" and 0 otherwise;
// nothing a caller passes can make it read past its arguments.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>

#include "platform/foundation/Value.h"

namespace foundation {

std::string formatWithValues(std::string_view format, std::span<const Value> arguments);

template <typename T>
concept Describable = requires(const T& t) {
    {
        t.description()
    } -> std::convertible_to<std::string>;
};

// How one argument of stringWithFormat becomes a Value.
template <typename T>
Value formatArgument(const T& argument)
{
    using U = std::remove_cvref_t<T>;
    if constexpr (std::is_same_v<U, Value>)
        return argument;
    else if constexpr (std::is_same_v<U, char> || std::is_same_v<U, signed char> || std::is_same_v<U, unsigned char>)
        return Value(static_cast<int>(static_cast<unsigned char>(argument)));
    else if constexpr (std::is_same_v<U, char16_t> || std::is_same_v<U, char32_t>)
        return Value(static_cast<std::uint32_t>(argument));
    else if constexpr (std::is_enum_v<U>)
        return Value(static_cast<std::underlying_type_t<U>>(argument));
    else if constexpr (std::is_same_v<U, const char*> || std::is_same_v<U, char*>)
        return Value(static_cast<const char*>(argument));
    else if constexpr (std::is_array_v<U>)
        return Value(static_cast<const char*>(argument));
    else if constexpr (std::is_pointer_v<U> || std::is_null_pointer_v<U>)
        return Value(static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(argument)));
    else if constexpr (std::is_constructible_v<Value, const U&>)
        return Value(argument);
    else if constexpr (Describable<U>)
        return Value(std::string(argument.description()));
    else
        static_assert(!sizeof(U), "this argument cannot be formatted");
}

} // namespace foundation

namespace NSString {

template <typename... A>
std::string stringWithFormat(std::string_view format, const A&... arguments)
{
    const Value values[sizeof...(A) + 1] = { foundation::formatArgument(arguments)..., Value() };
    return foundation::formatWithValues(format, std::span<const Value>(values, sizeof...(A)));
}

} // namespace NSString
