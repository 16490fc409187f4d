// Fuzz target: JSON reading, with and without fragments; what reads must write and read back,
// and the arena the reader builds must read as the same value copied into std containers.
#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>

#include "platform/persistence/NSJSONSerialization.h"

namespace {

// The same value made of std containers only.
Value rebuilt(const Value& v)
{
    if (v.isArray()) {
        Value::Array items;
        for (const Value& item : v.elements())
            items.push_back(rebuilt(item));
        return Value(std::move(items));
    }
    if (v.isDictionary()) {
        Value::Dictionary entries;
        for (auto [key, item] : v.entries())
            entries.insert_or_assign(std::string(key), rebuilt(item));
        return Value(std::move(entries));
    }
    return v;
}

void checkArena(const Value& value)
{
    Value copy = rebuilt(value);
    if (!(copy == value) || !(value == copy) || copy.hash() != value.hash() || copy.description() != value.description())
        __builtin_trap();
    if (value.isArray() && !(Value(value.asArray()) == copy))
        __builtin_trap();
    if (value.isDictionary() && !(Value(value.asDictionary()) == copy))
        __builtin_trap();
    // The first write copies; the value read stays as it was.
    Value written = value;
    written.set("\x01", 1);
    written.append(1);
    if (!(value == copy))
        __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    Bytes input(data, data + size);
    NSErrorRef error;
    Value value = NSJSONSerialization::JSONObjectWithData(input, 0, &error);
    if (value.isAbsent() != static_cast<bool>(error))
        __builtin_trap();
    NSJSONSerialization::JSONObjectWithData(input, NSJSONReadingAllowFragments);
    if (value.isAbsent())
        return 0;
    checkArena(value);
    auto written = NSJSONSerialization::dataWithJSONObject(value);
    if (!written || !(NSJSONSerialization::JSONObjectWithData(*written) == value))
        __builtin_trap();
    return 0;
}
