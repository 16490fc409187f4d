// The push library's leveled log dispatcher: messages, loggers, formatters and the class-wide
// dispatcher that fans each message out to the loggers whose level mask takes its flag. Push
// code logs through the PUSHLogError/Warn/Info/Debug macros at the bottom, which wait until
// every taking logger has written the line.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "platform/foundation/Format.h"
#include "platform/foundation/Value.h"
#include "platform/threading/Dispatch.h"

// Flags and the usual level masks.
inline constexpr std::uint64_t PUSH_LOG_FLAG_ERROR = 1;
inline constexpr std::uint64_t PUSH_LOG_FLAG_WARNING = 2;
inline constexpr std::uint64_t PUSH_LOG_FLAG_INFO = 4;
inline constexpr std::uint64_t PUSH_LOG_FLAG_DEBUG = 8;
inline constexpr std::uint64_t PUSH_LOG_FLAG_VERBOSE = 16;
inline constexpr std::uint64_t PUSH_LOG_LEVEL_OFF = 0;
inline constexpr std::uint64_t PUSH_LOG_LEVEL_INFO = 7;
inline constexpr std::uint64_t PUSH_LOG_LEVEL_DEBUG = 15;
inline constexpr std::uint64_t PUSH_LOG_LEVEL_VERBOSE = 31;
inline constexpr std::uint64_t PUSH_LOG_LEVEL_ALL = ~0ull;

// One log line with where and when it was made. Immutable; shared between loggers.
struct PUSHLogMessage {
    PUSHLogMessage(std::string message, std::uint64_t level, std::uint64_t flag, std::int64_t context,
        std::string file, std::string function, std::uint64_t line, Value tag, std::int64_t options,
        std::optional<double> timestamp);

    std::string message;
    std::uint64_t level = 0;
    std::uint64_t flag = 0;
    std::int64_t context = 0;
    std::string file;
    std::string fileName; // last path component without its last extension
    std::string function;
    std::uint64_t line = 0;
    Value tag;
    std::int64_t options = 0;
    double timestamp = 0; // seconds since 1970
    std::string threadID; // "%x" of the kernel thread id
    std::string threadName;
    std::string queueLabel;
};
using PUSHLogMessageRef = std::shared_ptr<const PUSHLogMessage>;

class PUSHLogger;

// Turns a message into the text a logger writes; nullopt drops the message for that logger.
class PUSHLogFormatter {
public:
    virtual ~PUSHLogFormatter() = default;
    virtual std::optional<std::string> formatLogMessage(const PUSHLogMessage& message) = 0;
    virtual void didAddToLogger(PUSHLogger&) {}
    virtual void willRemoveFromLogger(PUSHLogger&) {}
};
using PUSHLogFormatterRef = std::shared_ptr<PUSHLogFormatter>;

// What the dispatcher needs of a logger. The optional operations default to nothing.
class PUSHLogger {
public:
    virtual ~PUSHLogger() = default;
    virtual void logMessage(const PUSHLogMessage& message) = 0;
    virtual PUSHLogFormatterRef logFormatter() = 0;
    virtual void setLogFormatter(PUSHLogFormatterRef formatter) = 0;
    virtual void didAddLogger() {}
    virtual void willRemoveLogger() {}
    virtual void flush() {}
    virtual dispatch_queue_t loggerQueue() { return nullptr; }
    virtual std::string loggerName() { return {}; }
};
using PUSHLoggerRef = std::shared_ptr<PUSHLogger>;

// Base of the push loggers: a serial queue of its own and a formatter changed in queue order.
// Create subclasses with std::make_shared (formatter changes keep the logger alive).
class PUSHAbstractLogger : public PUSHLogger, public std::enable_shared_from_this<PUSHAbstractLogger> {
public:
    void logMessage(const PUSHLogMessage&) override {}
    // Waits for the logging queue and the logger's queue; never call it from either.
    PUSHLogFormatterRef logFormatter() override;
    void setLogFormatter(PUSHLogFormatterRef formatter) override;
    dispatch_queue_t loggerQueue() override;
    std::string loggerName() override { return "PUSHAbstractLogger"; }
    bool isOnGlobalLoggingQueue() const;
    bool isOnInternalLoggerQueue();
    // Runs the logger on `queue` (a serial queue) instead of one of its own. Set it before the
    // logger is added: the dispatcher keeps the queue a logger had when it was added.
    void setLoggerQueue(dispatch_queue_t queue);

protected:
    // Runs `job` on this logger's queue in order with the queued messages: at once when
    // already there, else through the logging queue.
    void runInLoggerOrder(std::function<void()> job);
    PUSHLogFormatterRef formatter_; // touched on the logger's queue only

private:
    std::mutex queueMutex_;
    dispatch_queue_t queue_;
};

