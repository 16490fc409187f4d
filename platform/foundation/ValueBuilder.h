// ValueBuilder: the one path by which the JSON readers build Values. A reader pushes the
// elements of an array or the members of an object as it reads them, then turns everything
// pushed since a mark into one container. The containers of a document go into one arena (see
// ValueArena.h): each is bump-allocated once at its final size, and the members of an object are
// put in key order through the key list of its shape, which objects of one shape share.
// clear() ends a document: the next container starts a new arena.
//
// A reader that knows the size of a container before its contents (a parsed DOM) skips the
// stacks: it takes the container's slots, makes each Value in its slot, and makes the container
// in a slot of its parent (see the second half of the class).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>
#include <span>
#include <string_view>
#include <type_traits>
#include <string>
#include <utility>
#include <vector>

#include "platform/foundation/Value.h"

namespace foundation {
namespace detail {
    struct Shape;
}

class ValueBuilder {
public:
    std::size_t elementMark() const { return elements_.size(); }
    std::size_t memberMark() const { return members_.size(); }
    // Each takes what a Value is made from (a string, a number, a Value) and makes the Value in
    // place on the stack.
    template <typename Item>
    void addElement(Item&& item)
    {
        elements_.emplace_back(std::forward<Item>(item));
    }
    template <typename Key, typename Item>
    void addMember(Key&& key, Item&& item)
    {
        members_.emplace_back(std::forward<Key>(key), std::forward<Item>(item));
    }

    // The array of the elements pushed since `mark`, which are taken off the stack.
    Value makeArray(std::size_t mark);
    // The dictionary of the members pushed since `mark`, which are taken off the stack. Of
    // several members with one key the last pushed wins.
    Value makeDictionary(std::size_t mark);
    // Slots for `count` Values in the arena, each to be made by one call of `place`,
    // `placeArray` or `placeDictionary`.
    Value* slots(std::size_t count);
    // Makes the Value of `item` in `slot`.
    template <typename Item>
    void place(Value* slot, Item&& item)
    {
        using Plain = std::remove_cvref_t<Item>;
        if constexpr (std::is_same_v<Plain, std::string_view>) {
            // A string made from a view holds its characters inline unless they do not fit.
            const bool large = item.size() > inlineCapacity();
            new (slot) Value(item);
            if (large)
                settle(*slot);
        } else {
            new (slot) Value(std::forward<Item>(item));
            if constexpr (!std::is_arithmetic_v<Plain>)
                settle(*slot);
        }
    }
    // The array of `count` made slots, made in `slot`.
    void placeArray(Value* slot, Value* items, std::size_t count);
    // The shape of an object with these keys, as written. Its values go into
    // slots(shapeCount(shape)), the value of written key k into slot shapeSlot(shape, k), or
    // nowhere when a later key repeats key k.
    const detail::Shape& shapeOf(std::span<const std::string_view> keys);
    static std::size_t shapeCount(const detail::Shape& shape);
    static std::size_t shapeSlot(const detail::Shape& shape, std::size_t k);
    static constexpr std::size_t kDropped = static_cast<std::size_t>(-1);
    void placeDictionary(Value* slot, const detail::Shape& shape, Value* values);
    // A Value of the document of the Value made in `slot`, fit to leave the builder.
    static Value take(const Value* slot) { return *slot; }

    // Ends the document: drops whatever a failed read left on the stacks, and lets the
    // containers made so far go with the Values that hold them.
    void clear();

private:
    static constexpr std::size_t kShapes = 33;

    detail::Arena& arena();
    void settle(Value& v);
    static std::size_t inlineCapacity();
    // The shape of the keys keyAt(0) to keyAt(count - 1): the last shape of that size when the
    // keys are the same, else a new one.
    template <typename KeyAt>
    const detail::Shape& shapeOf(KeyAt keyAt, std::size_t count);
    template <typename KeyAt>
    const detail::Shape& newShape(KeyAt keyAt, std::size_t count);

    std::vector<Value> elements_;
    ValueDictionary::Storage members_;
    std::shared_ptr<detail::Arena> arena_;
    // The shape last made for objects of each small size, and for larger objects.
    const detail::Shape* shapes_[kShapes + 1] = {};
    std::vector<std::uint32_t> order_;
};

// Where a reader hands the value it has just read (a string, a number, a Value): each makes the
// Value in place where it belongs, so a scalar is never built and then moved.
struct IntoValue {
    Value& out;
    template <typename Item>
    void operator()(Item&& item)
    {
        out = Value(std::forward<Item>(item));
    }
};

struct IntoElement {
    ValueBuilder& builder;
    template <typename Item>
    void operator()(Item&& item)
    {
        builder.addElement(std::forward<Item>(item));
    }
};

// The key is moved from when the value arrives.
template <typename Key>
struct IntoMember {
    ValueBuilder& builder;
    Key& key;
    template <typename Item>
    void operator()(Item&& item)
    {
        builder.addMember(std::move(key), std::forward<Item>(item));
    }
};

} // namespace foundation
