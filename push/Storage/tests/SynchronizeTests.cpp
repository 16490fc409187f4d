// Blocking waits on the test thread's run loop: a result delivered later or at once, failure,
// the default time-out under virtual time, abandoned and nested waits.
#include <gtest/gtest.h>

#include "platform/foundation/Clock.h"
#include "platform/threading/NSRunLoop.h"
#include "push/Storage/PUSHDelegateSynchronize.h"
#include "testing/VirtualTime.h"

namespace {

void later(std::function<void()> work) { NSRunLoop::currentRunLoop()->performBlock(std::move(work)); }

struct Calls {
    int succeeded = 0, failed = 0;
    Value lastFailure = Value("unset");
    PUSHDelegateSynchronize::ResultBlock onSuccess() { return [this](const Value&) { ++succeeded; }; }
    PUSHDelegateSynchronize::ResultBlock onFailure() { return [this](const Value& v) { ++failed, lastFailure = v; }; }
    // Waits for `identifier` with `block`, reporting to this.
    Value wait(std::function<void()> block, Value identifier, double timeout = 30) { return PUSHDelegateSynchronize::runMethodBlockThread(std::move(block), onSuccess(), onFailure(), identifier, timeout); }
};

TEST(DelegateSynchronize, ResultDeliveredLaterOrInsideTheBlockEndsTheWait)
{
    Calls calls;
    EXPECT_EQ(calls.wait([] { later([] { EXPECT_TRUE(PUSHDelegateSynchronize::continueThread(true, Value("answer"), Value(7))); }); },
                  Value(7)),
        Value("answer"));
    EXPECT_EQ(std::make_pair(calls.succeeded, calls.failed), std::make_pair(1, 0));
    // The wait is over: a late delivery finds nothing.
    EXPECT_FALSE(PUSHDelegateSynchronize::continueThread(true, Value("late"), Value(7)));
    EXPECT_FALSE(PUSHDelegateSynchronize::continueThread(false, Value(), Value("never started")));

    // A result delivered inside the block itself is not lost.
    bool accepted = false;
    EXPECT_EQ(calls.wait([&] { accepted = PUSHDelegateSynchronize::continueThread(true, Value(1), Value("sync")); }, Value("sync")),
        Value(1));
    EXPECT_TRUE(accepted);
    EXPECT_EQ(calls.succeeded, 2);
}

TEST(DelegateSynchronize, FailureAndTimeOutGiveNothingToTheFailureBlockAndAnAbandonedWaitCallsNothing)
{
    Calls calls;
    EXPECT_TRUE(calls.wait([] { later([] { PUSHDelegateSynchronize::continueThread(false, Value("ignored"), Value("f")); }); },
                         Value("f"))
                    .isAbsent());
    EXPECT_TRUE(calls.failed == 1 && calls.lastFailure.isAbsent());

    // A time-out of 0 waits the default 60 seconds.
    testing_support::VirtualTime time;
    const double start = foundation::clock::now();
    Calls timed;
    EXPECT_TRUE(timed.wait([&] { later([&] { time.advance(59); later([&] { time.advance(1); }); }); }, Value("t"), 0).isAbsent());
    EXPECT_EQ(std::make_pair(timed.succeeded, timed.failed), std::make_pair(0, 1));
    EXPECT_GE(foundation::clock::now() - start, 60);

    // An abandoned wait calls nothing.
    Calls abandoned;
    EXPECT_TRUE(abandoned.wait([] { later([] { PUSHDelegateSynchronize::clearIdentifier(Value("gone")); }); }, Value("gone")).isAbsent());
    EXPECT_EQ(abandoned.succeeded + abandoned.failed, 0);
}

TEST(DelegateSynchronize, NestedWaitsEachWatchTheirOwnIdentifier)
{
    Value inner;
    const Value outer = PUSHDelegateSynchronize::runMethodBlockThread(
        [&] {
            later([&] {
                inner = PUSHDelegateSynchronize::runMethodBlockThread(
                    [] {
                        later([] {
                            // The outer one first: the inner wait must keep waiting for its own.
                            PUSHDelegateSynchronize::continueThread(true, Value("outer"), Value("A"));
                            later([] { PUSHDelegateSynchronize::continueThread(true, Value("inner"), Value("B")); });
                        });
                    },
                    30, Value("B"));
            });
        },
        30, Value("A"));
    EXPECT_EQ(inner, Value("inner"));
    EXPECT_EQ(outer, Value("outer"));
}

} // namespace
