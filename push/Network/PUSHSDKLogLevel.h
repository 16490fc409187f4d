// The level mask of the push library's console and system logs, one for the process. The
// service sets it when it changes those loggers; some lines carry extra detail, at debug level,
// only while it is above 14.
#pragma once

#include <cstdint>

namespace push {

std::uint64_t sdkLogLevel();
void setSDKLogLevel(std::uint64_t level);
// Whether lines with extra detail are written (the level is above 14).
inline bool sdkLogsDetail() { return sdkLogLevel() > 14; }

} // namespace push
