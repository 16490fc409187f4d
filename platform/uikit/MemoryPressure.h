// The system's memory warning: a monitor on the application's run loop reads the process's
// resident size on a timer and, when it rises above the budget, delivers the memory warning
// (the delegate's call and UIApplicationDidReceiveMemoryWarningNotification). It warns once per
// crossing: staying above the budget warns no more; falling back below it arms the next warning.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "platform/foundation/NSObject.h"

class NSRunLoop;
class NSTimer;

namespace uikit {

// The process's resident set size in bytes (0 when it cannot be read).
std::uint64_t residentSetSize();

class MemoryPressureMonitor final : public NSObject {
public:
    // Fit for a phone application.
    static constexpr std::uint64_t kDefaultBudget = std::uint64_t { 512 } << 20;
    static constexpr double kDefaultInterval = 2.0;

    // The monitor UIApplicationMain starts on the main run loop.
    static std::shared_ptr<MemoryPressureMonitor> shared();
    static std::shared_ptr<MemoryPressureMonitor> create(std::uint64_t budget = kDefaultBudget);
    explicit MemoryPressureMonitor(std::uint64_t budget) : budget_(budget) { }
    ~MemoryPressureMonitor() override;
    std::string className() const override { return "MemoryPressureMonitor"; }

    std::uint64_t budget() const { return budget_; }
    void setBudget(std::uint64_t bytes) { budget_ = bytes; }
    // Checks every `interval` seconds on `loop` (common modes) until stopped; restarting
    // replaces the running timer.
    void start(const std::shared_ptr<NSRunLoop>& loop, double interval = kDefaultInterval);
    void stop();
    bool isRunning() const { return timer_ != nullptr; }
    // One check now; true when it delivered a warning.
    bool check();

private:
    std::uint64_t budget_;
    bool above_ = false;
    std::shared_ptr<NSTimer> timer_;
};

} // namespace uikit
