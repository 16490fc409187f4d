// Fuzz target: the messenger's app-to-app data from the pasteboard, and return-URL queries.
#include <cstddef>
#include <cstdint>
#include <string>

#include "services/messenger/MGAppData.h"
#include "services/messenger/MGQuery.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string text(reinterpret_cast<const char*>(data), size);
    (void)messenger::readAppData(text, "mg5a1c9e0b7d3f2461");
    (void)messenger::queryPairs(text);
    return 0;
}
