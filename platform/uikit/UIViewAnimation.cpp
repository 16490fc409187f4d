// View animations without motion: inside an animation the changed properties take their
// final values at once; the completion (or did-stop callback) runs on the main loop when the
// delay and duration have passed on the platform clock. A later animation that changes every
// property an earlier one changed ends the earlier one with finished = NO.
#include <algorithm>
#include <set>

#include "platform/uikit/UIAnimationLog.h"
#include "platform/uikit/UIKitCore.h"
#include "platform/uikit/UIView.h"

namespace uikit {
namespace {

struct Animation {
    double duration = 0.2;
    double delay = 0;
    UIViewAnimationOptions options = 0;
    UIView::Completion completion;
    UIView::DidStop didStop;
    std::string animationID;
    void* context = nullptr;
    std::set<std::pair<const UIView*, std::string>> keys;
    bool done = false;
};

struct State {
    std::vector<std::shared_ptr<Animation>> building;
    std::vector<std::shared_ptr<Animation>> running;
    std::vector<AnimationRecord> log;
    bool enabled = true;
    int suppressed = 0;
};

State& state()
{
    static State s;
    return s;
}

void finish(const std::shared_ptr<Animation>& animation, bool finished)
{
    if (animation->done)
        return;
    animation->done = true;
    std::erase(state().running, animation);
    if (animation->completion)
        animation->completion(finished);
    if (animation->didStop)
        animation->didStop(animation->animationID, finished, animation->context);
}

void supersede(const std::shared_ptr<Animation>& animation)
{
    performOnMainSoon([animation] { finish(animation, false); });
}

void start(const std::shared_ptr<Animation>& animation)
{
    State& s = state();
    s.log.push_back({ animation->duration, animation->delay, animation->options, animation->animationID });
    s.running.push_back(animation);
    double total = s.enabled ? std::max(0.0, animation->delay + animation->duration) : 0;
    performOnMainAfter(total, [animation] { finish(animation, true); });
}

void run(const std::shared_ptr<Animation>& animation, const std::function<void()>& changes)
{
    State& s = state();
    s.building.push_back(animation);
    if (changes)
        changes();
    s.building.pop_back();
    start(animation);
}

} // namespace

void noteAnimatedChange(UIView* view, const char* key)
{
    State& s = state();
    if (s.building.empty() || s.suppressed > 0)
        return;
    auto current = s.building.back();
    std::pair<const UIView*, std::string> entry { view, key };
    current->keys.insert(entry);
    auto running = s.running;
    for (auto& other : running) {
        if (other->keys.erase(entry) && other->keys.empty())
            supersede(other);
    }
}

void removeAnimations(const UIView* view)
{
    auto running = state().running;
    for (auto& animation : running) {
        bool touched = std::erase_if(animation->keys, [&](const auto& key) { return key.first == view; }) > 0;
        if (touched && animation->keys.empty())
            supersede(animation);
    }
}

const std::vector<AnimationRecord>& animationLog()
{
    return state().log;
}

void clearAnimationLog()
{
    state().log.clear();
}

std::size_t runningAnimationCount()
{
    return state().running.size();
}

} // namespace uikit

void CALayer::removeAllAnimations()
{
    uikit::removeAnimations(view_);
}

void UIView::animateWithDuration(double duration, std::function<void()> animations, Completion completion)
{
    animateWithDuration(duration, 0, 0, std::move(animations), std::move(completion));
}

void UIView::animateWithDuration(double duration, double delay, UIViewAnimationOptions options,
    std::function<void()> animations, Completion completion)
{
    auto animation = std::make_shared<uikit::Animation>();
    animation->duration = duration;
    animation->delay = delay;
    animation->options = options;
    animation->completion = std::move(completion);
    uikit::run(animation, animations);
}

void UIView::animateWithDuration(double duration, double delay, double, double, UIViewAnimationOptions options,
    std::function<void()> animations, Completion completion)
{
    animateWithDuration(duration, delay, options, std::move(animations), std::move(completion));
}

void UIView::transitionWithView(const std::shared_ptr<UIView>&, double duration, UIViewAnimationOptions options,
    std::function<void()> animations, Completion completion)
{
    animateWithDuration(duration, 0, options, std::move(animations), std::move(completion));
}

void UIView::performWithoutAnimation(const std::function<void()>& actions)
{
    ++uikit::state().suppressed;
    if (actions)
        actions();
    --uikit::state().suppressed;
}

void UIView::setAnimationsEnabled(bool enabled)
{
    uikit::state().enabled = enabled;
}

bool UIView::areAnimationsEnabled()
{
    return uikit::state().enabled;
}

void UIView::beginAnimations(const std::string& animationID, void* context)
{
    auto animation = std::make_shared<uikit::Animation>();
    animation->animationID = animationID;
    animation->context = context;
    uikit::state().building.push_back(animation);
}

namespace {
std::shared_ptr<uikit::Animation> building()
{
    auto& b = uikit::state().building;
    return b.empty() ? nullptr : b.back();
}
} // namespace

void UIView::setAnimationDuration(double duration)
{
    if (auto a = building())
        a->duration = duration;
}

void UIView::setAnimationDelay(double delay)
{
    if (auto a = building())
        a->delay = delay;
}

void UIView::setAnimationCurve(UIViewAnimationCurve curve)
{
    if (auto a = building())
        a->options = (a->options & ~(UIViewAnimationOptions(0xF) << 16)) | (UIViewAnimationOptions(curve) << 16);
}

void UIView::setAnimationBeginsFromCurrentState(bool fromCurrentState)
{
    if (auto a = building(); a && fromCurrentState)
        a->options |= UIViewAnimationOptionBeginFromCurrentState;
}

void UIView::setAnimationDidStopCallback(DidStop callback)
{
    if (auto a = building())
        a->didStop = std::move(callback);
}

void UIView::commitAnimations()
{
    auto& b = uikit::state().building;
    if (b.empty())
        return;
    auto animation = b.back();
    b.pop_back();
    uikit::start(animation);
}
