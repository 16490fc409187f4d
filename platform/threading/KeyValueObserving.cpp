// Observer lists: registrations in order, old values kept from will- to did-change, callbacks
// made outside the lock so that observers may add or remove observers while being told.
#include "platform/threading/KeyValueObserving.h"

#include <array>
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

namespace {

// The registrations of one key, taken out of the lock so that observers may change the list
// while being told. The few a key has fit without an allocation.
class Matches {
public:
    using EntryRef = std::shared_ptr<KeyValueObservable::Entry>;

    void add(const EntryRef& entry)
    {
        if (count_ < kInline)
            inline_[count_] = entry;
        else
            more_.push_back(entry);
        ++count_;
    }
    std::size_t size() const { return count_; }
    bool empty() const { return count_ == 0; }
    KeyValueObservable::Entry& operator[](std::size_t index) const
    {
        return index < kInline ? *inline_[index] : *more_[index - kInline];
    }
    bool wants(unsigned option) const
    {
        for (std::size_t i = 0; i < count_; ++i) {
            if ((*this)[i].options & option)
                return true;
        }
        return false;
    }

private:
    static constexpr std::size_t kInline = 4;
    std::array<EntryRef, kInline> inline_;
    std::vector<EntryRef> more_;
    std::size_t count_ = 0;
};

} // namespace

struct KeyValueObservable::Registry {
    std::mutex mutex;
    std::vector<std::shared_ptr<Entry>> entries;
    std::map<std::string, std::vector<Value>> oldValues; // a stack per key, for nested changes

    // Under `mutex`.
    void collect(const std::string& key, Matches& found) const
    {
        for (const auto& entry : entries) {
            if (entry->active && entry->keyPath == key)
                found.add(entry);
        }
    }

    // Under `mutex`: the old value a will-change kept for `key`, if any.
    Value popOldValue(const std::string& key)
    {
        if (oldValues.empty())
            return {};
        auto it = oldValues.find(key);
        if (it == oldValues.end() || it->second.empty())
            return {};
        Value old = std::move(it->second.back());
        it->second.pop_back();
        if (it->second.empty())
            oldValues.erase(it);
        return old;
    }

    template <class Match>
    void remove(const Match& match)
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

// The change without values, made once: copies share it, and a copy that is changed gets its own.
// Never destroyed, since threads may still report changes while the process exits.
const Value& plainChange()
{
    static const auto* change = new Value(Value::dictionary({ { NSKeyValueChangeKindKey, NSKeyValueChangeSetting } }));
    return *change;
}

} // namespace

KeyValueObservable::KeyValueObservable()
    : registry_(std::make_shared<Registry>())
{
}

KeyValueObservable::~KeyValueObservable() = default;

NSObject* KeyValueObservable::self()
{
    NSObject* object = self_.load(std::memory_order_relaxed);
    if (!object) {
        object = dynamic_cast<NSObject*>(this);
        self_.store(object, std::memory_order_relaxed);
    }
    return object;
}

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

void KeyValueObservable::willChangeValueForKey(const std::string& key)
{
    Matches entries;
    {
        std::lock_guard lock(registry_->mutex);
        registry_->collect(key, entries);
    }
    if (entries.empty())
        return; // nobody to tell; an observer added before the did-change is told without an old value
    bool needOld = entries.wants(NSKeyValueObservingOptionOld);
    Value old = needOld ? valueForKey(key) : Value();
    if (needOld) {
        std::lock_guard lock(registry_->mutex);
        registry_->oldValues[key].push_back(old);
    }
    if (!entries.wants(NSKeyValueObservingOptionPrior))
        return;
    // One change per shape, shared by the observers asking for it.
    Value changes[2];
    for (std::size_t i = 0; i < entries.size(); ++i) {
        Entry& entry = entries[i];
        if (!(entry.options & NSKeyValueObservingOptionPrior))
            continue;
        bool withOld = entry.options & NSKeyValueObservingOptionOld;
        Value& change = changes[withOld ? 1 : 0];
        if (change.isAbsent()) {
            change = Value::dictionary(
                { { NSKeyValueChangeKindKey, NSKeyValueChangeSetting }, { NSKeyValueChangeNotificationIsPriorKey, true } });
            if (withOld)
                change.set(NSKeyValueChangeOldKey, old);
        }
        tell(entry, self(), change);
    }
}

void KeyValueObservable::didChangeValueForKey(const std::string& key)
{
    Matches entries;
    Value old;
    {
        std::lock_guard lock(registry_->mutex);
        registry_->collect(key, entries);
        old = registry_->popOldValue(key);
    }
    if (entries.empty()) {
        observedKeyDidChange(key);
        return;
    }
    Value current = entries.wants(NSKeyValueObservingOptionNew) ? valueForKey(key) : Value();
    // One change per shape (with or without "new" and "old"), shared by the observers asking for it.
    Value changes[4];
    bool anyGone = false;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        Entry& entry = entries[i];
        bool withNew = entry.options & NSKeyValueObservingOptionNew;
        bool withOld = entry.options & NSKeyValueObservingOptionOld;
        Value& change = changes[(withNew ? 1 : 0) | (withOld ? 2 : 0)];
        if (change.isAbsent()) {
            change = plainChange();
            if (withNew)
                change.set(NSKeyValueChangeNewKey, current.isAbsent() ? Value::null() : current);
            if (withOld)
                change.set(NSKeyValueChangeOldKey, old.isAbsent() ? Value::null() : old);
        }
        if (!tell(entry, self(), change)) {
            entry.active = false;
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
