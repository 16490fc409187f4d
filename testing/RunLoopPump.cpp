// Main-loop pumping for tests.
#include "testing/RunLoopPump.h"

#include <chrono>

#include "platform/threading/NSRunLoop.h"
#include "platform/threading/NSThread.h"

namespace testing_support {
namespace {

double realNow()
{
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

std::shared_ptr<NSRunLoop> mainLoop()
{
    threading::becomeMainThread();
    return NSRunLoop::mainRunLoop();
}

} // namespace

bool runUntil(const std::function<bool()>& predicate, double timeoutSeconds)
{
    auto loop = mainLoop();
    double deadline = realNow() + timeoutSeconds;
    for (;;) {
        if (predicate())
            return true;
        double left = deadline - realNow();
        if (left <= 0)
            return predicate();
        loop->runInModeForRealSeconds(NSDefaultRunLoopMode, std::min(left, 0.01), true);
    }
}

bool settle(double timeoutSeconds)
{
    auto loop = mainLoop();
    double deadline = realNow() + timeoutSeconds;
    int quietPasses = 0;
    while (realNow() < deadline) {
        loop->runInModeForRealSeconds(NSDefaultRunLoopMode, 0.002, true);
        quietPasses = loop->hasReadyWork(NSDefaultRunLoopMode) ? 0 : quietPasses + 1;
        if (quietPasses >= 3)
            return true;
    }
    return false;
}

} // namespace testing_support
