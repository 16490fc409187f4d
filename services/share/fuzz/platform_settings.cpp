// Fuzz target: the share server's platform-settings reply.
#include <cstddef>
#include <cstdint>

#include "services/share/SHSocialData.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    (void)share::mergePlatformSettingsReply(Bytes(data, data + size));
    return 0;
}
