// Animations: final values at once, completions on the clock, superseded animations.
#include "Fixture.h"

namespace {

TEST_F(UIKitTest, AnimationSetsValuesAtOnceAndCompletesAfterTheDuration)
{
    auto v = UIView::create({ { 0, 0 }, { 10, 10 } });
    window->addSubview(v);
    std::vector<bool> done;
    UIView::animateWithDuration(0.3, 0.2, UIViewAnimationOptionCurveEaseOut, [&] { v->setAlpha(0); v->setCenter({ 50, 50 }); },
        [&](bool finished) { done.push_back(finished); });
    EXPECT_EQ(v->alpha(), 0);
    EXPECT_EQ(v->center(), (CGPoint { 50, 50 }));
    testing_support::settle();
    EXPECT_TRUE(done.empty());
    advance(0.4);
    EXPECT_TRUE(done.empty()) << "delay and duration both count";
    advance(0.1);
    EXPECT_EQ(done, (std::vector<bool> { true }));
    ASSERT_FALSE(uikit::animationLog().empty());
    EXPECT_EQ(uikit::animationLog().back().options, UIViewAnimationOptionCurveEaseOut);
}

TEST_F(UIKitTest, ALaterAnimationOfTheSamePropertiesEndsTheEarlierUnfinished)
{
    auto v = UIView::create();
    std::vector<std::string> done;
    UIView::animateWithDuration(1, [&] { v->setAlpha(0.5); }, [&](bool f) { done.push_back(f ? "first yes" : "first no"); });
    UIView::animateWithDuration(1, [&] { v->setAlpha(1); }, [&](bool f) { done.push_back(f ? "second yes" : "second no"); });
    testing_support::settle();
    EXPECT_EQ(done, (std::vector<std::string> { "first no" }));
    advance(1);
    EXPECT_EQ(done, (std::vector<std::string> { "first no", "second yes" }));

    done.clear();
    UIView::animateWithDuration(1, [&] { v->setAlpha(0.2); v->setCenter({ 1, 1 }); }, [&](bool f) { done.push_back(f ? "both yes" : "both no"); });
    UIView::animateWithDuration(1, [&] { v->setAlpha(0.3); }, {});
    advance(1);
    EXPECT_EQ(done, (std::vector<std::string> { "both yes" })) << "a partly taken-over animation still finishes";
}

} // namespace
