// Notification centres: a registration list scanned at each post; delivery outside the lock.
#include "platform/threading/NSNotificationCenter.h"

#include "platform/threading/NSOperation.h"

namespace {

class ObserverToken : public NSObject {
public:
    std::string className() const override { return "NSNotificationObserverToken"; }
};

} // namespace

NSNotification::NSNotification(NSNotificationName name, NSObjectRef object, Value userInfo)
    : name_(std::move(name))
    , object_(std::move(object))
    , userInfo_(std::move(userInfo))
{
}

std::shared_ptr<NSNotification> NSNotification::notificationWithName(
    NSNotificationName name, NSObjectRef object, Value userInfo)
{
    return std::make_shared<NSNotification>(std::move(name), std::move(object), std::move(userInfo));
}

std::shared_ptr<NSNotificationCenter> NSNotificationCenter::defaultCenter()
{
    static auto* center = new std::shared_ptr<NSNotificationCenter>(create());
    return *center;
}

std::shared_ptr<NSNotificationCenter> NSNotificationCenter::create() { return std::make_shared<NSNotificationCenter>(); }

void NSNotificationCenter::add(std::shared_ptr<Entry> entry)
{
    std::lock_guard lock(mutex_);
    // Drop registrations of observers that are gone, so the list does not grow forever.
    std::erase_if(entries_, [](const std::shared_ptr<Entry>& e) { return e->weakObserver && e->life.expired(); });
    entries_.push_back(std::move(entry));
}

void NSNotificationCenter::addObserver(const void* key, std::weak_ptr<const void> life, Block action,
    const NSNotificationName& name, const NSObject* object)
{
    if (!key || !action)
        return;
    auto entry = std::make_shared<Entry>();
    entry->key = key;
    entry->life = std::move(life);
    entry->weakObserver = true;
    entry->name = name;
    entry->object = object;
    entry->action = std::move(action);
    add(std::move(entry));
}

NSObjectRef NSNotificationCenter::addObserverForName(
    const NSNotificationName& name, const NSObject* object, std::shared_ptr<NSOperationQueue> queue, Block block)
{
    auto token = std::make_shared<ObserverToken>();
    if (!block)
        return token;
    auto entry = std::make_shared<Entry>();
    entry->key = token.get();
    entry->name = name;
    entry->object = object;
    entry->action = std::move(block);
    entry->queue = std::move(queue);
    add(std::move(entry));
    return token;
}

void NSNotificationCenter::removeObserver(const void* observer)
{
    std::vector<std::shared_ptr<Entry>> removed;
    std::lock_guard lock(mutex_);
    std::erase_if(entries_, [&](const std::shared_ptr<Entry>& e) {
        if (e->key != observer)
            return false;
        e->active = false;
        removed.push_back(e);
        return true;
    });
}

void NSNotificationCenter::removeObserver(const void* observer, const NSNotificationName& name, const NSObject* object)
{
    std::vector<std::shared_ptr<Entry>> removed;
    std::lock_guard lock(mutex_);
    std::erase_if(entries_, [&](const std::shared_ptr<Entry>& e) {
        if (e->key != observer || (!name.empty() && e->name != name) || (object && e->object != object))
            return false;
        e->active = false;
        removed.push_back(e);
        return true;
    });
}

void NSNotificationCenter::postNotificationName(const NSNotificationName& name, NSObjectRef object, Value userInfo)
{
    postNotification(NSNotification::notificationWithName(name, std::move(object), std::move(userInfo)));
}

void NSNotificationCenter::postNotification(const std::shared_ptr<NSNotification>& notification)
{
    if (!notification)
        return;
    std::vector<std::shared_ptr<Entry>> matching;
    {
        std::lock_guard lock(mutex_);
        for (const auto& entry : entries_) {
            if (!entry->name.empty() && entry->name != notification->name())
                continue;
            if (entry->object && entry->object != notification->object().get())
                continue;
            matching.push_back(entry);
        }
    }
    for (const auto& entry : matching)
        deliver(*entry, notification);
}

void NSNotificationCenter::deliver(Entry& entry, const std::shared_ptr<NSNotification>& notification)
{
    if (!entry.active)
        return; // removed by an earlier observer of this post
    if (!entry.weakObserver) {
        if (entry.queue && entry.queue != NSOperationQueue::currentQueue()) {
            auto operation = NSBlockOperation::blockOperationWithBlock([&entry, notification] { entry.action(notification); });
            entry.queue->addOperations({ operation }, true);
            return;
        }
        entry.action(notification);
        return;
    }
    // Hold the observer while it is told, so that it cannot vanish halfway.
    auto alive = entry.life.lock();
    if (alive)
        entry.action(notification);
}
