// Fuzz target: property-list reading (XML and binary); what reads must write again.
#include <cstddef>
#include <cstdint>

#include "platform/persistence/NSPropertyListSerialization.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    NSErrorRef error;
    Value value = NSPropertyListSerialization::propertyListWithData(Bytes(data, data + size), 0, nullptr, &error);
    if (value.isAbsent()) {
        if (!error)
            __builtin_trap();
        return 0;
    }
    NSPropertyListSerialization::dataWithPropertyList(value, NSPropertyListBinaryFormat_v1_0);
    NSPropertyListSerialization::dataWithPropertyList(value, NSPropertyListXMLFormat_v1_0);
    return 0;
}
