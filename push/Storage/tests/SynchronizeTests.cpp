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
    int succeeded = 0;
    int failed = 0;
    Value lastSuccess;
    Value lastFailure = Value("unset");
    PUSHDelegateSynchronize::ResultBlock onSuccess()
    {
        return [this](const Value& result) { ++succeeded, lastSuccess = result; };
    }
    PUSHDelegateSynchronize::ResultBlock onFailure()
    {
        return [this](const Value& result) { ++failed, lastFailure = result; };
    }
};

TEST(DelegateSynchronize, ResultDeliveredLaterOrInsideTheBlockEndsTheWait)
{
    Calls calls;
    const Value result = PUSHDelegateSynchronize::runMethodBlockThread(
        [] { later([] { EXPECT_TRUE(PUSHDelegateSynchronize::continueThread(true, Value("answer"), Value(7))); }); },
        calls.onSuccess(), calls.onFailure(), Value(7), 30);
    EXPECT_EQ(result, Value("answer"));
    EXPECT_EQ(calls.succeeded, 1);
    EXPECT_EQ(calls.failed, 0);
    // The wait is over: a late delivery finds nothing.
    EXPECT_FALSE(PUSHDelegateSynchronize::continueThread(true, Value("late"), Value(7)));
    EXPECT_FALSE(PUSHDelegateSynchronize::continueThread(false, Value(), Value("never started")));

    // A result delivered inside the block itself is not lost.
    bool accepted = false;
    EXPECT_EQ(PUSHDelegateSynchronize::runMethodBlockThread(
                  [&] { accepted = PUSHDelegateSynchronize::continueThread(true, Value(1), Value("sync")); },
                  calls.onSuccess(), calls.onFailure(), Value("sync"), 30),
        Value(1));
    EXPECT_TRUE(accepted);
    EXPECT_EQ(calls.succeeded, 2);
}

TEST(DelegateSynchronize, FailureAndTimeOutGiveNothingToTheFailureBlockAndAnAbandonedWaitCallsNothing)
{
    Calls calls;
    EXPECT_TRUE(PUSHDelegateSynchronize::runMethodBlockThread(
        [] { later([] { PUSHDelegateSynchronize::continueThread(false, Value("ignored"), Value("f")); }); },
        calls.onSuccess(), calls.onFailure(), Value("f"), 30)
                    .isAbsent());
    EXPECT_EQ(calls.failed, 1);
    EXPECT_TRUE(calls.lastFailure.isAbsent());

    // A time-out of 0 waits the default 60 seconds.
    testing_support::VirtualTime time;
    const double start = foundation::clock::now();
    Calls timed;
    EXPECT_TRUE(PUSHDelegateSynchronize::runMethodBlockThread(
        [&] { later([&] { time.advance(59); later([&] { time.advance(1); }); }); }, timed.onSuccess(),
        timed.onFailure(), Value("t"), 0)
                    .isAbsent());
    EXPECT_EQ(timed.failed, 1);
    EXPECT_EQ(timed.succeeded, 0);
    EXPECT_GE(foundation::clock::now() - start, 60);

    // An abandoned wait calls nothing.
    Calls abandoned;
    EXPECT_TRUE(PUSHDelegateSynchronize::runMethodBlockThread(
        [] { later([] { PUSHDelegateSynchronize::clearIdentifier(Value("gone")); }); }, abandoned.onSuccess(),
        abandoned.onFailure(), Value("gone"), 30)
                    .isAbsent());
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
