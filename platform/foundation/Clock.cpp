// The platform clock: real by default, virtual when a test asks for it.
#include "platform/foundation/Clock.h"

#include <atomic>
#include <chrono>
#include <map>
#include <mutex>
#include <vector>

namespace foundation::clock {
namespace {

struct State {
    std::mutex mutex;
    // Read without the lock by now() and monotonic() while time is real (nearly always), so that
    // reading the clock takes no lock; set under the lock, after the virtual values.
    std::atomic<bool> isVirtual { false };
    double virtualNow = 0;
    double virtualMonotonic = 0;
    std::uint64_t nextToken = 1;
    std::map<std::uint64_t, Listener> listeners;
};

// Never destroyed: threads that outlive main() (a detached thread dropping the last reference to
// a run loop) may still remove their listener during exit.
State& state()
{
    static State* s = new State;
    return *s;
}

double realNow()
{
    using namespace std::chrono;
    return duration<double>(system_clock::now().time_since_epoch()).count();
}

double realMonotonic()
{
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

} // namespace

double now()
{
    State& s = state();
    if (!s.isVirtual.load(std::memory_order_acquire))
        return realNow();
    std::lock_guard lock(s.mutex);
    return s.isVirtual ? s.virtualNow : realNow();
}

double monotonic()
{
    State& s = state();
    if (!s.isVirtual.load(std::memory_order_acquire))
        return realMonotonic();
    std::lock_guard lock(s.mutex);
    return s.isVirtual ? s.virtualMonotonic : realMonotonic();
}

bool isVirtual() { return state().isVirtual.load(std::memory_order_acquire); }

void useVirtualTime(double secondsSince1970)
{
    State& s = state();
    std::lock_guard lock(s.mutex);
    s.virtualMonotonic = s.isVirtual ? s.virtualMonotonic : realMonotonic();
    s.virtualNow = secondsSince1970;
    s.isVirtual = true;
}

void useRealTime()
{
    std::vector<Listener> toWake;
    {
        State& s = state();
        std::lock_guard lock(s.mutex);
        s.isVirtual = false;
        for (auto& [token, listener] : s.listeners)
            toWake.push_back(listener);
    }
    for (auto& listener : toWake)
        listener();
}

void advance(double seconds)
{
    std::vector<Listener> toWake;
    {
        State& s = state();
        std::lock_guard lock(s.mutex);
        if (!s.isVirtual || seconds <= 0)
            return;
        s.virtualNow += seconds;
        s.virtualMonotonic += seconds;
        for (auto& [token, listener] : s.listeners)
            toWake.push_back(listener);
    }
    for (auto& listener : toWake)
        listener();
}

std::uint64_t addListener(Listener listener)
{
    State& s = state();
    std::lock_guard lock(s.mutex);
    std::uint64_t token = s.nextToken++;
    s.listeners.emplace(token, std::move(listener));
    return token;
}

void removeListener(std::uint64_t token)
{
    State& s = state();
    std::lock_guard lock(s.mutex);
    s.listeners.erase(token);
}

} // namespace foundation::clock
