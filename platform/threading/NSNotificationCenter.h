// NSNotification and NSNotificationCenter: the process-wide default centre and private ones.
// Posting is synchronous, on the posting thread, to the observers registered for the name (an
// empty name: every name) and the sender (nullptr: any sender), in the order they registered.
// Target observers are held weakly and skipped once gone; remove them with removeObserver
// (also from their destructor). Block observers stay until their token is removed; with a
// queue, the post waits until the block ran on that queue.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/foundation/Value.h"

class NSOperationQueue;

using NSNotificationName = std::string;

class NSNotification : public NSObject {
public:
    static std::shared_ptr<NSNotification> notificationWithName(
        NSNotificationName name, NSObjectRef object = nullptr, Value userInfo = {});
    NSNotification(NSNotificationName name, NSObjectRef object, Value userInfo);

    const NSNotificationName& name() const { return name_; }
    const NSObjectRef& object() const { return object_; }
    const Value& userInfo() const { return userInfo_; }
    std::string className() const override { return "NSNotification"; }

private:
    NSNotificationName name_;
    NSObjectRef object_;
    Value userInfo_;
};

class NSNotificationCenter : public NSObject {
public:
    using Block = std::function<void(const std::shared_ptr<NSNotification>&)>;

    static std::shared_ptr<NSNotificationCenter> defaultCenter();
    static std::shared_ptr<NSNotificationCenter> create();
    std::string className() const override { return "NSNotificationCenter"; }

    // addObserver:selector:name:object: — the observer is held weakly.
    template <class T>
    void addObserver(const std::shared_ptr<T>& observer, void (T::*selector)(const std::shared_ptr<NSNotification>&),
        const NSNotificationName& name, const NSObject* object = nullptr)
    {
        std::weak_ptr<T> weak = observer;
        addObserver(observer.get(), weak,
            [weak, selector](const std::shared_ptr<NSNotification>& notification) {
                if (auto strong = weak.lock())
                    ((*strong).*selector)(notification);
            },
            name, object);
    }
    // The general form: `key` identifies the observer for removal; `life` says whether it lives.
    void addObserver(const void* key, std::weak_ptr<const void> life, Block action, const NSNotificationName& name,
        const NSObject* object = nullptr);
    // addObserverForName:object:queue:usingBlock: — returns the token to remove it with.
    NSObjectRef addObserverForName(const NSNotificationName& name, const NSObject* object,
        std::shared_ptr<NSOperationQueue> queue, Block block);

    // Removes every registration of the observer (or token).
    void removeObserver(const void* observer);
    // Removes the observer's registrations matching the name (empty: any) and sender (nullptr: any).
    void removeObserver(const void* observer, const NSNotificationName& name, const NSObject* object = nullptr);

    void postNotification(const std::shared_ptr<NSNotification>& notification);
    void postNotificationName(const NSNotificationName& name, NSObjectRef object = nullptr, Value userInfo = {});

private:
    struct Entry {
        const void* key = nullptr;
        std::weak_ptr<const void> life;
        bool weakObserver = false;
        NSNotificationName name;
        const NSObject* object = nullptr;
        Block action;
        std::shared_ptr<NSOperationQueue> queue;
        std::atomic<bool> active { true };
    };
    void add(std::shared_ptr<Entry> entry);
    void deliver(Entry& entry, const std::shared_ptr<NSNotification>& notification);

    std::mutex mutex_;
    std::vector<std::shared_ptr<Entry>> entries_;
};
