// The file logger: writes lines to the current log file and rolls it by size, age and
// outside deletion or renaming.
#include "push/Utilities/PUSHFileLogger.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cmath>
#include <cstring>

#include "platform/foundation/Clock.h"
#include "platform/foundation/NSDate.h"
#include "platform/foundation/NSLog.h"
#include "platform/persistence/NSFileManager.h"

namespace {

std::atomic<int> writeFailures { 0 };

void reportWriteFailure(const std::string& failure)
{
    int count = ++writeFailures;
    if (count > 10)
        return;
    NSLog("PUSHFileLogger.logMessage: %@", failure);
    if (count == 10)
        NSLog("PUSHFileLogger.logMessage: Too many exceptions -- will not log any more of them.");
}

} // namespace

PUSHLogFileFormatterDefault::PUSHLogFileFormatterDefault(std::shared_ptr<NSDateFormatter> formatter)
    : dateFormatter_(formatter ? std::move(formatter) : NSDateFormatter::create("yyyy/MM/dd HH:mm:ss:SSS"))
{
}

std::optional<std::string> PUSHLogFileFormatterDefault::formatLogMessage(const PUSHLogMessage& message)
{
    return NSString::stringWithFormat("%@  %@",
        dateFormatter_->stringFromDate(NSDate::dateWithTimeIntervalSince1970(message.timestamp)), message.message);
}

std::shared_ptr<PUSHFileLogger> PUSHFileLogger::create(std::shared_ptr<PUSHLogFileManagerDefault> manager)
{
    if (!manager)
        manager = std::make_shared<PUSHLogFileManagerDefault>();
    auto logger = std::make_shared<PUSHFileLogger>(Token {}, std::move(manager));
    logger->setLogFormatter(std::make_shared<PUSHLogFileFormatterDefault>());
    return logger;
}

PUSHFileLogger::PUSHFileLogger(Token, std::shared_ptr<PUSHLogFileManagerDefault> manager)
    : manager_(std::move(manager))
{
}

PUSHFileLogger::~PUSHFileLogger()
{
    if (fd_ >= 0) {
        ::fsync(fd_);
        ::close(fd_);
    }
    if (vnode_)
        dispatch_source_cancel(vnode_);
    if (rollingTimer_)
        dispatch_source_cancel(rollingTimer_);
}

std::uint64_t PUSHFileLogger::maximumFileSize()
{
    std::uint64_t result = 0;
    auto queue = loggerQueue();
    dispatch_sync(PUSHLog::loggingQueue(), [&] { dispatch_sync(queue, [&] { result = maximumFileSize_; }); });
    return result;
}

double PUSHFileLogger::rollingFrequency()
{
    double result = 0;
    auto queue = loggerQueue();
    dispatch_sync(PUSHLog::loggingQueue(), [&] { dispatch_sync(queue, [&] { result = rollingFrequency_; }); });
    return result;
}

void PUSHFileLogger::setMaximumFileSize(std::uint64_t bytes)
{
    std::weak_ptr<PUSHFileLogger> weak = std::static_pointer_cast<PUSHFileLogger>(shared_from_this());
    runInLoggerOrder([weak, bytes] {
        if (auto self = weak.lock()) {
            self->maximumFileSize_ = bytes;
            self->maybeRollLogFileDueToSize();
        }
    });
}

void PUSHFileLogger::setRollingFrequency(double seconds)
{
    std::weak_ptr<PUSHFileLogger> weak = std::static_pointer_cast<PUSHFileLogger>(shared_from_this());
    runInLoggerOrder([weak, seconds] {
        if (auto self = weak.lock()) {
            self->rollingFrequency_ = seconds;
            self->maybeRollLogFileDueToAge();
        }
    });
}

void PUSHFileLogger::rollLogFile(std::function<void()> completion)
{
    auto self = std::static_pointer_cast<PUSHFileLogger>(shared_from_this());
    runInLoggerOrder([self, completion] {
        self->rollLogFileNow();
        if (completion)
            dispatch_async(dispatch_get_main_queue(), completion);
    });
}

void PUSHFileLogger::flush()
{
    if (fd_ >= 0)
        ::fsync(fd_);
}

void PUSHFileLogger::rollLogFileNow()
{
    if (fd_ < 0)
        return;
    ::fsync(fd_);
    ::close(fd_);
    fd_ = -1;
    if (currentInfo_) {
        currentInfo_->setIsArchived(true);
        manager_->didRollAndArchiveLogFile(currentInfo_->filePath());
    }
    currentInfo_.reset();
    if (vnode_)
        dispatch_source_cancel(vnode_);
    vnode_.reset();
    if (rollingTimer_)
        dispatch_source_cancel(rollingTimer_);
    rollingTimer_.reset();
}

void PUSHFileLogger::maybeRollLogFileDueToAge()
{
    double age = currentInfo_ ? currentInfo_->age() : 0;
    if (rollingFrequency_ > 0 && age >= rollingFrequency_)
        rollLogFileNow();
    else
        scheduleTimerToRollLogFileDueToAge();
}

