// ValueBuilder: the one path by which the JSON readers build Values. A reader pushes the
// elements of an array or the members of an object as it reads them, then turns everything
// pushed since a mark into one container. The stacks live as long as the builder, so a whole
// document reuses them: each container is allocated once at its final size, and the members of
// an object are put in key order by sorting their positions, moving each member only once.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "platform/foundation/Value.h"

namespace foundation {

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
    // Drops whatever a failed read left on the stacks.
    void clear();

private:
    static constexpr std::size_t kShapes = 33;

    // The positions of `count` members in key order; `unique` tells that no key is there twice.
    const std::vector<std::uint32_t>& orderOf(
        const ValueDictionary::value_type* members, std::size_t count, bool& unique);

    std::vector<Value> elements_;
    ValueDictionary::Storage members_;
    // The key order last found for objects of each small size, and for larger objects.
    std::vector<std::uint32_t> shapes_[kShapes];
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
