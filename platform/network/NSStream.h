// Byte streams: NSInputStream over data or a file (subclass it for bodies made on the fly) and
// NSOutputStream to memory or a file. Status and events follow the platform; a stream scheduled
// in a run loop tells its delegate about opening, bytes or space available, the end and errors.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/foundation/NSError.h"
#include "platform/foundation/Value.h"
#include "platform/threading/NSRunLoop.h"

enum NSStreamStatus : std::uint64_t {
    NSStreamStatusNotOpen = 0,
    NSStreamStatusOpening = 1,
    NSStreamStatusOpen = 2,
    NSStreamStatusReading = 3,
    NSStreamStatusWriting = 4,
    NSStreamStatusAtEnd = 5,
    NSStreamStatusClosed = 6,
    NSStreamStatusError = 7,
};

enum NSStreamEvent : std::uint64_t {
    NSStreamEventNone = 0,
    NSStreamEventOpenCompleted = 1,
    NSStreamEventHasBytesAvailable = 2,
    NSStreamEventHasSpaceAvailable = 4,
    NSStreamEventErrorOccurred = 8,
    NSStreamEventEndEncountered = 16,
};

inline constexpr const char* NSStreamDataWrittenToMemoryStreamKey = "kCFStreamPropertyDataWritten";
inline constexpr const char* NSStreamFileCurrentOffsetKey = "kCFStreamPropertyFileCurrentOffset";

class NSStream;

class NSStreamDelegate {
public:
    virtual ~NSStreamDelegate() = default;
    virtual void streamHandleEvent(const std::shared_ptr<NSStream>& stream, NSStreamEvent event) = 0;
};

class NSStream : public NSObject {
public:
    std::string className() const override { return "NSStream"; }

    virtual void open();
    virtual void close();
    virtual NSStreamStatus streamStatus() const;
    virtual std::shared_ptr<NSError> streamError() const;
    // Absent for keys the stream does not know.
    virtual Value propertyForKey(const std::string& key) const;
    virtual bool setPropertyForKey(const Value& value, const std::string& key);

    std::shared_ptr<NSStreamDelegate> delegate() const;
    void setDelegate(const std::shared_ptr<NSStreamDelegate>& delegate);
    // While scheduled, events reach the delegate on that loop in those modes.
    void scheduleInRunLoop(const std::shared_ptr<NSRunLoop>& runLoop, const NSRunLoopMode& mode);
    void removeFromRunLoop(const std::shared_ptr<NSRunLoop>& runLoop, const NSRunLoopMode& mode);

protected:
    // For subclasses: the status (under the stream's lock) and the events to tell.
    void setStatus(NSStreamStatus status);
    void fail(std::shared_ptr<NSError> error);
    void notify(NSStreamEvent event);

    mutable std::recursive_mutex mutex_;
    NSStreamStatus status_ = NSStreamStatusNotOpen;
    std::shared_ptr<NSError> error_;

private:
    std::weak_ptr<NSStreamDelegate> delegate_;
    std::shared_ptr<NSRunLoop> runLoop_;
    std::vector<NSRunLoopMode> modes_;
};

class NSInputStream : public NSStream {
public:
    static std::shared_ptr<NSInputStream> inputStreamWithData(Bytes data);
    static std::shared_ptr<NSInputStream> inputStreamWithFileAtPath(const std::string& path);
    std::string className() const override { return "NSInputStream"; }

    // Up to `length` bytes into `buffer`: the count, 0 at the end, -1 on error.
    virtual std::int64_t read(std::uint8_t* buffer, std::size_t length);
    virtual bool hasBytesAvailable() const;
    // A fresh stream over the same bytes, not opened; nullptr when the stream cannot be copied.
    virtual std::shared_ptr<NSInputStream> copyStream() const { return nullptr; }
};

class NSOutputStream : public NSStream {
public:
    static std::shared_ptr<NSOutputStream> outputStreamToMemory();
    static std::shared_ptr<NSOutputStream> outputStreamToFileAtPath(const std::string& path, bool append);
    std::string className() const override { return "NSOutputStream"; }

    // Writes up to `length` bytes: the count written, or -1 on error (or when not open).
    virtual std::int64_t write(const std::uint8_t* buffer, std::size_t length);
    virtual bool hasSpaceAvailable() const;
};

namespace network {

// Reads the whole stream (opening it first); nullopt on a read error.
std::optional<Bytes> readAll(NSInputStream& stream);

} // namespace network
