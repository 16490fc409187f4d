// State kept beside an object without the object's class holding it: one process-wide store of
// values by owner and key. A value lives as long as its owner: views drop theirs as they are
// destroyed, other owners' values are dropped at the next use of the store after they go, and
// an object made later at the same address starts empty. Owners must live in a shared_ptr (a
// value stored on any other object is never found). The store may be used from any thread.
#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <type_traits>
#include <utility>

#include "platform/foundation/NSObject.h"

namespace uikit::associations {

// The slot of `key` on `owner`; with `create`, a missing slot is made by `make`. Null when the
// owner does not live in a shared_ptr, or when the slot is missing and not to be made.
std::shared_ptr<void> slot(const NSObject& owner, const void* key, std::shared_ptr<void> (*make)());
// Replaces the slot's value (null removes it); the old value is released outside the lock.
void replace(const NSObject& owner, const void* key, std::shared_ptr<void> value);
// Every value of an owner that is going away (called by UIView's destructor).
void forgetOwner(const NSObject* owner);
// Owners that still hold at least one value, after dropping those that are gone.
std::size_t ownerCount();

// Serialises the bodies run by AssociatedValue::with across threads. Re-entrant on one thread.
class BodyLock {
public:
    BodyLock();
    ~BodyLock();
    BodyLock(const BodyLock&) = delete;
    BodyLock& operator=(const BodyLock&) = delete;
};

} // namespace uikit::associations

namespace uikit {

// One kind of associated state, of type T; the object's address is the key, so declare each
// one once (a static or a namespace-scope constant).
template <class T>
class AssociatedValue {
public:
    AssociatedValue() = default;
    AssociatedValue(const AssociatedValue&) = delete;
    AssociatedValue& operator=(const AssociatedValue&) = delete;

    // A copy of the value stored on `owner`, or nothing.
    std::optional<T> get(const NSObject& owner) const
    {
        associations::BodyLock lock;
        auto value = associations::slot(owner, this, nullptr);
        if (!value)
            return std::nullopt;
        return *static_cast<const T*>(value.get());
    }
    void set(const NSObject& owner, T value) const
    {
        associations::replace(owner, this, std::make_shared<T>(std::move(value)));
    }
    void remove(const NSObject& owner) const { associations::replace(owner, this, nullptr); }

    // Runs `body(T&)` on the owner's value (default-made on first use) while no other body
    // runs, and returns what it returns. The body must not keep the reference.
    template <class Body>
    decltype(auto) with(const NSObject& owner, Body&& body) const
    {
        associations::BodyLock lock;
        auto value = associations::slot(owner, this, &make);
        if (!value) {
            // An owner the store cannot hold: the body works on a value that is then dropped.
            T scratch {};
            return std::forward<Body>(body)(scratch);
        }
        return std::forward<Body>(body)(*static_cast<T*>(value.get()));
    }

private:
    static std::shared_ptr<void> make() { return std::make_shared<T>(); }
};

} // namespace uikit
