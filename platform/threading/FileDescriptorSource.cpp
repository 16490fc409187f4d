// File-descriptor sources: interest flags and dispatch of epoll events to the callbacks.
#include "platform/threading/FileDescriptorSource.h"

#include <sys/epoll.h>

#include "platform/threading/NSRunLoop.h"

namespace threading {
namespace {
std::atomic<std::uint64_t> nextSourceID { 1 };
} // namespace

std::shared_ptr<FileDescriptorSource> FileDescriptorSource::create(
    int fd, Callback onReadable, Callback onWritable, bool keepsLoopAlive)
{
    return std::make_shared<FileDescriptorSource>(fd, std::move(onReadable), std::move(onWritable), keepsLoopAlive);
}

FileDescriptorSource::FileDescriptorSource(int fd, Callback onReadable, Callback onWritable, bool keepsLoopAlive)
    : fd_(fd)
    , id_(nextSourceID++)
    , keepsLoopAlive_(keepsLoopAlive)
    , onReadable_(std::move(onReadable))
    , onWritable_(std::move(onWritable))
    , readEnabled_(static_cast<bool>(onReadable_))
{
}

FileDescriptorSource::~FileDescriptorSource() = default;

void FileDescriptorSource::setReadEnabled(bool enabled)
{
    {
        std::lock_guard lock(mutex_);
        if (readEnabled_ == enabled)
            return;
        readEnabled_ = enabled;
        interestChangedLocked();
    }
    wakeLoops();
}

bool FileDescriptorSource::isReadEnabled() const
{
    std::lock_guard lock(mutex_);
    return readEnabled_;
}

void FileDescriptorSource::enableWriteOnce()
{
    {
        std::lock_guard lock(mutex_);
        if (writeArmed_)
            return;
        writeArmed_ = true;
        interestChangedLocked();
    }
    wakeLoops();
}

bool FileDescriptorSource::isWriteArmed() const
{
    std::lock_guard lock(mutex_);
    return writeArmed_;
}

bool FileDescriptorSource::isValid() const
{
    std::lock_guard lock(mutex_);
    return valid_;
}

void FileDescriptorSource::invalidate()
{
    Callback readable;
    Callback writable;
    std::vector<LoopRef> loops;
    {
        std::lock_guard lock(mutex_);
        if (!valid_)
            return;
        valid_ = false;
        readable = std::move(onReadable_);
        writable = std::move(onWritable_);
        onReadable_ = nullptr;
        onWritable_ = nullptr;
        interestChangedLocked();
        loops.swap(loops_);
    }
    for (auto& ref : loops) {
        if (auto loop = ref.loop.lock())
            loop->detachSource(this);
    }
}

std::uint32_t FileDescriptorSource::wantedEvents() const
{
    std::lock_guard lock(mutex_);
    if (!valid_)
        return 0;
    std::uint32_t events = 0;
    if (readEnabled_ && onReadable_)
        events |= EPOLLIN;
    if (writeArmed_ && onWritable_)
        events |= EPOLLOUT;
    return events;
}

void FileDescriptorSource::wakeLoops()
{
    // A loop running on this thread looks at the interest again before it waits; usually that is
    // the only loop, and then nothing is copied or woken.
    const NSRunLoop* here = NSRunLoop::runningHere();
    std::vector<std::weak_ptr<NSRunLoop>> others;
    {
        std::lock_guard lock(mutex_);
        for (const auto& ref : loops_) {
            if (ref.raw != here)
                others.push_back(ref.loop);
        }
    }
    for (auto& weak : others) {
        if (auto loop = weak.lock())
            loop->wakeUp();
    }
}

void FileDescriptorSource::dispatch(std::uint32_t events)
{
    if (dispatching_.exchange(true))
        return;
    struct Reset {
        std::atomic<bool>& flag;
        ~Reset() { flag = false; }
    } reset { dispatching_ };
    auto self = std::static_pointer_cast<FileDescriptorSource>(shared_from_this());
    const std::uint32_t trouble = EPOLLERR | EPOLLHUP;
    Callback writable;
    Callback readable;
    {
        std::lock_guard lock(mutex_);
        if (!valid_)
            return;
        if (writeArmed_ && (events & (EPOLLOUT | trouble))) {
            writeArmed_ = false;
            interestChangedLocked();
            writable = onWritable_;
        }
        if (readEnabled_ && (events & (EPOLLIN | trouble)))
            readable = onReadable_;
    }
    if (writable)
        writable();
    if (readable && isValid())
        readable();
}

} // namespace threading