struct PUSHLoggerNode {
    PUSHLoggerRef logger;
    dispatch_queue_t loggerQueue;
    std::uint64_t level = 0;
    static std::shared_ptr<PUSHLoggerNode> nodeWithLogger(PUSHLoggerRef logger, dispatch_queue_t queue, std::uint64_t level);
};

// The class-wide dispatcher.
class PUSHLog {
public:
    PUSHLog() = delete;

    // Formats and queues a message; a null format logs nothing. With asynchronous false the
    // caller returns only after every taking logger has handled the message.
    template <typename... A>
    static void log(bool asynchronous, std::uint64_t level, std::uint64_t flag, std::int64_t context, const char* file,
        const char* function, std::uint64_t line, const Value& tag, const char* format, const A&... arguments)
    {
        if (!format)
            return;
        const Value values[sizeof...(A) + 1] = { foundation::formatArgument(arguments)..., Value() };
        logWithArgs(asynchronous, level, flag, context, file, function, line, tag, format,
            std::span<const Value>(values, sizeof...(A)));
    }
    static void logWithArgs(bool asynchronous, std::uint64_t level, std::uint64_t flag, std::int64_t context,
        const char* file, const char* function, std::uint64_t line, const Value& tag, const char* format,
        std::span<const Value> arguments);
    static void logMessageText(bool asynchronous, std::string message, std::uint64_t level, std::uint64_t flag,
        std::int64_t context, const char* file, const char* function, std::uint64_t line, const Value& tag);
    static void log(bool asynchronous, PUSHLogMessageRef message);
    static void queueLogMessage(PUSHLogMessageRef message, bool asynchronous);

    static void addLogger(PUSHLoggerRef logger);
    static void addLogger(PUSHLoggerRef logger, std::uint64_t level);
    static void removeLogger(const PUSHLoggerRef& logger);
    static void removeAllLoggers();
    static std::vector<PUSHLoggerRef> allLoggers();
    static dispatch_queue_t loggingQueue();
    static void flushLog();
    static void applicationWillTerminate();

    // Per-class levels: this build has no class introspection, so no class is registered.
    static bool isRegisteredClass(const std::string& className);
    static std::vector<std::string> registeredClassNames();
    static std::uint64_t levelForClassWithName(const std::string& className);
    static void setLevelForClassWithName(std::uint64_t level, const std::string& className);

    // The most messages queued or in progress at once; further callers block.
    static constexpr long kMaxQueuedMessages = 1000;
    // How many processors the fan-out assumes (tests may force 1 to take the serial path).
    static void setProcessorCount(unsigned count);
};

// Logs one line from push code: level 31, context 0, no tag. The caller returns once every
// logger that takes the flag has handled the line, so a crash loses no line already logged.
#define PUSH_LOG_AT(flag, fmt, ...)                                                                                    \
    PUSHLog::log(false, PUSH_LOG_LEVEL_VERBOSE, (flag), 0, __FILE__, __PRETTY_FUNCTION__, __LINE__, Value(),          \
        fmt __VA_OPT__(, ) __VA_ARGS__)
#define PUSHLogError(fmt, ...) PUSH_LOG_AT(PUSH_LOG_FLAG_ERROR, fmt __VA_OPT__(, ) __VA_ARGS__)
#define PUSHLogWarn(fmt, ...) PUSH_LOG_AT(PUSH_LOG_FLAG_WARNING, fmt __VA_OPT__(, ) __VA_ARGS__)
#define PUSHLogInfo(fmt, ...) PUSH_LOG_AT(PUSH_LOG_FLAG_INFO, fmt __VA_OPT__(, ) __VA_ARGS__)
#define PUSHLogDebug(fmt, ...) PUSH_LOG_AT(PUSH_LOG_FLAG_DEBUG, fmt __VA_OPT__(, ) __VA_ARGS__)
