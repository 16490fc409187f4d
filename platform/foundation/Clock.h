// The platform clock: the one source of "now" for dates, timers, delays and time-outs.
// Real time by default. Tests switch to virtual time and advance it by any amount at once;
// run loops and queues subscribe to be woken when virtual time moves.
#pragma once

#include <cstdint>
#include <functional>

namespace foundation::clock {

// Seconds since 1970-01-01 00:00:00 UTC.
double now();
// Seconds on a monotonic scale, for intervals and timer deadlines.
double monotonic();

bool isVirtual();
// Freeze time at `secondsSince1970` (the monotonic scale is frozen alongside it).
void useVirtualTime(double secondsSince1970);
void useRealTime();
// Moves virtual time forward by `seconds` and wakes every listener. No effect in real time.
void advance(double seconds);

// Listeners are told after virtual time moves (on the advancing thread).
using Listener = std::function<void()>;
std::uint64_t addListener(Listener listener);
void removeListener(std::uint64_t token);

} // namespace foundation::clock
