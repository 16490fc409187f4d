// The class-wide log dispatcher: one serial logging queue, a bound of in-flight messages, and
// fan-out of each message to the loggers whose masks take its flag.
#include "push/Utilities/PUSHLog.h"

#include <pthread.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <thread>

#include "platform/foundation/Clock.h"
#include "platform/threading/NSNotificationCenter.h"

namespace {

// The logging queue's specific key; its value is the key's own address.
char loggingQueueKey;

struct Dispatcher {
    dispatch_queue_t queue = dispatch_queue_create("push.logging", DISPATCH_QUEUE_SERIAL);
    dispatch_group_t group = dispatch_group_create();
    dispatch_semaphore_t slots = dispatch_semaphore_create(PUSHLog::kMaxQueuedMessages);
    std::vector<std::shared_ptr<PUSHLoggerNode>> nodes; // logging queue only
    std::atomic<unsigned> processors { 1 };
    std::shared_ptr<const int> terminationObserver = std::make_shared<const int>(0); // lives with the dispatcher

    Dispatcher()
    {
        nodes.reserve(4);
        unsigned count = std::thread::hardware_concurrency();
        processors = count == 0 ? 1 : count;
        dispatch_queue_set_specific(queue, &loggingQueueKey, &loggingQueueKey, nullptr);
        NSNotificationCenter::defaultCenter()->addObserver(
            terminationObserver.get(), terminationObserver,
            [](const std::shared_ptr<NSNotification>&) { PUSHLog::applicationWillTerminate(); },
            "UIApplicationWillTerminateNotification");
    }
};

Dispatcher& dispatcher()
{
    static Dispatcher* instance = new Dispatcher(); // lives until exit
    return *instance;
}

std::string lastComponentWithoutExtension(const std::string& path)
{
    auto slash = path.find_last_of('/');
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    auto dot = name.find_last_of('.');
    return dot == std::string::npos ? name : name.substr(0, dot);
}

std::string currentThreadName()
{
    char buffer[64] = {};
    if (pthread_getname_np(pthread_self(), buffer, sizeof buffer) != 0)
        return {};
    return buffer;
}

// Hands the message to every logger whose mask takes its flag and waits until they all have
// handled it: the logging queue takes the next message only then.
void lt_log(const PUSHLogMessageRef& message)
{
    auto& d = dispatcher();
    if (d.processors > 1) {
        for (const auto& node : d.nodes) {
            if ((node->level & message->flag) == 0)
                continue;
            dispatch_group_async(d.group, node->loggerQueue, [logger = node->logger, message] { logger->logMessage(*message); });
        }
        dispatch_group_wait(d.group, DISPATCH_TIME_FOREVER);
    } else {
        for (const auto& node : d.nodes) {
            if ((node->level & message->flag) == 0)
                continue;
            dispatch_sync(node->loggerQueue, [&node, &message] { node->logger->logMessage(*message); });
        }
    }
    dispatch_semaphore_signal(d.slots);
}

void lt_addLogger(const PUSHLoggerRef& logger, std::uint64_t level)
{
    dispatch_queue_t queue = logger->loggerQueue();
    if (!queue) {
        std::string name = logger->loggerName();
        queue = dispatch_queue_create(name.empty() ? nullptr : name.c_str(), DISPATCH_QUEUE_SERIAL);
    }
    dispatcher().nodes.push_back(PUSHLoggerNode::nodeWithLogger(logger, queue, level));
    dispatch_async(queue, [logger] { logger->didAddLogger(); });
}

void lt_removeLogger(const PUSHLoggerRef& logger)
{
    auto& nodes = dispatcher().nodes;
    for (auto it = nodes.begin(); it != nodes.end(); ++it) {
        if ((*it)->logger != logger)
            continue;
        dispatch_async((*it)->loggerQueue, [logger] { logger->willRemoveLogger(); });
        nodes.erase(it);
        return;
    }
}

} // namespace

PUSHLogMessage::PUSHLogMessage(std::string message_, std::uint64_t level_, std::uint64_t flag_, std::int64_t context_,
    std::string file_, std::string function_, std::uint64_t line_, Value tag_, std::int64_t options_,
    std::optional<double> timestamp_)
    : message(std::move(message_))
    , level(level_)
    , flag(flag_)
    , context(context_)
    , file(std::move(file_))
    , function(std::move(function_))
    , line(line_)
    , tag(std::move(tag_))
    , options(options_)
{
    fileName = lastComponentWithoutExtension(file);
    timestamp = timestamp_ ? *timestamp_ : foundation::clock::now();
    thread_local const std::string creatingThreadID
        = NSString::stringWithFormat("%x", static_cast<unsigned>(::syscall(SYS_gettid)));
    threadID = creatingThreadID;
    threadName = currentThreadName();
    const char* label = dispatch_queue_get_label(DISPATCH_CURRENT_QUEUE_LABEL);
    queueLabel = NSString::stringWithFormat("%s", label ? label : "");
}

std::shared_ptr<PUSHLoggerNode> PUSHLoggerNode::nodeWithLogger(PUSHLoggerRef logger, dispatch_queue_t queue, std::uint64_t level)
{
    auto node = std::make_shared<PUSHLoggerNode>();
    node->logger = std::move(logger);
    node->loggerQueue = std::move(queue);
    node->level = level;
    return node;
}

void PUSHLog::logWithArgs(bool asynchronous, std::uint64_t level, std::uint64_t flag, std::int64_t context,
    const char* file, const char* function, std::uint64_t line, const Value& tag, const char* format,
    std::span<const Value> arguments)
{
    if (!format)
        return;
    logMessageText(asynchronous, foundation::formatWithValues(format, arguments), level, flag, context, file, function,
        line, tag);
}

