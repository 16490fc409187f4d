// Bounded FIFO queue with lookup by key.
#include "push/Storage/PUSHFIFOQueue.h"

#include <algorithm>

#include "push/Storage/PUSHKeyValueCoding.h"

namespace {

bool sameItem(const NSObjectRef& a, const NSObjectRef& b) { return a == b || (a && b && a->isEqual(*b)); }

} // namespace

PUSHFIFOQueue::PUSHFIFOQueue(std::uint64_t maxItem, std::string keyName)
    : maxCount_(maxItem)
    , keyName_(std::move(keyName))
{
}

Value PUSHFIFOQueue::keyOf(const Item& item) const
{
    auto* coding = dynamic_cast<const push::KeyValueCoding*>(item.get());
    return coding ? coding->valueForKey(keyName_) : Value();
}

void PUSHFIFOQueue::dropFrontWhileAbove(std::uint64_t limit)
{
    if (items_.size() > limit)
        dequeue();
}

void PUSHFIFOQueue::enqueue(const Item& item)
{
    if (!item)
        return;
    items_.push_back(item);
    itemAndKeyMap_[keyOf(item)] = item;
    dropFrontWhileAbove(maxCount_);
}

void PUSHFIFOQueue::enqueueWithHighPriority(const Item& item)
{
    if (!item)
        return;
    dropFrontWhileAbove(maxCount_ + 1);
    items_.push_front(item);
    itemAndKeyMap_[keyOf(item)] = item;
}

void PUSHFIFOQueue::enqueueItem(const Item& item, const Value& key)
{
    if (!item)
        return;
    itemAndKeyMap_[key] = item;
    items_.push_back(item);
    dropFrontWhileAbove(maxCount_);
}

void PUSHFIFOQueue::enqueueHighPriorityItem(const Item& item, const Value& key)
{
    if (!item)
        return;
    itemAndKeyMap_[key] = item;
    dropFrontWhileAbove(maxCount_ + 1);
    items_.push_front(item);
    itemAndKeyMap_[keyOf(item)] = item;
}

void PUSHFIFOQueue::forget(const Item& item, const Value& key)
{
    // Only the entry that points at this item: a later item under the same key stays findable.
    auto found = itemAndKeyMap_.find(key);
    if (found == itemAndKeyMap_.end())
        return;
    auto held = found->second.lock();
    if (!held || sameItem(held, item))
        itemAndKeyMap_.erase(found);
}

void PUSHFIFOQueue::removeEqual(const Item& item)
{
    items_.erase(std::remove_if(items_.begin(), items_.end(), [&](const Item& each) { return sameItem(each, item); }),
        items_.end());
}

PUSHFIFOQueue::Item PUSHFIFOQueue::dequeue()
{
    if (items_.empty())
        return nullptr;
    Item front = items_.front();
    items_.pop_front();
    forget(front, keyOf(front));
    return front;
}

PUSHFIFOQueue::Item PUSHFIFOQueue::dequeueItemWithKey(const Value& key)
{
    auto found = itemAndKeyMap_.find(key);
    if (found == itemAndKeyMap_.end())
        return nullptr;
    Item item = found->second.lock();
    itemAndKeyMap_.erase(found);
    if (item)
        removeEqual(item);
    return item;
}

PUSHFIFOQueue::Item PUSHFIFOQueue::getObjectFromQueueWithKey(const Value& key) const
{
    auto found = itemAndKeyMap_.find(key);
    return found == itemAndKeyMap_.end() ? nullptr : found->second.lock();
}

void PUSHFIFOQueue::removeItem(const Item& item)
{
    if (items_.empty() || !item)
        return;
    forget(item, keyOf(item));
    removeEqual(item);
}

void PUSHFIFOQueue::clear()
{
    items_.clear();
    itemAndKeyMap_.clear();
}

void PUSHFIFOQueue::copyQueue(const PUSHFIFOQueue& other)
{
    const auto snapshot = other.items_;
    for (const auto& item : snapshot)
        enqueue(item);
}

void PUSHFIFOQueue::copyQueue(PUSHFIFOQueue& other, const std::function<bool(const Item&)>& condition)
{
    const auto snapshot = other.items_;
    for (const auto& item : snapshot) {
        if (condition(item))
            enqueue(item);
        else
            other.removeItem(item);
    }
}

void PUSHFIFOQueue::enumerateObjectsWithOptions(unsigned options, const Block& block) const
{
    const auto snapshot = items_;
    bool stop = false;
    const bool reverse = options & PUSHEnumerationReverse;
    for (std::size_t n = 0; n < snapshot.size() && !stop; ++n) {
        const std::size_t index = reverse ? snapshot.size() - 1 - n : n;
        block(snapshot[index], index, stop);
    }
}

std::shared_ptr<PUSHFIFOQueue> PUSHFIFOQueue::copy() const
{
    auto twin = std::make_shared<PUSHFIFOQueue>(maxCount_, keyName_);
    twin->items_ = items_;
    twin->itemAndKeyMap_ = itemAndKeyMap_;
    return twin;
}

void PUSHFIFOQueue::encodeWithCoder(NSCoder& coder) const
{
    Value::Array items(items_.begin(), items_.end());
    Value::Array pairs;
    for (const auto& [key, weakItem] : itemAndKeyMap_) {
        auto item = weakItem.lock();
        if (item && !key.isAbsent())
            pairs.push_back(Value::array({ key, Value(item) }));
    }
    coder.encodeObject(Value(std::move(items)), "itemArray");
    coder.encodeObject(Value(std::move(pairs)), "itemAndKeyMap");
    coder.encodeInteger(static_cast<std::int64_t>(maxCount_), "itemMaxCount");
}

bool PUSHFIFOQueue::initWithCoder(NSCoder& coder)
{
    clear();
    maxCount_ = static_cast<std::uint64_t>(coder.decodeIntegerForKey("itemMaxCount"));
    for (const Value& item : coder.decodeObjectForKey("itemArray").asArray()) {
        if (item.isObject() && item.asObject())
            items_.push_back(item.asObject());
    }
    // An entry whose item is not listed would hold nothing: the map does not own its items.
    for (const Value& pair : coder.decodeObjectForKey("itemAndKeyMap").asArray()) {
        const Item item = pair.isArray() && pair.count() == 2 && pair[1].isObject() ? pair[1].asObject() : nullptr;
        if (item && std::find(items_.begin(), items_.end(), item) != items_.end())
            itemAndKeyMap_[pair[0]] = item;
    }
    return true;
}
