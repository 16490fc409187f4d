// The system log client stand-in: records go to the installed sink or to standard error.
#include "push/Utilities/SystemLogClient.h"

#include <cstdio>
#include <mutex>

namespace push_utilities {
namespace {

std::mutex sinkMutex;
SystemLogSink& currentSink()
{
    static SystemLogSink sink;
    return sink;
}

} // namespace

void setSystemLogSink(SystemLogSink sink)
{
    std::lock_guard lock(sinkMutex);
    currentSink() = std::move(sink);
}

std::shared_ptr<SystemLogClient> SystemLogClient::open(std::string ident, std::uint32_t)
{
    return std::shared_ptr<SystemLogClient>(new SystemLogClient(std::move(ident)));
}

bool SystemLogClient::send(const Value& record) const
{
    if (!record.isDictionary())
        return false;
    SystemLogSink sink;
    {
        std::lock_guard lock(sinkMutex);
        sink = currentSink();
    }
    if (sink) {
        sink(ident_, record);
        return true;
    }
    std::string line = "<" + record["Level"].stringValue() + "> " + record["Message"].stringValue() + "\n";
    std::fwrite(line.data(), 1, line.size(), stderr);
    return true;
}

} // namespace push_utilities
