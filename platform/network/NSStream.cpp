// The stream base: status, error, delegate events posted to the scheduled run loop.
#include "platform/network/NSStream.h"

#include "platform/network/StreamKinds.h"

void NSStream::open()
{
    {
        std::lock_guard lock(mutex_);
        if (status_ != NSStreamStatusNotOpen)
            return;
        status_ = NSStreamStatusOpen;
    }
    notify(NSStreamEventOpenCompleted);
}

void NSStream::close()
{
    std::lock_guard lock(mutex_);
    if (status_ == NSStreamStatusNotOpen || status_ == NSStreamStatusClosed)
        return;
    status_ = NSStreamStatusClosed;
}

NSStreamStatus NSStream::streamStatus() const
{
    std::lock_guard lock(mutex_);
    return status_;
}

std::shared_ptr<NSError> NSStream::streamError() const
{
    std::lock_guard lock(mutex_);
    return error_;
}

Value NSStream::propertyForKey(const std::string&) const { return {}; }
bool NSStream::setPropertyForKey(const Value&, const std::string&) { return false; }

std::shared_ptr<NSStreamDelegate> NSStream::delegate() const
{
    std::lock_guard lock(mutex_);
    return delegate_.lock();
}

void NSStream::setDelegate(const std::shared_ptr<NSStreamDelegate>& delegate)
{
    std::lock_guard lock(mutex_);
    delegate_ = delegate;
}

void NSStream::scheduleInRunLoop(const std::shared_ptr<NSRunLoop>& runLoop, const NSRunLoopMode& mode)
{
    std::lock_guard lock(mutex_);
    if (runLoop_ && runLoop_ != runLoop)
        modes_.clear();
    runLoop_ = runLoop;
    if (std::find(modes_.begin(), modes_.end(), mode) == modes_.end())
        modes_.push_back(mode);
}

void NSStream::removeFromRunLoop(const std::shared_ptr<NSRunLoop>& runLoop, const NSRunLoopMode& mode)
{
    std::lock_guard lock(mutex_);
    if (runLoop_ != runLoop)
        return;
    std::erase(modes_, mode);
    if (modes_.empty())
        runLoop_.reset();
}

void NSStream::setStatus(NSStreamStatus status)
{
    std::lock_guard lock(mutex_);
    status_ = status;
}

void NSStream::fail(std::shared_ptr<NSError> error)
{
    {
        std::lock_guard lock(mutex_);
        status_ = NSStreamStatusError;
        error_ = std::move(error);
    }
    notify(NSStreamEventErrorOccurred);
}

void NSStream::notify(NSStreamEvent event)
{
    std::shared_ptr<NSRunLoop> loop;
    std::vector<NSRunLoopMode> modes;
    {
        std::lock_guard lock(mutex_);
        if (!runLoop_ || delegate_.expired())
            return;
        loop = runLoop_;
        modes = modes_;
    }
    std::weak_ptr<NSStream> weak = sharedAs<NSStream>();
    loop->performInModes(std::move(modes), [weak, event] {
        auto stream = weak.lock();
        if (!stream)
            return;
        if (auto delegate = stream->delegate())
            delegate->streamHandleEvent(stream, event);
    });
}

std::int64_t NSInputStream::read(std::uint8_t*, std::size_t) { return -1; }
bool NSInputStream::hasBytesAvailable() const { return false; }

std::shared_ptr<NSInputStream> NSInputStream::inputStreamWithData(Bytes data)
{
    return std::make_shared<network::DataInputStream>(std::move(data));
}

std::shared_ptr<NSInputStream> NSInputStream::inputStreamWithFileAtPath(const std::string& path)
{
    return std::make_shared<network::FileInputStream>(path);
}

std::int64_t NSOutputStream::write(const std::uint8_t*, std::size_t) { return -1; }
bool NSOutputStream::hasSpaceAvailable() const { return false; }

std::shared_ptr<NSOutputStream> NSOutputStream::outputStreamToMemory()
{
    return std::make_shared<network::MemoryOutputStream>();
}

std::shared_ptr<NSOutputStream> NSOutputStream::outputStreamToFileAtPath(const std::string& path, bool append)
{
    return std::make_shared<network::FileOutputStream>(path, append);
}

namespace network {

std::optional<Bytes> readAll(NSInputStream& stream)
{
    stream.open();
    Bytes result;
    std::uint8_t buffer[16384];
    for (;;) {
        std::int64_t count = stream.read(buffer, sizeof buffer);
        if (count < 0)
            return std::nullopt;
        if (count == 0)
            return result;
        result.insert(result.end(), buffer, buffer + count);
    }
}

} // namespace network
