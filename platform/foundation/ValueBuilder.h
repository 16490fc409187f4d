// ValueBuilder: the one path by which the JSON readers build Values. A reader pushes the
// elements of an array or the members of an object as it reads them, then turns everything
// pushed since a mark into one container. The containers of a document go into one arena (see
// ValueArena.h): each is bump-allocated once at its final size, and the members of an object are
// put in key order through the key list of its shape, which objects of one shape share.
// clear() ends a document: the next container starts a new arena.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
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
    // Ends the document: drops whatever a failed read left on the stacks, and lets the
    // containers made so far go with the Values that hold them.
    void clear();

private:
    static constexpr std::size_t kShapes = 33;

    detail::Arena& arena();
    // The shape of `count` members: the last shape of that size when the keys are the same,
    // else a new one.
    const detail::Shape& shapeOf(const ValueDictionary::value_type* members, std::size_t count);
    const detail::Shape& newShape(const ValueDictionary::value_type* members, std::size_t count);

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
