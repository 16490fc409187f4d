// The process-wide level mask of the push library's console and system logs.
#include "push/Network/PUSHSDKLogLevel.h"

#include <atomic>

#include "push/Utilities/PUSHLog.h"

namespace push {

namespace {

std::atomic<std::uint64_t> level { PUSH_LOG_LEVEL_INFO };

} // namespace

std::uint64_t sdkLogLevel() { return level; }
void setSDKLogLevel(std::uint64_t value) { level = value; }

} // namespace push
