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
bool keyLess(const std::string& a, const std::string& b)
{
    if (!a.empty() && !b.empty() && a[0] != b[0])
        return static_cast<unsigned char>(a[0]) < static_cast<unsigned char>(b[0]);
    return a < b;
}

// Stable: of equal keys the one pushed first stays first.
void sortPositions(const Member* members, std::vector<std::uint32_t>& order)
{
    auto byKey = [members](std::uint32_t a, std::uint32_t b) { return keyLess(members[a].first, members[b].first); };
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

bool sameKeys(const Shape& shape, const Member* members, std::size_t count)
{
    if (shape.written != count)
        return false;
    for (std::size_t k = 0; k < count; ++k) {
        if (std::string_view(members[k].first) != shape.writtenKeys[k])
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

const Shape& ValueBuilder::newShape(const Member* members, std::size_t count)
{
    Arena& a = arena();
    order_.resize(count);
    std::iota(order_.begin(), order_.end(), 0u);
    sortPositions(members, order_);
    // Of a run of equal keys the last pushed stands last in the stable order: keep that one.
    std::size_t kept = 0;
    for (std::size_t k = 0; k < count; ++k) {
        if (k + 1 < count && members[order_[k]].first == members[order_[k + 1]].first)
            continue;
        order_[kept++] = order_[k];
    }
    auto* written = a.allocateArray<std::string_view>(count);
    for (std::size_t k = 0; k < count; ++k)
        written[k] = a.copyString(members[k].first);
    auto* keys = a.allocateArray<std::string_view>(kept);
    auto* order = a.allocateArray<std::uint32_t>(kept);
    for (std::size_t k = 0; k < kept; ++k) {
        order[k] = order_[k];
        keys[k] = written[order_[k]];
    }
    auto* shape = new (a.allocateArray<Shape>(1)) Shape;
    shape->count = static_cast<std::uint32_t>(kept);
    shape->written = static_cast<std::uint32_t>(count);
    shape->keys = keys;
    shape->writtenKeys = written;
    shape->order = order;
    return *shape;
}

const Shape& ValueBuilder::shapeOf(const Member* members, std::size_t count)
{
    // Objects of one shape (records of a list) repeat their keys: the shape last made for
    // objects of this size is tried first, which costs one pass over the keys.
    const Shape*& last = shapes_[std::min(count, kShapes)];
    if (!last || !sameKeys(*last, members, count))
        last = &newShape(members, count);
    return *last;
}

Value ValueBuilder::makeDictionary(std::size_t mark)
{
    Arena& a = arena();
    Member* members = members_.data() + mark;
    const std::size_t count = members_.size() - mark;
    const Shape& shape = shapeOf(members, count);
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
