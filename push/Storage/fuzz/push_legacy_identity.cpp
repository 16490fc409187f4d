// Feeds arbitrary bytes to the reading of the older identity file: a property list whose
// dictionary is brought into the current shape. Nothing may crash, and a result is always a
// dictionary holding a text application key.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "platform/persistence/NSPropertyListSerialization.h"
#include "push/Storage/PUSHUserDefaultsController.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const Value plist = NSPropertyListSerialization::propertyListWithData(Bytes(data, data + size));
    const Value converted = PUSHUserDefaultsController::transFromOldUserDefaults(plist);
    if (converted.isAbsent())
        return 0;
    if (!converted.isDictionary() || !converted[kAPPKEY].isString())
        std::abort();
    return 0;
}
