// The platform log: standard error, or a sink a test installed (see NSLog.h).
#include "platform/foundation/NSLog.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <mutex>
#include <unistd.h>

#include "platform/foundation/Clock.h"

namespace foundation {
namespace {

struct LogState {
    std::mutex mutex;
    LogSink sink;
};

LogState& logState()
{
    static LogState state;
    return state;
}

std::string timestamp()
{
    double now = clock::now();
    double whole = std::floor(now);
    std::time_t t = static_cast<std::time_t>(whole);
    std::tm tm {};
    localtime_r(&t, &tm);
    char buffer[64];
    std::size_t n = std::strftime(buffer, sizeof buffer, "%Y-%m-%d %H:%M:%S", &tm);
    int millis = static_cast<int>((now - whole) * 1000);
    std::snprintf(buffer + n, sizeof buffer - n, ".%03d", millis > 999 ? 999 : millis);
    return buffer;
}

} // namespace

void setLogSink(LogSink sink)
{
    LogState& state = logState();
    std::lock_guard lock(state.mutex);
    state.sink = std::move(sink);
}

void logText(const std::string& text)
{
    LogState& state = logState();
    std::unique_lock lock(state.mutex);
    if (state.sink) {
        LogSink sink = state.sink;
        lock.unlock();
        sink(text);
        return;
    }
    std::string line = timestamp() + " " + program_invocation_short_name + "[" + std::to_string(getpid()) + ":"
        + std::to_string(gettid()) + "] " + text;
    if (line.empty() || line.back() != '\n')
        line += '\n';
    std::fwrite(line.data(), 1, line.size(), stderr);
}

} // namespace foundation
