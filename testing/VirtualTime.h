// Virtual time for a test: while a VirtualTime lives, the platform clock stands still at the
// given date and moves only by advance(); every run loop is woken when it moves, so due timers
// fire at once. Real time comes back when it is destroyed.
#pragma once

namespace testing_support {

class VirtualTime {
public:
    // 2024-01-01 00:00:00 UTC unless told otherwise.
    explicit VirtualTime(double secondsSince1970 = 1704067200.0);
    ~VirtualTime();
    VirtualTime(const VirtualTime&) = delete;
    VirtualTime& operator=(const VirtualTime&) = delete;

    void advance(double seconds);
    double now() const;
};

} // namespace testing_support
