// Notification centres and key-value observation.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "platform/threading/KeyValueObserving.h"
#include "platform/threading/NSNotificationCenter.h"
#include "platform/threading/NSOperation.h"
#include "platform/threading/NSThread.h"
#include "testing/RunLoopPump.h"

namespace {

struct Listener : NSObject {
    std::shared_ptr<NSNotificationCenter> center;
    std::vector<std::string> heard;
    std::thread::id thread;
    void onNote(const std::shared_ptr<NSNotification>& note)
    {
        heard.push_back(note->name() + ":" + note->userInfo()["n"].stringValue());
        thread = std::this_thread::get_id();
    }
    ~Listener() override
    {
        if (center)
            center->removeObserver(this);
    }
};

class Model : public NSObject, public threading::KeyValueObservable {
public:
    void setProgress(double value)
    {
        willChangeValueForKey("progress");
        progress_ = value;
        didChangeValueForKey("progress");
    }
    Value valueForKey(const std::string& key) const override { return key == "progress" ? Value(progress_) : Value(); }

private:
    double progress_ = 0;
};

struct Watcher : NSKeyValueObserving {
    std::vector<std::string> seen;
    void observeValueForKeyPath(const std::string& keyPath, NSObject*, const Value& change, void* context) override
    {
        seen.push_back(keyPath + " " + change[NSKeyValueChangeOldKey].description() + "->"
            + change[NSKeyValueChangeNewKey].description() + (context ? " ctx" : ""));
    }
};

} // namespace

TEST(NotificationCenter, PostsByNameAndSenderSynchronouslyInOrder)
{
    auto center = NSNotificationCenter::create();
    auto sender = std::make_shared<NSObject>(), stranger = std::make_shared<NSObject>();
    auto any = std::make_shared<Listener>(), fromSender = std::make_shared<Listener>(), everything = std::make_shared<Listener>();
    center->addObserver(any, &Listener::onNote, "start");
    center->addObserver(fromSender, &Listener::onNote, "start", sender.get());
    center->addObserver(everything, &Listener::onNote, "");

    std::thread([&] { center->postNotificationName("start", stranger, Value::dictionary({ { "n", 1 } })); }).join();
    center->postNotificationName("start", sender, Value::dictionary({ { "n", 2 } }));
    center->postNotificationName("finish", sender, Value::dictionary({ { "n", 3 } }));
    EXPECT_EQ(any->heard, (std::vector<std::string> { "start:1", "start:2" }));
    EXPECT_EQ(fromSender->heard, (std::vector<std::string> { "start:2" }));
    EXPECT_EQ(everything->heard, (std::vector<std::string> { "start:1", "start:2", "finish:3" }));
    EXPECT_EQ(any->thread, std::this_thread::get_id());

    // Centres are separate.
    NSNotificationCenter::defaultCenter()->postNotificationName("start");
    EXPECT_EQ(any->heard.size(), 2u);
}

TEST(NotificationCenter, RemovalFromDestructorsAndDuringPosts)
{
    auto center = NSNotificationCenter::create();
    auto leaving = std::make_shared<Listener>();
    leaving->center = center;
    center->addObserver(leaving, &Listener::onNote, "note");
    leaving.reset(); // removes itself in its destructor
    auto forgotten = std::make_shared<Listener>();
    center->addObserver(forgotten, &Listener::onNote, "note");
    forgotten.reset(); // never removed: skipped, no crash

    auto second = std::make_shared<Listener>();
    auto token = center->addObserverForName("note", nullptr, nullptr, [&](const auto&) { center->removeObserver(second.get()); });
    center->addObserver(second, &Listener::onNote, "note");
    center->postNotificationName("note");
    EXPECT_TRUE(second->heard.empty()) << "removed by an earlier observer of the same post";
    center->removeObserver(token.get());
    center->addObserver(second, &Listener::onNote, "note");
    center->postNotificationName("note");
    EXPECT_EQ(second->heard.size(), 1u);
}

TEST(NotificationCenter, BlockObserverOnAQueueRunsThereBeforeThePostReturns)
{
    threading::becomeMainThread();
    auto center = NSNotificationCenter::create();
    auto queue = NSOperationQueue::create();
    std::atomic<bool> onQueue { false };
    auto token = center->addObserverForName("x", nullptr, queue, [&](const auto&) { onQueue = NSOperationQueue::currentQueue() == queue; });
    center->postNotificationName("x");
    EXPECT_TRUE(onQueue);
    center->removeObserver(token.get());
}

