// What animations were asked for, for tests: duration, delay, options (the curve in bits
// 16-19) and the begin/commit identifier.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "platform/uikit/UIView.h"

namespace uikit {

struct AnimationRecord {
    double duration;
    double delay;
    UIViewAnimationOptions options;
    std::string animationID;
};

const std::vector<AnimationRecord>& animationLog();
void clearAnimationLog();
// Animations whose completion has not run yet.
std::size_t runningAnimationCount();
// Ends the running animations that change this view (finished = NO).
void removeAnimations(const UIView* view);

} // namespace uikit
