// Turns an asynchronous callback into a blocking call on a run-loop thread: run a block, then
// keep the calling thread's run loop turning until another callback delivers a result for the
// same identifier (continueThread) or the time-out fires. The callbacks that end a wait arrive on
// that same thread while it waits; waits may nest, each watching only its own identifier.
#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <unordered_map>

#include "platform/foundation/NSObject.h"
#include "platform/foundation/Value.h"

class NSRunLoop;
class NSTimer;

class PUSHDelegateSynchronize : public NSObject {
public:
    using Block = std::function<void()>;
    using ResultBlock = std::function<void(const Value& result)>;

    // States of a wait.
    enum : std::int64_t { kWaiting = 1, kSucceeded = 2, kFailed = 3, kTimedOut = 4 };
    // The time-out of a wait asked for with 0 seconds.
    static constexpr double kDefaultTimeout = 60;

    static std::shared_ptr<PUSHDelegateSynchronize> sharedInstance();

    // Runs the block, then waits. Success calls `succeed` with the delivered result and returns
    // it; failure or time-out calls `failed` with nothing and returns nothing; a wait abandoned
    // meanwhile (clearIdentifier) returns nothing and calls neither.
    static Value runMethodBlockThread(const Block& block, ResultBlock succeed, ResultBlock failed,
        const Value& identifier, double timeout);
    static Value runMethodBlockThread(const Block& block, double timeout, const Value& identifier);
    // Ends the wait for the identifier; false when there is none.
    static bool continueThread(bool succeeded, const Value& result, const Value& identifier);
    // Abandons a wait.
    static void clearIdentifier(const Value& identifier);
    // Forgets everything about the identifier.
    static void resetWithIdentifier(const Value& identifier);

    void runTimeout(const std::shared_ptr<NSTimer>& timer);
    std::string className() const override { return "PUSHDelegateSynchronize"; }

    PUSHDelegateSynchronize() = default;

private:
    struct Wait {
        std::int64_t flag = kWaiting;
        Value result;
        std::shared_ptr<NSTimer> timer;
        ResultBlock succeed;
        ResultBlock failed;
        std::weak_ptr<NSRunLoop> loop;
    };

    std::int64_t flagFor(const Value& identifier) const;
    void reset(const Value& identifier);

    mutable std::mutex lock_;
    std::unordered_map<Value, Wait, ValueHash> waits_;
};
