// Push log line formatting, with a per-thread date formatter while the formatter is shared.
#include "push/Utilities/PUSHCustomFormatter.h"

#include "platform/foundation/NSDate.h"

namespace {
constexpr const char* kDateFormat = "yyyy-MM-dd HH:mm:ss.SSS";
}

const char* PUSHCustomFormatter::letterForFlag(std::uint64_t flag)
{
    switch (flag) {
    case PUSH_LOG_FLAG_ERROR:
        return "E";
    case PUSH_LOG_FLAG_WARNING:
        return "W";
    case PUSH_LOG_FLAG_INFO:
        return "I";
    case PUSH_LOG_FLAG_DEBUG:
        return "D";
    default:
        return "V";
    }
}

std::string PUSHCustomFormatter::stringFromDate(double secondsSince1970)
{
    NSDate date = NSDate::dateWithTimeIntervalSince1970(secondsSince1970);
    if (loggerCount_.fetch_add(0) > 1) {
        // Shared between loggers whose queues run on different threads: one formatter per thread.
        thread_local std::shared_ptr<NSDateFormatter> perThread;
        if (!perThread)
            perThread = NSDateFormatter::create(kDateFormat);
        return perThread->stringFromDate(date);
    }
    if (!threadUnsafeDateFormatter_)
        threadUnsafeDateFormatter_ = NSDateFormatter::create(kDateFormat);
    return threadUnsafeDateFormatter_->stringFromDate(date);
}

std::optional<std::string> PUSHCustomFormatter::formatLogMessage(const PUSHLogMessage& message)
{
    Value tag; // a missing tag prints as the formatter's missing-object text
    if (type_ == 0)
        tag = "PUSH";
    else if (type_ == 1)
        tag = "ZIzezave";
    return NSString::stringWithFormat("%@ | %@ | %@ - [%@] %@", stringFromDate(message.timestamp), tag,
        letterForFlag(message.flag), message.fileName, message.message);
}
