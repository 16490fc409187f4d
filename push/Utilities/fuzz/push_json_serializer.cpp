// Fuzz target: arbitrary JSON bytes read back as serialized objects.
#include <cstddef>
#include <cstdint>

#include "platform/persistence/NSJSONSerialization.h"
#include "push/Utilities/PUSHJSONSerializer.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    Value json = NSJSONSerialization::JSONObjectWithData(Bytes(data, data + size));
    (void)PUSHJSONSerializer::getObjectFromJSON(json);
    return 0;
}
