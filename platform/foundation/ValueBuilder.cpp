// ValueBuilder: arena containers made from runs of the builder's stacks.
#include "platform/foundation/ValueBuilder.h"

#include <algorithm>
#include <atomic>
#include <iterator>
#include <new>
#include <numeric>

#include "platform/foundation/ValueArena.h"

namespace foundation {
namespace {

using Member = ValueDictionary::value_type;
using detail::Arena;
using detail::ArenaArray;
using detail::ArenaDictionary;
using detail::Shape;

// Byte order of keys, as the dictionary keeps them. Keys of one object mostly differ in their
// first byte, which is looked at before the general comparison.
bool keyLess(std::string_view a, std::string_view b)
{
    if (!a.empty() && !b.empty() && a[0] != b[0])
        return static_cast<unsigned char>(a[0]) < static_cast<unsigned char>(b[0]);
    return a < b;
}

// Stable: of equal keys the one pushed first stays first.
template <typename KeyAt>
void sortPositions(KeyAt keyAt, std::vector<std::uint32_t>& order)
{
    auto byKey = [&keyAt](std::uint32_t a, std::uint32_t b) { return keyLess(keyAt(a), keyAt(b)); };
    if (order.size() > 32) {
        std::stable_sort(order.begin(), order.end(), byKey);
        return;
    }
    for (std::size_t i = 1; i < order.size(); ++i) {
        std::uint32_t moving = order[i];
        std::size_t j = i;
        for (; j > 0 && byKey(moving, order[j - 1]); --j)
            order[j] = order[j - 1];
        order[j] = moving;
    }
}

template <typename KeyAt>
bool sameKeys(const Shape& shape, KeyAt keyAt, std::size_t count)
{
    if (shape.written != count)
        return false;
    for (std::size_t k = 0; k < count; ++k) {
        if (keyAt(k) != shape.writtenKeys[k])
            return false;
    }
    return true;
}

} // namespace

Arena& ValueBuilder::arena()
{
    if (!arena_) {
        arena_ = std::make_shared<Arena>();
        std::fill(std::begin(shapes_), std::end(shapes_), nullptr);
    }
    return *arena_;
}

Value ValueBuilder::makeArray(std::size_t mark)
{
    Arena& a = arena();
    const std::size_t count = elements_.size() - mark;
    Value* items = a.allocateArray<Value>(count);
    for (std::size_t i = 0; i < count; ++i) {
        Value* item = new (items + i) Value(std::move(elements_[mark + i]));
        a.settle(*item);
    }
    elements_.erase(elements_.begin() + static_cast<std::ptrdiff_t>(mark), elements_.end());
    auto* node = new (a.allocateArray<ArenaArray>(1)) ArenaArray;
    node->arena = &a;
    node->count = static_cast<std::uint32_t>(count);
    node->items = items;
    return a.arrayValue(node);
}

template <typename KeyAt>
const Shape& ValueBuilder::newShape(KeyAt keyAt, std::size_t count)
{
    Arena& a = arena();
    order_.resize(count);
    std::iota(order_.begin(), order_.end(), 0u);
    sortPositions(keyAt, order_);
    // Of a run of equal keys the last pushed stands last in the stable order: keep that one.
    std::size_t kept = 0;
    for (std::size_t k = 0; k < count; ++k) {
        if (k + 1 < count && keyAt(order_[k]) == keyAt(order_[k + 1]))
            continue;
        order_[kept++] = order_[k];
    }
    auto* written = a.allocateArray<std::string_view>(count);
    auto* slotOf = a.allocateArray<std::uint32_t>(count);
    for (std::size_t k = 0; k < count; ++k) {
        written[k] = a.copyString(keyAt(k));
        slotOf[k] = UINT32_MAX;
    }
    auto* keys = a.allocateArray<std::string_view>(kept);
    auto* order = a.allocateArray<std::uint32_t>(kept);
    for (std::size_t k = 0; k < kept; ++k) {
        order[k] = order_[k];
        slotOf[order_[k]] = static_cast<std::uint32_t>(k);
        keys[k] = written[order_[k]];
    }
    auto* shape = new (a.allocateArray<Shape>(1)) Shape;
    shape->count = static_cast<std::uint32_t>(kept);
    shape->written = static_cast<std::uint32_t>(count);
    shape->keys = keys;
    shape->writtenKeys = written;
    shape->order = order;
    shape->slotOf = slotOf;
    return *shape;
}

template <typename KeyAt>
const Shape& ValueBuilder::shapeOf(KeyAt keyAt, std::size_t count)
{
    // Objects of one shape (records of a list) repeat their keys: the shape last made for
    // objects of this size is tried first, which costs one pass over the keys.
    const Shape*& last = shapes_[std::min(count, kShapes)];
    if (!last || !sameKeys(*last, keyAt, count))
        last = &newShape(keyAt, count);
    return *last;
}

Value ValueBuilder::makeDictionary(std::size_t mark)
{
    Arena& a = arena();
    Member* members = members_.data() + mark;
    const std::size_t count = members_.size() - mark;
    const Shape& shape = shapeOf([members](std::size_t k) { return std::string_view(members[k].first); }, count);
    Value* values = a.allocateArray<Value>(shape.count);
    for (std::size_t k = 0; k < shape.count; ++k) {
        Value* value = new (values + k) Value(std::move(members[shape.order[k]].second));
        a.settle(*value);
    }
    members_.erase(members_.begin() + static_cast<std::ptrdiff_t>(mark), members_.end());
    auto* node = new (a.allocateArray<ArenaDictionary>(1)) ArenaDictionary;
    node->arena = &a;
    node->count = shape.count;
    node->shape = &shape;
    node->values = values;
    return a.dictionaryValue(node);
}

std::size_t ValueBuilder::inlineCapacity()
{
    static const std::size_t capacity = std::string().capacity();
    return capacity;
}

void ValueBuilder::settle(Value& v)
{
    arena().settle(v);
}

Value* ValueBuilder::slots(std::size_t count)
{
    return arena().allocateArray<Value>(count);
}

void ValueBuilder::placeArray(Value* slot, Value* items, std::size_t count)
{
    Arena& a = arena();
    auto* node = new (a.allocateArray<ArenaArray>(1)) ArenaArray;
    node->arena = &a;
    node->count = static_cast<std::uint32_t>(count);
    node->items = items;
    new (slot) Value;
    slot->storage_.emplace<Value::ArenaArrayRef>(node, nullptr);
}

const Shape& ValueBuilder::shapeOf(std::span<const std::string_view> keys)
{
    return shapeOf([keys](std::size_t k) { return keys[k]; }, keys.size());
}

std::size_t ValueBuilder::shapeCount(const Shape& shape)
{
    return shape.count;
}

std::size_t ValueBuilder::shapeSlot(const Shape& shape, std::size_t k)
{
    return shape.slotOf[k] == UINT32_MAX ? kDropped : shape.slotOf[k];
}

void ValueBuilder::placeDictionary(Value* slot, const Shape& shape, Value* values)
{
    Arena& a = arena();
    auto* node = new (a.allocateArray<ArenaDictionary>(1)) ArenaDictionary;
    node->arena = &a;
    node->count = shape.count;
    node->shape = &shape;
    node->values = values;
    new (slot) Value;
    slot->storage_.emplace<Value::ArenaDictionaryRef>(node, nullptr);
}

void ValueBuilder::clear()
{
    elements_.clear();
    members_.clear();
    std::fill(std::begin(shapes_), std::end(shapes_), nullptr);
    // An arena no document refers to any more serves the next one.
    if (arena_ && arena_.use_count() == 1) {
        // Whatever another thread did with the arena before letting go happens before this.
        std::atomic_thread_fence(std::memory_order_acquire);
        arena_->reset();
    }
    else
        arena_.reset();
}

} // namespace foundation
