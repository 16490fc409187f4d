// Time helpers shared by every timed wait of the threading layer. All deadlines live on the
// platform clock's monotonic scale, so tests that switch to virtual time control them too.
#pragma once

#include <algorithm>
#include <chrono>
#include <limits>

#include "platform/foundation/Clock.h"

// Seconds, as the platform counts intervals and dates (dates: seconds since 1970).
using NSTimeInterval = double;

namespace threading {

inline constexpr double kForever = std::numeric_limits<double>::infinity();

// A deadline on the platform's monotonic scale `seconds` from now.
inline double deadlineAfter(NSTimeInterval seconds)
{
    return seconds >= kForever ? kForever : foundation::clock::monotonic() + seconds;
}

// The monotonic deadline of a date (seconds since 1970).
inline double deadlineForDate(NSTimeInterval date)
{
    if (date >= kForever)
        return kForever;
    return foundation::clock::monotonic() + (date - foundation::clock::now());
}

// The date `seconds` from now.
inline NSTimeInterval dateAfter(NSTimeInterval seconds) { return foundation::clock::now() + seconds; }

// A date far in the future, for "forever".
inline constexpr NSTimeInterval kDistantFuture = 63113904000.0;

// Waits on `cv` until `pred` holds or the monotonic `deadline` passes; returns pred().
// Virtual time does not move by itself and its moves do not signal `cv`, so in virtual time the
// wait looks at the clock again every few milliseconds.
template <class Lock, class Condition, class Pred>
bool waitUntil(Lock& lock, Condition& cv, double deadline, Pred pred)
{
    while (!pred()) {
        if (deadline >= kForever) {
            cv.wait(lock);
            continue;
        }
        double left = deadline - foundation::clock::monotonic();
        if (left <= 0)
            return pred();
        double slice = foundation::clock::isVirtual() ? 0.005 : std::min(left, 60.0);
        cv.wait_for(lock, std::chrono::duration<double>(slice));
    }
    return true;
}

} // namespace threading
