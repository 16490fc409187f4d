// A run-loop source over a file descriptor (a socket, a pipe, an inotify handle). Read interest
// stays armed while enabled: the read callback runs whenever the descriptor is readable (or
// hung up, or in error). Write interest is one-shot: enableWriteOnce() arms it and the write
// callback runs once when the descriptor becomes writable (also when a connect completes or
// fails). A callback does not run again while it is running (nested runs skip the source).
// The source does not own the descriptor; invalidate it before closing the descriptor. A source
// made with keepsLoopAlive false is served while a run goes on but does not keep one going.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/foundation/NSObject.h"

class NSRunLoop;

namespace threading {

class FileDescriptorSource : public NSObject {
public:
    using Callback = std::function<void()>;

    // Read interest starts enabled when `onReadable` is given; write interest starts disarmed.
    static std::shared_ptr<FileDescriptorSource> create(
        int fd, Callback onReadable, Callback onWritable, bool keepsLoopAlive = true);
    FileDescriptorSource(int fd, Callback onReadable, Callback onWritable, bool keepsLoopAlive = true);
    ~FileDescriptorSource() override;

    int fd() const { return fd_; }
    void setReadEnabled(bool enabled);
    bool isReadEnabled() const;
    void enableWriteOnce();
    bool isWriteArmed() const;
    // Removes the source from every loop it is in and drops its callbacks. From any thread.
    void invalidate();
    bool isValid() const;
    bool keepsLoopAlive() const { return keepsLoopAlive_; }
    std::string className() const override { return "FileDescriptorSource"; }

private:
    friend class ::NSRunLoop;

    struct LoopRef {
        std::weak_ptr<NSRunLoop> loop;
        const NSRunLoop* raw; // compared only, never followed
    };

    std::uint32_t wantedEvents() const;
    // Bumped after every change of the interest, so loops re-arm only the sources that changed.
    std::uint32_t interestVersion() const { return interestVersion_.load(std::memory_order_acquire); }
    void interestChangedLocked() { interestVersion_.fetch_add(1, std::memory_order_release); }
    void dispatch(std::uint32_t events); // on a loop's thread
    void wakeLoops();

    const int fd_;
    const std::uint64_t id_;
    const bool keepsLoopAlive_;
    mutable std::mutex mutex_;
    Callback onReadable_;
    Callback onWritable_;
    bool readEnabled_;
    bool writeArmed_ = false;
    bool valid_ = true;
    std::atomic<bool> dispatching_ { false };
    std::atomic<std::uint32_t> interestVersion_ { 0 };
    std::vector<LoopRef> loops_;
};

} // namespace threading
