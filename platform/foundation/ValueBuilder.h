// ValueBuilder: the one path by which the JSON readers build Values. A reader pushes the
// elements of an array or the members of an object as it reads them, then turns everything
// pushed since a mark into one container. The stacks live as long as the builder, so a whole
// document reuses them: each container is allocated once at its final size, and the members of
// an object are put in key order by sorting their positions, moving each member only once.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/foundation/Value.h"

namespace foundation {

class ValueBuilder {
public:
    std::size_t elementMark() const { return elements_.size(); }
    std::size_t memberMark() const { return members_.size(); }
    void addElement(Value value) { elements_.push_back(std::move(value)); }
    void addMember(std::string key, Value value) { members_.emplace_back(std::move(key), std::move(value)); }

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

} // namespace foundation
