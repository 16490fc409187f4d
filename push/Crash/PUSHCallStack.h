// Call stacks of the current thread as frame texts, one per return address:
// "<n> <image> 0x<address> <symbol> + <offset>", the number and image padded to fixed widths.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace push_crash {

inline constexpr std::size_t kMaxFrames = 128;

// The frame texts of the calling thread, the caller of this function being frame 1.
std::vector<std::string> callStackSymbols();
// The text of one frame.
std::string frameText(std::size_t index, const void* address);
// Loads what capturing a stack needs, so that a later capture inside a signal handler does not.
void prepareCallStackCapture();

} // namespace push_crash
