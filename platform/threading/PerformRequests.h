// performSelector:withObject:afterDelay: and cancelPreviousPerformRequestsWithTarget:. A
// delayed perform is a one-shot timer on the current run loop (default mode unless told
// otherwise); it holds its target weakly and does nothing once the target is gone. Requests are
// registered per run loop under the target and a selector name, so that the current thread can
// cancel them.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/threading/NSRunLoop.h"

namespace threading {

// The general form: `target` identifies the request and decides whether it still runs.
void performAfterDelay(const std::shared_ptr<const void>& target, std::string selector, std::function<void()> action,
    NSTimeInterval delay, std::vector<NSRunLoopMode> modes = { NSDefaultRunLoopMode });

template <class T>
void performSelectorAfterDelay(const std::shared_ptr<T>& target, std::string selector, std::function<void(T&)> action,
    NSTimeInterval delay, std::vector<NSRunLoopMode> modes = { NSDefaultRunLoopMode })
{
    std::weak_ptr<T> weak = target;
    performAfterDelay(
        target, std::move(selector),
        [weak, action = std::move(action)] {
            if (auto strong = weak.lock())
                action(*strong);
        },
        delay, std::move(modes));
}

} // namespace threading

// Cancels the current run loop's pending requests for the target (for one selector name only,
// in the second form).
void cancelPreviousPerformRequestsWithTarget(const void* target);
void cancelPreviousPerformRequestsWithTarget(const void* target, const std::string& selector);
