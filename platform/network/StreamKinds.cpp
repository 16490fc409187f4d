// Data, file and memory streams.
#include "platform/network/StreamKinds.h"

#include <cerrno>
#include <cstring>

namespace network {
namespace {

std::shared_ptr<NSError> posixError(int code, const std::string& path)
{
    Value info = Value::dictionary();
    info.set(NSFilePathErrorKey, path);
    info.set(NSLocalizedDescriptionKey, std::string(std::strerror(code)));
    return NSError::errorWithDomain(NSPOSIXErrorDomain, code, std::move(info));
}

bool readable(NSStreamStatus status)
{
    return status == NSStreamStatusOpen || status == NSStreamStatusReading;
}

} // namespace

std::int64_t DataInputStream::read(std::uint8_t* buffer, std::size_t length)
{
    std::lock_guard lock(mutex_);
    if (status_ == NSStreamStatusAtEnd)
        return 0;
    if (!readable(status_))
        return -1;
    std::size_t count = std::min(length, data_.size() - offset_);
    if (count > 0)
        std::memcpy(buffer, data_.data() + offset_, count);
    offset_ += count;
    if (offset_ == data_.size() && count == 0)
        status_ = NSStreamStatusAtEnd;
    return static_cast<std::int64_t>(count);
}

bool DataInputStream::hasBytesAvailable() const
{
    std::lock_guard lock(mutex_);
    return readable(status_) && offset_ < data_.size();
}

std::shared_ptr<NSInputStream> DataInputStream::copyStream() const
{
    return std::make_shared<DataInputStream>(data_);
}

FileInputStream::~FileInputStream()
{
    if (file_)
        std::fclose(file_);
}

void FileInputStream::open()
{
    {
        std::lock_guard lock(mutex_);
        if (status_ != NSStreamStatusNotOpen)
            return;
        file_ = std::fopen(path_.c_str(), "rb");
        if (file_)
            status_ = NSStreamStatusOpen;
    }
    if (!file_) {
        fail(posixError(errno, path_));
        return;
    }
    notify(NSStreamEventOpenCompleted);
}

void FileInputStream::close()
{
    std::lock_guard lock(mutex_);
    if (file_)
        std::fclose(file_);
    file_ = nullptr;
    NSInputStream::close();
}

std::int64_t FileInputStream::read(std::uint8_t* buffer, std::size_t length)
{
    std::lock_guard lock(mutex_);
    if (status_ == NSStreamStatusAtEnd)
        return 0;
    if (!readable(status_) || !file_)
        return -1;
    std::size_t count = std::fread(buffer, 1, length, file_);
    if (count == 0 && std::ferror(file_)) {
        status_ = NSStreamStatusError;
        error_ = posixError(EIO, path_);
        return -1;
    }
    offset_ += count;
    if (count == 0)
        status_ = NSStreamStatusAtEnd;
    return static_cast<std::int64_t>(count);
}

bool FileInputStream::hasBytesAvailable() const
{
    std::lock_guard lock(mutex_);
    return readable(status_);
}

Value FileInputStream::propertyForKey(const std::string& key) const
{
    std::lock_guard lock(mutex_);
    if (key == NSStreamFileCurrentOffsetKey)
        return Value(offset_);
    return {};
}

std::shared_ptr<NSInputStream> FileInputStream::copyStream() const
{
    return std::make_shared<FileInputStream>(path_);
}

std::int64_t MemoryOutputStream::write(const std::uint8_t* buffer, std::size_t length)
{
    std::lock_guard lock(mutex_);
    if (status_ != NSStreamStatusOpen && status_ != NSStreamStatusWriting)
        return -1;
    data_.insert(data_.end(), buffer, buffer + length);
    return static_cast<std::int64_t>(length);
}

bool MemoryOutputStream::hasSpaceAvailable() const
{
    std::lock_guard lock(mutex_);
    return status_ == NSStreamStatusOpen || status_ == NSStreamStatusWriting;
}

Value MemoryOutputStream::propertyForKey(const std::string& key) const
{
    std::lock_guard lock(mutex_);
    if (key == NSStreamDataWrittenToMemoryStreamKey)
        return Value(data_);
    return {};
}

Bytes MemoryOutputStream::dataWritten() const
{
    std::lock_guard lock(mutex_);
    return data_;
}

FileOutputStream::~FileOutputStream()
{
    if (file_)
        std::fclose(file_);
}

void FileOutputStream::open()
{
    {
        std::lock_guard lock(mutex_);
        if (status_ != NSStreamStatusNotOpen)
            return;
        file_ = std::fopen(path_.c_str(), append_ ? "ab" : "wb");
        if (file_) {
            status_ = NSStreamStatusOpen;
            offset_ = append_ ? static_cast<std::uint64_t>(std::ftell(file_)) : 0;
        }
    }
    if (!file_) {
        fail(posixError(errno, path_));
        return;
    }
    notify(NSStreamEventOpenCompleted);
    notify(NSStreamEventHasSpaceAvailable);
}

void FileOutputStream::close()
{
    std::lock_guard lock(mutex_);
    if (file_)
        std::fclose(file_);
    file_ = nullptr;
    NSOutputStream::close();
}

std::int64_t FileOutputStream::write(const std::uint8_t* buffer, std::size_t length)
{
    std::lock_guard lock(mutex_);
    if (status_ != NSStreamStatusOpen || !file_)
        return -1;
    std::size_t count = std::fwrite(buffer, 1, length, file_);
    if (count < length && std::ferror(file_)) {
        status_ = NSStreamStatusError;
        error_ = posixError(EIO, path_);
        return count > 0 ? static_cast<std::int64_t>(count) : -1;
    }
    offset_ += count;
    return static_cast<std::int64_t>(count);
}

bool FileOutputStream::hasSpaceAvailable() const
{
    std::lock_guard lock(mutex_);
    return status_ == NSStreamStatusOpen;
}

Value FileOutputStream::propertyForKey(const std::string& key) const
{
    std::lock_guard lock(mutex_);
    if (key == NSStreamFileCurrentOffsetKey)
        return Value(offset_);
    return {};
}

} // namespace network
