// Delivery: where a load's delegate calls run. Blocks posted from any thread run one at a time,
// in the order posted, on a run loop in given modes or on an operation queue. Closing drops
// whatever is pending and everything posted later, which is how a cancel guarantees that no
// callback follows it. While open on a run loop it keeps that loop's runs going in its modes.
// On its own loop's thread, running in one of its modes, with nothing pending, a block may run
// at once instead of waiting for the loop's next turn (runNow).
#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/network/BlockFifo.h"
#include "platform/threading/NSOperation.h"
#include "platform/threading/NSRunLoop.h"

namespace network {

class Delivery : public std::enable_shared_from_this<Delivery> {
public:
    static std::shared_ptr<Delivery> onRunLoop(std::shared_ptr<NSRunLoop> runLoop, std::vector<NSRunLoopMode> modes);
    static std::shared_ptr<Delivery> onQueue(std::shared_ptr<NSOperationQueue> queue);
    ~Delivery();

    void post(std::function<void()> block);
    // Runs `block` here and now when that keeps the order and the place: on the delivery's run
    // loop, inside a run in one of its modes, with nothing pending or running. False: not run.
    template <class Block>
    bool runNow(Block&& block)
    {
        const Delivery* outer = nullptr;
        if (!beginNow(outer))
            return false;
        block();
        endNow(outer);
        return true;
    }
    // Runs `block` now if it can, or posts it. A block run now is never wrapped.
    template <class Block>
    void runOrPost(Block&& block)
    {
        if (!runNow(block))
            post(std::function<void()>(std::forward<Block>(block)));
    }
    // On a run loop, and the calling thread is inside a run of it.
    bool isOnCurrentRunLoop() const;
    const std::vector<NSRunLoopMode>& modes() const { return modes_; }
    // Pending and later blocks are dropped; the run-loop keep-alive is removed.
    void close();
    bool isClosed() const;
    // True while a block of this delivery runs on the calling thread.
    bool isDelivering() const;

private:
    Delivery() = default;
    // Claims the delivery for a block run now (false: it must wait its turn); endNow releases
    // it and runs what was posted meanwhile.
    bool beginNow(const Delivery*& outer);
    void endNow(const Delivery* outer);
    void schedule();
    void drain();

    mutable std::mutex mutex_;
    std::shared_ptr<NSRunLoop> runLoop_;
    std::vector<NSRunLoopMode> modes_;
    bool holdsRuns_ = false; // holds its run loop's runs in its modes while open
    std::shared_ptr<NSOperationQueue> queue_;
    BlockFifo pending_;
    bool scheduled_ = false;
    bool closed_ = false;
};

} // namespace network
