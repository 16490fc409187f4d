// The system log client: records go to the installed sink or to the system's log (syslog).
#include "push/Utilities/SystemLogClient.h"

#include <syslog.h>

#include <cstdlib>
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
    // The record's levels 2 to 5 are syslog's critical, error, warning and notice.
    const int level = std::atoi(record["Level"].stringValue().c_str());
    const int priority = level >= LOG_EMERG && level <= LOG_DEBUG ? level : LOG_NOTICE;
    ::syslog(LOG_USER | priority, "%s", record["Message"].stringValue().c_str());
    return true;
}

} // namespace push_utilities
