// Push log line formatting, with a per-thread date formatter while the formatter is shared.
// Lines are put together by appending, and the date text of a second is made once: a line
// costs its logger a few copies, not a pass of the general formatter.
#include "push/Utilities/PUSHCustomFormatter.h"

#include <algorithm>
#include <cmath>

#include "platform/foundation/NSDate.h"

namespace {
// Made once per second; the milliseconds ("SSS") are added to it.
constexpr const char* kSecondFormat = "yyyy-MM-dd HH:mm:ss";
}

std::string PUSHCustomFormatter::SecondCache::stringFromDate(double secondsSince1970)
{
    if (!formatter)
        formatter = NSDateFormatter::create(kSecondFormat);
    const double whole = std::floor(secondsSince1970);
    const auto second = static_cast<std::int64_t>(whole);
    if (!cachedSecond || *cachedSecond != second) {
        text = formatter->stringFromDate(NSDate::dateWithTimeIntervalSince1970(whole));
        cachedSecond = second;
    }
    // The first three digits of the microseconds, as the date formatter cuts them.
    const auto micros = std::min<std::int64_t>(std::llround((secondsSince1970 - whole) * 1e6), 999999);
    const auto millis = static_cast<int>(micros / 1000);
    std::string out;
    out.reserve(text.size() + 4);
    out += text;
    out += '.';
    out += static_cast<char>('0' + millis / 100);
    out += static_cast<char>('0' + millis / 10 % 10);
    out += static_cast<char>('0' + millis % 10);
    return out;
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
    if (loggerCount_.fetch_add(0) > 1) {
        // Shared between loggers whose queues run on different threads: one formatter per thread.
        thread_local SecondCache perThread;
        return perThread.stringFromDate(secondsSince1970);
    }
    return threadUnsafeDateFormatter_.stringFromDate(secondsSince1970);
}

// "%@ | %@ | %@ - [%@] %@": date, tag, letter, file name, text; a missing tag reads "(null)".
std::optional<std::string> PUSHCustomFormatter::formatLogMessage(const PUSHLogMessage& message)
{
    const char* tag = type_ == 0 ? "PUSH" : type_ == 1 ? "ZIzezave" : "(null)";
    const std::string date = stringFromDate(message.timestamp);
    std::string line;
    line.reserve(date.size() + message.fileName.size() + message.message.size() + 32);
    line += date;
    line += " | ";
    line += tag;
    line += " | ";
    line += letterForFlag(message.flag);
    line += " - [";
    line += message.fileName;
    line += "] ";
    line += message.message;
    return line;
}
