// Fuzz target: JSON reading, with and without fragments; what reads must write and read back.
#include <cstddef>
#include <cstdint>

#include "platform/persistence/NSJSONSerialization.h"

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
    auto written = NSJSONSerialization::dataWithJSONObject(value);
    if (!written || !(NSJSONSerialization::JSONObjectWithData(*written) == value))
        __builtin_trap();
    return 0;
}
