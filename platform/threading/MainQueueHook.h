// The link between the main dispatch queue and the main run loop (internal to the threading layer).
#pragma once

#include <memory>

class NSRunLoop;

namespace threading::detail {

// Runs the blocks waiting on the main queue now, in order; false when none ran. Does nothing
// inside a main-queue block (a nested run there must not run later main-queue blocks).
bool runMainQueueBatch();
bool mainQueueHasBlocks();
// The loop to wake when blocks arrive on the main queue.
void setMainRunLoop(const std::shared_ptr<NSRunLoop>& loop);

} // namespace threading::detail
