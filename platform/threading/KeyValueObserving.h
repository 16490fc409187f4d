// Key-value observation as explicit observer lists. A class that publishes changes embeds
// KeyValueObservable (as a base) and brackets every change with willChangeValueForKey and
// didChangeValueForKey; every bracket notifies, even when the value did not change. Observers
// are told in the order they registered, on the thread that made the change. The change is a
// dictionary Value with "kind" (1), and, when asked for, "new", "old" and "notificationIsPrior".
// Observers are held weakly; an Observation token removes itself when destroyed and tolerates
// an observed object that is already gone.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <string>

#include "platform/foundation/Value.h"

enum NSKeyValueObservingOptions : unsigned {
    NSKeyValueObservingOptionNew = 0x01,
    NSKeyValueObservingOptionOld = 0x02,
    NSKeyValueObservingOptionInitial = 0x04,
    NSKeyValueObservingOptionPrior = 0x08,
};

inline constexpr const char* NSKeyValueChangeKindKey = "kind";
inline constexpr const char* NSKeyValueChangeNewKey = "new";
inline constexpr const char* NSKeyValueChangeOldKey = "old";
inline constexpr const char* NSKeyValueChangeNotificationIsPriorKey = "notificationIsPrior";
inline constexpr long NSKeyValueChangeSetting = 1;

// What an observer implements (observeValueForKeyPath:ofObject:change:context:).
class NSKeyValueObserving {
public:
    virtual ~NSKeyValueObserving() = default;
    virtual void observeValueForKeyPath(
        const std::string& keyPath, NSObject* object, const Value& change, void* context) = 0;
};

namespace threading {

class Observation;

class KeyValueObservable {
public:
    using Handler = std::function<void(const std::string& keyPath, NSObject* object, const Value& change)>;

    KeyValueObservable();
    virtual ~KeyValueObservable();
    KeyValueObservable(const KeyValueObservable&) = delete;
    KeyValueObservable& operator=(const KeyValueObservable&) = delete;

    // addObserver:forKeyPath:options:context: (the observer is held weakly).
    void addObserver(const std::shared_ptr<NSKeyValueObserving>& observer, const std::string& keyPath,
        unsigned options, void* context);
    // Removes the observer's registrations for the key path (with any context).
    void removeObserver(const NSKeyValueObserving* observer, const std::string& keyPath);
    void removeObserver(const NSKeyValueObserving* observer, const std::string& keyPath, void* context);
    // A block observer; it stays registered while the returned token lives.
    [[nodiscard]] Observation observe(const std::string& keyPath, unsigned options, Handler handler);

    void willChangeValueForKey(const std::string& key);
    void didChangeValueForKey(const std::string& key);

    // The current value of a key, for "new" and "old" in change dictionaries (absent by default).
    virtual Value valueForKey(const std::string& key) const;

protected:
    // Called after the observers of a did-change were told.
    virtual void observedKeyDidChange(const std::string& key);

public:
    // Internal: one registration, and the list of them.
    struct Entry;
    struct Registry;

private:
    NSObject* self();
    std::shared_ptr<Registry> registry_;
    std::atomic<NSObject*> self_ { nullptr }; // the object as observers see it, found once
};

// Keeps a block observer registered; move-only.
class Observation {
public:
    Observation() = default;
    Observation(Observation&&) noexcept = default;
    Observation& operator=(Observation&& other) noexcept;
    ~Observation();
    void invalidate();

private:
    friend class KeyValueObservable;
    std::weak_ptr<KeyValueObservable::Registry> registry_;
    std::weak_ptr<KeyValueObservable::Entry> entry_;
};

} // namespace threading