void PUSHLog::logMessageText(bool asynchronous, std::string message, std::uint64_t level, std::uint64_t flag,
    std::int64_t context, const char* file, const char* function, std::uint64_t line, const Value& tag)
{
    auto record = std::make_shared<const PUSHLogMessage>(std::move(message), level, flag, context, file ? file : "",
        function ? function : "", line, tag, 0, std::nullopt);
    queueLogMessage(std::move(record), asynchronous);
}

void PUSHLog::log(bool asynchronous, PUSHLogMessageRef message)
{
    queueLogMessage(std::move(message), asynchronous);
}

void PUSHLog::queueLogMessage(PUSHLogMessageRef message, bool asynchronous)
{
    if (!message)
        return;
    auto& d = dispatcher();
    dispatch_semaphore_wait(d.slots, DISPATCH_TIME_FOREVER);
    auto job = [message] { lt_log(message); };
    if (asynchronous)
        dispatch_async(d.queue, job);
    else
        dispatch_sync(d.queue, job);
}

void PUSHLog::addLogger(PUSHLoggerRef logger)
{
    addLogger(std::move(logger), PUSH_LOG_LEVEL_ALL);
}

void PUSHLog::addLogger(PUSHLoggerRef logger, std::uint64_t level)
{
    if (!logger)
        return;
    dispatch_async(dispatcher().queue, [logger, level] { lt_addLogger(logger, level); });
}

void PUSHLog::removeLogger(const PUSHLoggerRef& logger)
{
    if (!logger)
        return;
    dispatch_async(dispatcher().queue, [logger] { lt_removeLogger(logger); });
}

void PUSHLog::removeAllLoggers()
{
    dispatch_async(dispatcher().queue, [] {
        auto& nodes = dispatcher().nodes;
        for (const auto& node : nodes) {
            auto logger = node->logger;
            dispatch_async(node->loggerQueue, [logger] { logger->willRemoveLogger(); });
        }
        nodes.clear();
    });
}

std::vector<PUSHLoggerRef> PUSHLog::allLoggers()
{
    std::vector<PUSHLoggerRef> loggers;
    dispatch_sync(dispatcher().queue, [&] {
        for (const auto& node : dispatcher().nodes)
            loggers.push_back(node->logger);
    });
    return loggers;
}

dispatch_queue_t PUSHLog::loggingQueue()
{
    return dispatcher().queue;
}

void PUSHLog::flushLog()
{
    auto& d = dispatcher();
    dispatch_sync(d.queue, [&d] {
        for (const auto& node : d.nodes) {
            auto logger = node->logger;
            dispatch_group_async(d.group, node->loggerQueue, [logger] { logger->flush(); });
        }
        dispatch_group_wait(d.group, DISPATCH_TIME_FOREVER);
    });
}

void PUSHLog::applicationWillTerminate()
{
    flushLog();
}

bool PUSHLog::isRegisteredClass(const std::string&)
{
    return false;
}

std::vector<std::string> PUSHLog::registeredClassNames()
{
    return {};
}

std::uint64_t PUSHLog::levelForClassWithName(const std::string&)
{
    return PUSH_LOG_LEVEL_ALL;
}

void PUSHLog::setLevelForClassWithName(std::uint64_t, const std::string&) {}

void PUSHLog::setProcessorCount(unsigned count)
{
    dispatcher().processors = count == 0 ? 1 : count;
}

// ---- PUSHAbstractLogger ----

dispatch_queue_t PUSHAbstractLogger::loggerQueue()
{
    std::lock_guard lock(queueMutex_);
    if (!queue_) {
        queue_ = dispatch_queue_create(loggerName().c_str(), DISPATCH_QUEUE_SERIAL);
        dispatch_queue_set_specific(queue_, this, this, nullptr);
    }
    return queue_;
}

void PUSHAbstractLogger::setLoggerQueue(dispatch_queue_t queue)
{
    if (!queue)
        return;
    dispatch_queue_set_specific(queue, this, this, nullptr);
    std::lock_guard lock(queueMutex_);
    queue_ = std::move(queue);
}

bool PUSHAbstractLogger::isOnGlobalLoggingQueue() const
{
    return dispatch_get_specific(&loggingQueueKey) != nullptr;
}

bool PUSHAbstractLogger::isOnInternalLoggerQueue()
{
    loggerQueue();
    return dispatch_get_specific(this) != nullptr;
}

void PUSHAbstractLogger::runInLoggerOrder(std::function<void()> job)
{
    if (isOnInternalLoggerQueue()) {
        job();
        return;
    }
    auto queue = loggerQueue();
    dispatch_async(PUSHLog::loggingQueue(), [queue, job = std::move(job)] { dispatch_async(queue, job); });
}

void PUSHAbstractLogger::setLogFormatter(PUSHLogFormatterRef formatter)
{
    auto self = shared_from_this();
    auto queue = loggerQueue();
    dispatch_async(PUSHLog::loggingQueue(), [self, queue, formatter] {
        dispatch_async(queue, [self, formatter] {
            if (formatter == self->formatter_)
                return;
            if (self->formatter_)
                self->formatter_->willRemoveFromLogger(*self);
            self->formatter_ = formatter;
            if (formatter)
                formatter->didAddToLogger(*self);
        });
    });
}

PUSHLogFormatterRef PUSHAbstractLogger::logFormatter()
{
    PUSHLogFormatterRef result;
    auto queue = loggerQueue();
    dispatch_sync(PUSHLog::loggingQueue(), [&] { dispatch_sync(queue, [&] { result = formatter_; }); });
    return result;
}
