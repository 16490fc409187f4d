// NKMultipartBodyStream: the request body stream that reads the parts in turn, with optional
// throttling (a packet size and a pause after each part read).
#include <algorithm>

#include "net/NKMultipartFormData.h"
#include "platform/threading/NSThread.h"

void NKMultipartBodyStream::appendHTTPBodyPart(std::unique_ptr<NKHTTPBodyPart> part)
{
    parts_.push_back(std::move(part));
}

void NKMultipartBodyStream::setInitialAndFinalBoundaries()
{
    for (std::size_t i = 0; i < parts_.size(); ++i) {
        parts_[i]->hasInitialBoundary = i == 0;
        parts_[i]->hasFinalBoundary = i + 1 == parts_.size();
    }
}

std::uint64_t NKMultipartBodyStream::contentLength() const
{
    std::uint64_t length = 0;
    for (const auto& part : parts_)
        length += part->contentLength();
    return length;
}

void NKMultipartBodyStream::open()
{
    {
        std::lock_guard lock(mutex_);
        if (status_ == NSStreamStatusOpen)
            return;
        status_ = NSStreamStatusOpen;
    }
    setInitialAndFinalBoundaries();
    next_ = 0;
    current_ = nullptr;
}

void NKMultipartBodyStream::close()
{
    std::lock_guard lock(mutex_);
    status_ = NSStreamStatusClosed;
}

NSStreamStatus NKMultipartBodyStream::streamStatus() const
{
    std::lock_guard lock(mutex_);
    return status_;
}

std::shared_ptr<NSError> NKMultipartBodyStream::streamError() const
{
    std::lock_guard lock(mutex_);
    return partError_;
}

bool NKMultipartBodyStream::hasBytesAvailable() const { return streamStatus() == NSStreamStatusOpen; }

std::int64_t NKMultipartBodyStream::read(std::uint8_t* buffer, std::size_t length)
{
    if (streamStatus() != NSStreamStatusOpen)
        return streamStatus() == NSStreamStatusError ? -1 : 0;
    std::size_t total = 0;
    std::size_t goal = static_cast<std::size_t>(std::min<std::uint64_t>(length, numberOfBytesInPacket));
    while (total < goal) {
        if (!current_ || !current_->hasBytesAvailable()) {
            if (next_ >= parts_.size())
                break;
            current_ = parts_[next_++].get();
            continue;
        }
        std::int64_t got = current_->read(buffer + total, length - total);
        if (got < 0) {
            std::lock_guard lock(mutex_);
            partError_ = current_->streamError();
            status_ = NSStreamStatusError;
            return -1;
        }
        total += static_cast<std::size_t>(got);
        if (delay > 0)
            NSThread::sleepForTimeInterval(delay);
    }
    return static_cast<std::int64_t>(total);
}

std::shared_ptr<NSInputStream> NKMultipartBodyStream::copyStream() const
{
    auto copy = std::make_shared<NKMultipartBodyStream>(stringEncoding_);
    for (const auto& part : parts_) {
        auto partCopy = part->copy();
        if (!partCopy)
            return nullptr;
        copy->appendHTTPBodyPart(std::move(partCopy));
    }
    copy->setInitialAndFinalBoundaries();
    return copy;
}
