// ValueBuilder: containers made from runs of the builder's stacks.
#include "platform/foundation/ValueBuilder.h"

#include <algorithm>
#include <functional>
#include <iterator>
#include <numeric>

namespace foundation {
namespace {

using Member = ValueDictionary::value_type;

// Byte order of keys, as the dictionary keeps them. Keys of one object mostly differ in their
// first byte, which is looked at before the general comparison.
bool keyLess(const std::string& a, const std::string& b)
{
    if (!a.empty() && !b.empty() && a[0] != b[0])
        return static_cast<unsigned char>(a[0]) < static_cast<unsigned char>(b[0]);
    return a < b;
}

// True when the members taken in `order` have strictly increasing keys: sorted, no key twice.
bool strictlyIncreasing(const Member* members, const std::uint32_t* order, std::size_t count)
{
    for (std::size_t k = 1; k < count; ++k) {
        if (!keyLess(members[order[k - 1]].first, members[order[k]].first))
            return false;
    }
    return true;
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

} // namespace

Value ValueBuilder::makeArray(std::size_t mark)
{
    auto first = elements_.begin() + static_cast<std::ptrdiff_t>(mark);
    Value array(Value::Array(std::make_move_iterator(first), std::make_move_iterator(elements_.end())));
    elements_.erase(first, elements_.end());
    return array;
}

const std::vector<std::uint32_t>& ValueBuilder::orderOf(const Member* members, std::size_t count, bool& unique)
{
    // Objects of one shape (records of a list) repeat their key order: the order found for the
    // last object of this size is tried first, which costs one pass over the keys.
    std::vector<std::uint32_t>& order = count < kShapes ? shapes_[count] : order_;
    unique = true;
    if (order.size() == count && strictlyIncreasing(members, order.data(), count))
        return order;
    order.resize(count);
    std::iota(order.begin(), order.end(), 0u);
    sortPositions(members, order);
    unique = strictlyIncreasing(members, order.data(), count);
    return order;
}

Value ValueBuilder::makeDictionary(std::size_t mark)
{
    auto first = members_.begin() + static_cast<std::ptrdiff_t>(mark);
    auto last = members_.end();
    const auto count = static_cast<std::size_t>(last - first);
    ValueDictionary::Storage entries;
    const Member* members = count ? &*first : nullptr;
    bool unique = true;
    const std::vector<std::uint32_t>& order = orderOf(members, count, unique);
    std::uint32_t k = 0;
    while (k < count && order[k] == k)
        ++k;
    if (k == count && unique) {
        // Already in order with no repeated key (documents written sorted): take the run as it is.
        entries.assign(std::make_move_iterator(first), std::make_move_iterator(last));
    } else {
        entries.reserve(count);
        for (k = 0; k < count; ++k) {
            // Of a run of equal keys the last pushed stands last in the stable order: keep that one.
            if (!unique && k + 1 < count && members[order[k]].first == members[order[k + 1]].first)
                continue;
            entries.push_back(std::move(first[order[k]]));
        }
    }
    members_.erase(first, last);
    // The entries stand in key order now, which the dictionary sees in one pass.
    return Value(ValueDictionary::fromEntries(std::move(entries)));
}

void ValueBuilder::clear()
{
    elements_.clear();
    members_.clear();
}

} // namespace foundation
