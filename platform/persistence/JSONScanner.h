// A plain JSON scanner for the cases the fast reader leaves to it: saying what is wrong with a
// document and where, and rewriting integers too large for 64 bits so that they read as doubles.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace persistence::json {

struct Problem {
    std::string what;
    std::size_t offset = 0; // byte offset of the problem
    std::size_t line = 1;
    std::size_t column = 1;
};

inline constexpr std::size_t kMaxDepth = 1024;

// The first problem in `text`, or nothing when it is a well-formed JSON text.
std::optional<Problem> findProblem(std::string_view text, bool allowFragments);
// `text` with ".0" after every integer outside the 64-bit ranges; nothing when there is none.
std::optional<std::string> widenHugeIntegers(std::string_view text);

} // namespace persistence::json
