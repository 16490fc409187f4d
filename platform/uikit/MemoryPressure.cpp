// The resident-size budget and the memory warning it triggers.
#include "platform/uikit/MemoryPressure.h"

#include <unistd.h>

#include <fstream>

#include "platform/threading/NSRunLoop.h"
#include "platform/threading/NSTimer.h"
#include "platform/uikit/UIApplication.h"

namespace uikit {

std::uint64_t residentSetSize()
{
    // statm: total program size, then resident pages.
    std::ifstream statm("/proc/self/statm");
    std::uint64_t total = 0, resident = 0;
    if (!(statm >> total >> resident))
        return 0;
    long page = sysconf(_SC_PAGESIZE);
    return resident * static_cast<std::uint64_t>(page > 0 ? page : 4096);
}

std::shared_ptr<MemoryPressureMonitor> MemoryPressureMonitor::shared()
{
    static const auto monitor = create();
    return monitor;
}

std::shared_ptr<MemoryPressureMonitor> MemoryPressureMonitor::create(std::uint64_t budget)
{
    return std::make_shared<MemoryPressureMonitor>(budget);
}

MemoryPressureMonitor::~MemoryPressureMonitor()
{
    stop();
}

void MemoryPressureMonitor::start(const std::shared_ptr<NSRunLoop>& loop, double interval)
{
    stop();
    std::weak_ptr<MemoryPressureMonitor> weak = sharedAs<MemoryPressureMonitor>();
    timer_ = NSTimer::timerWithTimeInterval(interval, true, [weak](const std::shared_ptr<NSTimer>& timer) {
        auto monitor = weak.lock();
        if (!monitor) {
            timer->invalidate();
            return;
        }
        monitor->check();
    });
    loop->addTimer(timer_, NSRunLoopCommonModes);
}

void MemoryPressureMonitor::stop()
{
    if (timer_)
        timer_->invalidate();
    timer_.reset();
}

bool MemoryPressureMonitor::check()
{
    bool above = residentSetSize() > budget_;
    bool crossed = above && !above_;
    above_ = above;
    if (crossed)
        receiveMemoryWarning();
    return crossed;
}

} // namespace uikit
