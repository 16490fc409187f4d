// Observer lists: registrations in order, old values kept from will- to did-change, callbacks
// made outside the lock so that observers may add or remove observers while being told.
#include "platform/threading/KeyValueObserving.h"

#include <atomic>
#include <map>
#include <mutex>
#include <vector>

namespace threading {

struct KeyValueObservable::Entry {
    std::string keyPath;
    unsigned options = 0;
    void* context = nullptr;
    const NSKeyValueObserving* observerKey = nullptr;
    std::weak_ptr<NSKeyValueObserving> observer; // for target observers
    Handler handler; // for block observers
    std::atomic<bool> active { true };
};

struct KeyValueObservable::Registry {
    std::mutex mutex;
    std::vector<std::shared_ptr<Entry>> entries;
    std::map<std::string, std::vector<Value>> oldValues; // a stack per key, for nested changes

    std::vector<std::shared_ptr<Entry>> entriesFor(const std::string& key)
    {
        std::vector<std::shared_ptr<Entry>> found;
        std::lock_guard lock(mutex);
        for (const auto& entry : entries) {
            if (entry->keyPath == key && entry->active)
                found.push_back(entry);
        }
        return found;
    }

    void remove(const std::function<bool(const Entry&)>& match)
    {
        std::lock_guard lock(mutex);
        std::erase_if(entries, [&](const std::shared_ptr<Entry>& entry) {
            if (!match(*entry))
                return false;
            entry->active = false;
            return true;
        });
    }
};

namespace {

bool wants(const std::vector<std::shared_ptr<KeyValueObservable::Entry>>& entries, unsigned option);

// Tells one observer; false when it is gone (and should be dropped).
bool tell(KeyValueObservable::Entry& entry, NSObject* object, const Value& change)
{
    if (!entry.active)
        return true;
    if (entry.handler) {
        entry.handler(entry.keyPath, object, change);
        return true;
    }
    auto observer = entry.observer.lock();
    if (!observer)
        return false;
    observer->observeValueForKeyPath(entry.keyPath, object, change, entry.context);
    return true;
}

} // namespace

KeyValueObservable::KeyValueObservable()
    : registry_(std::make_shared<Registry>())
{
}

KeyValueObservable::~KeyValueObservable() = default;

NSObject* KeyValueObservable::self() { return dynamic_cast<NSObject*>(this); }

Value KeyValueObservable::valueForKey(const std::string&) const { return {}; }

void KeyValueObservable::observedKeyDidChange(const std::string&) { }

void KeyValueObservable::addObserver(
    const std::shared_ptr<NSKeyValueObserving>& observer, const std::string& keyPath, unsigned options, void* context)
{
    if (!observer)
        return;
    auto entry = std::make_shared<Entry>();
    entry->keyPath = keyPath;
    entry->options = options;
    entry->context = context;
    entry->observerKey = observer.get();
    entry->observer = observer;
    {
        std::lock_guard lock(registry_->mutex);
        registry_->entries.push_back(entry);
    }
    if (options & NSKeyValueObservingOptionInitial) {
        Value change = Value::dictionary({ { NSKeyValueChangeKindKey, NSKeyValueChangeSetting } });
        if (options & NSKeyValueObservingOptionNew)
            change.set(NSKeyValueChangeNewKey, valueForKey(keyPath));
        tell(*entry, self(), change);
    }
}

void KeyValueObservable::removeObserver(const NSKeyValueObserving* observer, const std::string& keyPath)
{
    registry_->remove([&](const Entry& e) { return e.observerKey == observer && e.keyPath == keyPath; });
}

void KeyValueObservable::removeObserver(const NSKeyValueObserving* observer, const std::string& keyPath, void* context)
{
    registry_->remove(
        [&](const Entry& e) { return e.observerKey == observer && e.keyPath == keyPath && e.context == context; });
}

Observation KeyValueObservable::observe(const std::string& keyPath, unsigned options, Handler handler)
{
    auto entry = std::make_shared<Entry>();
    entry->keyPath = keyPath;
    entry->options = options;
    entry->handler = std::move(handler);
    {
        std::lock_guard lock(registry_->mutex);
        registry_->entries.push_back(entry);
    }
    Observation token;
    token.registry_ = registry_;
    token.entry_ = entry;
    if (options & NSKeyValueObservingOptionInitial) {
        Value change = Value::dictionary({ { NSKeyValueChangeKindKey, NSKeyValueChangeSetting } });
        if (options & NSKeyValueObservingOptionNew)
            change.set(NSKeyValueChangeNewKey, valueForKey(keyPath));
        tell(*entry, self(), change);
    }
    return token;
}

namespace {
bool wants(const std::vector<std::shared_ptr<KeyValueObservable::Entry>>& entries, unsigned option)
{
    for (const auto& entry : entries) {
        if (entry->options & option)
            return true;
    }
    return false;
}
} // namespace

void KeyValueObservable::willChangeValueForKey(const std::string& key)
{
    auto entries = registry_->entriesFor(key);
    if (entries.empty())
        return; // nobody to tell; an observer added before the did-change is told without an old value
    bool needOld = wants(entries, NSKeyValueObservingOptionOld);
    Value old = needOld ? valueForKey(key) : Value();
    if (needOld) {
        std::lock_guard lock(registry_->mutex);
        registry_->oldValues[key].push_back(old);
    }
    for (const auto& entry : entries) {
        if (!(entry->options & NSKeyValueObservingOptionPrior))
            continue;
        Value change = Value::dictionary(
            { { NSKeyValueChangeKindKey, NSKeyValueChangeSetting }, { NSKeyValueChangeNotificationIsPriorKey, true } });
        if (entry->options & NSKeyValueObservingOptionOld)
            change.set(NSKeyValueChangeOldKey, old);
        tell(*entry, self(), change);
    }
}

void KeyValueObservable::didChangeValueForKey(const std::string& key)
{
    auto entries = registry_->entriesFor(key);
    Value old;
    {
        std::lock_guard lock(registry_->mutex);
        auto it = registry_->oldValues.find(key);
        if (it != registry_->oldValues.end() && !it->second.empty()) {
            old = std::move(it->second.back());
            it->second.pop_back();
            if (it->second.empty())
                registry_->oldValues.erase(it);
        }
    }
    Value current = wants(entries, NSKeyValueObservingOptionNew) ? valueForKey(key) : Value();
    bool anyGone = false;
    for (const auto& entry : entries) {
        Value change = Value::dictionary({ { NSKeyValueChangeKindKey, NSKeyValueChangeSetting } });
        if (entry->options & NSKeyValueObservingOptionNew)
            change.set(NSKeyValueChangeNewKey, current.isAbsent() ? Value::null() : current);
        if (entry->options & NSKeyValueObservingOptionOld)
            change.set(NSKeyValueChangeOldKey, old.isAbsent() ? Value::null() : old);
        if (!tell(*entry, self(), change)) {
            entry->active = false;
            anyGone = true;
        }
    }
    if (anyGone)
        registry_->remove([](const Entry& e) { return !e.active; });
    observedKeyDidChange(key);
}

Observation& Observation::operator=(Observation&& other) noexcept
{
    if (this != &other) {
        invalidate();
        registry_ = std::move(other.registry_);
        entry_ = std::move(other.entry_);
    }
    return *this;
}

Observation::~Observation() { invalidate(); }

void Observation::invalidate()
{
    auto entry = entry_.lock();
    auto registry = registry_.lock();
    entry_.reset();
    registry_.reset();
    if (!entry)
        return;
    entry->active = false;
    if (registry)
        registry->remove([&](const KeyValueObservable::Entry& e) { return &e == entry.get(); });
}

} // namespace threading