TEST(KeyValueObserving, OptionsOrderRemovalAndDeadObservers)
{
    auto model = std::make_shared<Model>();
    auto watcher = std::make_shared<Watcher>();
    int context = 0;
    model->setProgress(0.25); // unobserved: leaves no old value behind for the next change
    model->addObserver(watcher, "progress", NSKeyValueObservingOptionNew | NSKeyValueObservingOptionOld, &context);
    std::vector<std::string> order;
    auto first = model->observe("progress", NSKeyValueObservingOptionInitial | NSKeyValueObservingOptionNew,
        [&](const std::string&, NSObject* object, const Value& change) {
            order.push_back("block " + change[NSKeyValueChangeNewKey].description());
            EXPECT_EQ(object, model.get());
        });
    model->setProgress(0.5);
    model->setProgress(0.5); // equal values notify too
    EXPECT_EQ(watcher->seen, (std::vector<std::string> { "progress 0.25->0.5 ctx", "progress 0.5->0.5 ctx" }));
    EXPECT_EQ(order, (std::vector<std::string> { "block 0.25", "block 0.5", "block 0.5" }));

    model->removeObserver(watcher.get(), "progress", &context);
    first.invalidate();
    model->setProgress(1);
    EXPECT_EQ(watcher->seen.size(), 2u);
    EXPECT_EQ(order.size(), 3u);

    // A token that outlives its model, and a watcher that dies while registered.
    auto late = model->observe("progress", 0, [](const auto&, auto*, const auto&) {});
    model->addObserver(watcher, "progress", 0, nullptr);
    watcher.reset();
    model->setProgress(2);
    model.reset();
    late.invalidate();
}

namespace {

// "p" for a prior change, then "n=" and "o=" for the values present.
std::string shapeOf(const Value& change)
{
    std::string text = "k" + change[NSKeyValueChangeKindKey].description();
    if (change[NSKeyValueChangeNotificationIsPriorKey].boolValue())
        text += " p";
    if (!change[NSKeyValueChangeNewKey].isAbsent())
        text += " n=" + change[NSKeyValueChangeNewKey].description();
    if (!change[NSKeyValueChangeOldKey].isAbsent())
        text += " o=" + change[NSKeyValueChangeOldKey].description();
    return text;
}

} // namespace

// More observers of one key than a change keeps at hand, with every mix of options: each is
// told in the order it registered, and each change holds exactly what its observer asked for.
TEST(KeyValueObserving, ManyObserversEachGetTheChangeTheirOptionsAskFor)
{
    auto model = std::make_shared<Model>();
    model->setProgress(0.25);
    const unsigned options[] = { 0, NSKeyValueObservingOptionNew, NSKeyValueObservingOptionOld,
        NSKeyValueObservingOptionNew | NSKeyValueObservingOptionOld,
        NSKeyValueObservingOptionPrior | NSKeyValueObservingOptionOld, NSKeyValueObservingOptionPrior, 0 };
    std::vector<std::string> seen;
    std::vector<threading::Observation> tokens;
    for (std::size_t i = 0; i < std::size(options); ++i)
        tokens.push_back(model->observe("progress", options[i], [&seen, i](const std::string&, NSObject*, const Value& change) {
            seen.push_back(std::to_string(i) + ": " + shapeOf(change));
        }));
    model->setProgress(0.5);
    EXPECT_EQ(seen,
        (std::vector<std::string> { "4: k1 p o=0.25", "5: k1 p", "0: k1", "1: k1 n=0.5", "2: k1 o=0.25",
            "3: k1 n=0.5 o=0.25", "4: k1 o=0.25", "5: k1", "6: k1" }));

    // Nested changes of one key pair each did-change with its own will-change's old value.
    seen.clear();
    tokens.resize(4);
    tokens.erase(tokens.begin(), tokens.begin() + 3);
    model->willChangeValueForKey("progress");
    model->setProgress(1);
    model->setProgress(2);
    model->didChangeValueForKey("progress");
    EXPECT_EQ(seen, (std::vector<std::string> { "3: k1 n=1 o=0.5", "3: k1 n=2 o=1", "3: k1 n=2 o=0.5" }));
}
