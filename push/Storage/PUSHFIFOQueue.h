// A bounded first-in-first-out queue whose items can also be found by a key read from a named
// property of each item (the session keys its requests by "rid"). Copyable and archivable
// under "itemArray", "itemAndKeyMap" and "itemMaxCount"; the key property name is not archived.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>

#include "platform/foundation/NSObject.h"
#include "platform/foundation/Value.h"
#include "platform/persistence/NSCoder.h"

enum PUSHEnumerationOptions : unsigned { PUSHEnumerationReverse = 2 };

class PUSHFIFOQueue : public NSObject, public NSCoding {
public:
    using Item = NSObjectRef;
    using Block = std::function<void(const Item& item, std::size_t index, bool& stop)>;

    // initWithMaxItem:withKeyProperyName:
    PUSHFIFOQueue(std::uint64_t maxItem, std::string keyName);
    // An empty queue of capacity 0 and no key property, as reading an archive starts it.
    PUSHFIFOQueue() : PUSHFIFOQueue(0, {}) {}

    std::size_t count() const { return items_.size(); }
    std::uint64_t maxCount() const { return maxCount_; }
    const std::string& keyName() const { return keyName_; }

    // Appends; drops the front when the queue then holds more than maxCount items.
    void enqueue(const Item& item);
    // Inserts at the front; drops the front first only when more than maxCount + 1 are held.
    void enqueueWithHighPriority(const Item& item);
    void enqueueItem(const Item& item, const Value& key);
    void enqueueHighPriorityItem(const Item& item, const Value& key);
    // The front item, removed; none for an empty queue.
    Item dequeue();
    // The item under the key, removed with every equal item; none when no item has the key.
    Item dequeueItemWithKey(const Value& key);
    Item getObjectFromQueueWithKey(const Value& key) const;
    void removeItem(const Item& item);
    void clear();

    // Enqueues every item of the other queue here.
    void copyQueue(const PUSHFIFOQueue& other);
    // Items the condition accepts are enqueued here (and stay there); the others are removed
    // from the other queue.
    void copyQueue(PUSHFIFOQueue& other, const std::function<bool(const Item&)>& condition);

    void enumerateObjectsUsingBlock(const Block& block) const { enumerateObjectsWithOptions(0, block); }
    void enumerateObjectsWithOptions(unsigned options, const Block& block) const;

    // The key of an item: its property named keyName (absent when it has none).
    Value keyOf(const Item& item) const;

    // A new queue with the same items, keys and capacity. It keeps the key property name too,
    // so that it can key the items enqueued on it.
    std::shared_ptr<PUSHFIFOQueue> copy() const;
    std::string className() const override { return "PUSHFIFOQueue"; }
    // The map is written as [key, item] pairs of its live entries with a key.
    void encodeWithCoder(NSCoder& coder) const override;
    // Items that are not objects are left out, and so are pairs whose item is not listed.
    bool initWithCoder(NSCoder& coder) override;

private:
    void forget(const Item& item, const Value& key);
    void removeEqual(const Item& item);
    void dropFrontWhileAbove(std::uint64_t limit);

    std::deque<Item> items_;
    std::unordered_map<Value, std::weak_ptr<NSObject>, ValueHash> itemAndKeyMap_;
    std::uint64_t maxCount_;
    std::string keyName_;
};
