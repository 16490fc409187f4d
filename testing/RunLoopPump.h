// Pumping the main run loop from a test: the test's thread is the main thread, and work that
// reaches the main queue, main-thread performs and main-loop timers run while the test waits.
// Time-outs are in real seconds, also under virtual time, so a broken test fails instead of
// hanging.
#pragma once

#include <functional>

namespace testing_support {

// Runs the main run loop until `predicate` holds (true) or `timeoutSeconds` passed (false).
// The first call makes the calling thread the main thread if none is yet.
bool runUntil(const std::function<bool()>& predicate, double timeoutSeconds = 5);

// Runs the main run loop until it has nothing ready to do (no main-queue blocks, performs or
// due timers) for a short while; false when that did not happen within `timeoutSeconds`.
bool settle(double timeoutSeconds = 5);

} // namespace testing_support
