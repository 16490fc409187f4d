// Report-item equality and hashing that ignore "itime", and the removing keyed assignment.
#include "push/Storage/PUSHDictionary.h"

#include <functional>

namespace push {

namespace {

std::size_t combine(std::size_t seed, std::size_t value) { return seed ^ (value + 0x9e3779b97f4a7c15ull + (seed << 6) + (seed >> 2)); }

bool dictionariesEqual(const ValueDictionary& a, const ValueDictionary& b)
{
    // Both are sorted by key: walk them together, stepping over "itime" on either side.
    auto left = a.begin(), right = b.begin();
    for (;;) {
        if (left != a.end() && left->first == kItemTimeKey)
            ++left;
        if (right != b.end() && right->first == kItemTimeKey)
            ++right;
        if (left == a.end() || right == b.end())
            return left == a.end() && right == b.end();
        if (left->first != right->first || !reportEqual(left->second, right->second))
            return false;
        ++left;
        ++right;
    }
}

bool arraysEqual(const Value::Array& a, const Value::Array& b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (!reportEqual(a[i], b[i]))
            return false;
    }
    return true;
}

} // namespace

void setObjectForKeyedSubscript(Value& dictionary, std::string key, const Value& value)
{
    if (value.isAbsent()) {
        dictionary.remove(key);
        return;
    }
    dictionary.set(std::move(key), value);
}

bool reportEqual(const Value& a, const Value& b)
{
    if (a.isDictionary() && b.isDictionary())
        return dictionariesEqual(a.asDictionary(), b.asDictionary());
    if (a.isDictionary() || b.isDictionary())
        return false;
    if (a.isArray() && b.isArray())
        return arraysEqual(a.asArray(), b.asArray());
    return a == b;
}

std::size_t reportHash(const Value& value)
{
    if (value.isDictionary()) {
        std::size_t seed = 0x64696374;
        for (const auto& [key, entry] : value.asDictionary()) {
            if (key == kItemTimeKey)
                continue;
            seed = combine(seed, std::hash<std::string> {}(key));
            seed = combine(seed, reportHash(entry));
        }
        return seed;
    }
    if (value.isArray()) {
        std::size_t seed = 0x61727261;
        for (const auto& element : value.asArray())
            seed = combine(seed, reportHash(element));
        return seed;
    }
    return value.hash();
}

} // namespace push