void PUSHFileLogger::maybeRollLogFileDueToSize()
{
    const std::uint64_t offset = fd_ >= 0 ? offset_ : 0;
    if (maximumFileSize_ != 0 && offset >= maximumFileSize_)
        rollLogFileNow();
}

void PUSHFileLogger::scheduleTimerToRollLogFileDueToAge()
{
    if (rollingTimer_)
        dispatch_source_cancel(rollingTimer_);
    rollingTimer_.reset();
    if (!currentInfo_ || rollingFrequency_ <= 0)
        return;
    double left = currentInfo_->creationDate() + rollingFrequency_ - foundation::clock::now();
    auto delay = static_cast<std::int64_t>(std::max(0.0, left) * NSEC_PER_SEC);
    rollingTimer_ = dispatch_source_create(DISPATCH_SOURCE_TYPE_TIMER, 0, 0, loggerQueue());
    std::weak_ptr<PUSHFileLogger> weak = std::static_pointer_cast<PUSHFileLogger>(shared_from_this());
    dispatch_source_set_event_handler(rollingTimer_, [weak] {
        if (auto self = weak.lock())
            self->maybeRollLogFileDueToAge();
    });
    dispatch_source_set_timer(rollingTimer_, dispatch_time(DISPATCH_TIME_NOW, delay), DISPATCH_TIME_FOREVER, 1);
    dispatch_resume(rollingTimer_);
}

PUSHLogFileInfoRef PUSHFileLogger::currentLogFileInfo()
{
    if (currentInfo_)
        return currentInfo_;
    auto infos = manager_->sortedLogFileInfos();
    if (!infos.empty() && !infos[0]->isArchived()) {
        auto newest = infos[0];
        bool mustArchive = (maximumFileSize_ != 0 && newest->fileSize() >= maximumFileSize_)
            || (rollingFrequency_ > 0 && newest->age() >= rollingFrequency_);
        // An application in the background could not write a file locked with the device.
        if (!doNotReuseLogFiles && PUSHLogFileManagerDefault::applicationRunsInBackground()) {
            const Value protection = newest->fileAttributes()[NSFileProtectionKey];
            const std::string text = protection.isString() ? protection.asString() : std::string();
            mustArchive = mustArchive
                || (!text.empty() && text != NSFileProtectionCompleteUntilFirstUserAuthentication
                    && text != NSFileProtectionNone);
        }
        if (!doNotReuseLogFiles && !mustArchive) {
            currentInfo_ = newest;
        } else if (mustArchive) {
            newest->setIsArchived(true);
            manager_->didArchiveLogFile(newest->filePath());
        }
    }
    if (!currentInfo_)
        currentInfo_ = PUSHLogFileInfo::logFileWithPath(manager_->createNewLogFile());
    return currentInfo_;
}

int PUSHFileLogger::currentLogFileHandle()
{
    if (fd_ >= 0)
        return fd_;
    auto info = currentLogFileInfo();
    fd_ = ::open(info->filePath().c_str(), O_WRONLY | O_CLOEXEC);
    if (fd_ < 0)
        return fd_;
    const off_t end = ::lseek(fd_, 0, SEEK_END);
    offset_ = end > 0 ? static_cast<std::uint64_t>(end) : 0;
    scheduleTimerToRollLogFileDueToAge();
    vnode_ = dispatch_source_create(DISPATCH_SOURCE_TYPE_VNODE, static_cast<std::uintptr_t>(fd_),
        DISPATCH_VNODE_DELETE | DISPATCH_VNODE_RENAME, loggerQueue());
    std::weak_ptr<PUSHFileLogger> weak = std::static_pointer_cast<PUSHFileLogger>(shared_from_this());
    dispatch_source_set_event_handler(vnode_, [weak] {
        if (auto self = weak.lock())
            self->rollLogFileNow();
    });
    dispatch_resume(vnode_);
    return fd_;
}

void PUSHFileLogger::logMessage(const PUSHLogMessage& message)
{
    const bool custom = formatter_ != nullptr;
    std::optional<std::string> text = custom ? formatter_->formatLogMessage(message) : message.message;
    if (!text)
        return;
    if ((!custom || automaticallyAppendNewlineForCustomFormatters) && (text->empty() || text->back() != '\n'))
        *text += '\n';
    int fd = currentLogFileHandle();
    if (fd < 0) {
        reportWriteFailure("the log file could not be opened");
        return;
    }
    std::size_t written = 0;
    while (written < text->size()) {
        ssize_t n = ::write(fd, text->data() + written, text->size() - written);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            reportWriteFailure(std::string("write failed: ") + std::strerror(errno));
            return;
        }
        written += static_cast<std::size_t>(n);
        offset_ += static_cast<std::uint64_t>(n);
    }
    maybeRollLogFileDueToSize();
}
