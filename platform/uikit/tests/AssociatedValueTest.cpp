// Associated values: several kinds per owner, values going with their owner (views at once,
// other objects at the next use), owners the store cannot hold, values whose release uses the
// store again, and use from several threads at once.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "platform/uikit/AssociatedValue.h"
#include "platform/uikit/UIView.h"

namespace {

const uikit::AssociatedValue<int> counter;
const uikit::AssociatedValue<std::string> label;
const uikit::AssociatedValue<std::shared_ptr<int>> held;

TEST(AssociatedValue, KeepsOneValueAKindAnOwner)
{
    auto first = UIView::create();
    auto second = std::make_shared<NSObject>();

    EXPECT_FALSE(counter.get(*first));
    counter.set(*first, 3);
    label.set(*first, "first");
    counter.set(*second, 7);

    EXPECT_EQ(counter.get(*first), 3);
    EXPECT_EQ(label.get(*first), "first");
    EXPECT_EQ(counter.get(*second), 7);
    EXPECT_FALSE(label.get(*second)) << "kinds do not leak between owners";

    counter.set(*first, 4);
    EXPECT_EQ(counter.get(*first), 4) << "a set replaces";
    counter.remove(*first);
    EXPECT_FALSE(counter.get(*first));
    EXPECT_EQ(label.get(*first), "first") << "removing one kind keeps the others";
    counter.remove(*first); // removing what is not there does nothing

    // with: the value is made on first use and keeps the body's changes.
    for (int i = 0; i < 3; ++i)
        counter.with(*first, [](int& value) { ++value; });
    EXPECT_EQ(counter.get(*first), 3);
    auto text = label.with(*second, [](std::string& value) {
        value += "x";
        return value + "!";
    });
    EXPECT_EQ(text, "x!") << "with returns what the body returns";
    EXPECT_EQ(label.get(*second), "x");
}

TEST(AssociatedValue, ValuesGoWithTheirOwner)
{
    auto token = std::make_shared<int>(1);
    std::weak_ptr<int> watch = token;

    auto view = UIView::create();
    held.set(*view, token);
    auto object = std::make_shared<NSObject>();
    auto other = std::make_shared<int>(2);
    std::weak_ptr<int> watchOther = other;
    held.set(*object, other);
    token.reset();
    other.reset();
    auto before = uikit::associations::ownerCount();

    view.reset();
    EXPECT_TRUE(watch.expired()) << "a view's values go as it is destroyed";

    object.reset();
    EXPECT_EQ(uikit::associations::ownerCount(), before - 2);
    EXPECT_TRUE(watchOther.expired()) << "another owner's values go at the next use of the store";
}

TEST(AssociatedValue, OwnersOutsideASharedPointerHoldNothing)
{
    NSObject loose;
    counter.set(loose, 5);
    EXPECT_FALSE(counter.get(loose));
    int seen = counter.with(loose, [](int& value) { return ++value; });
    EXPECT_EQ(seen, 1) << "the body still runs, on a value that is then dropped";
    EXPECT_FALSE(counter.get(loose));
}

// A value that, as it is released, destroys a view holding a value of its own.
struct ViewHolder {
    std::shared_ptr<UIView> view;
};
const uikit::AssociatedValue<ViewHolder> holder;

TEST(AssociatedValue, ReleasingAValueMayUseTheStoreAgain)
{
    auto inner = UIView::create();
    counter.set(*inner, 1);
    std::weak_ptr<UIView> watchInner = inner;
    auto outer = UIView::create();
    holder.set(*outer, ViewHolder { std::move(inner) });

    outer.reset();
    EXPECT_TRUE(watchInner.expired());

    auto owner = UIView::create();
    auto nested = counter.with(*owner, [&](int& value) {
        value = 2;
        label.set(*owner, "inside");
        return label.get(*owner);
    });
    EXPECT_EQ(nested, "inside") << "a body may use other kinds of the same owner";
    EXPECT_EQ(counter.get(*owner), 2);
}

TEST(AssociatedValue, ManyThreadsShareOneStore)
{
    constexpr int threads = 4;
    constexpr int rounds = 300;
    auto shared = std::make_shared<NSObject>();
    std::atomic<int> mismatches { 0 };
    std::vector<std::thread> workers;
    for (int t = 0; t < threads; ++t) {
        workers.emplace_back([&, t] {
            for (int i = 0; i < rounds; ++i) {
                counter.with(*shared, [](int& value) { ++value; });
                // Owners come and go on every thread while others read and write.
                auto mine = std::make_shared<NSObject>();
                label.set(*mine, std::to_string(t * rounds + i));
                if (label.get(*mine) != std::to_string(t * rounds + i))
                    ++mismatches;
            }
        });
    }
    for (auto& worker : workers)
        worker.join();
    EXPECT_EQ(counter.get(*shared), threads * rounds) << "no increment is lost";
    EXPECT_EQ(mismatches.load(), 0);
}

} // namespace
