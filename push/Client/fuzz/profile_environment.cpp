// Fuzz target: arbitrary bytes as a provisioning profile and as server address text. The
// environment is always one of its values, and any address taken has a non-zero port.
#include <cstdint>
#include <cstdlib>

#include "push/Client/PUSHAddressParsing.h"
#include "push/Client/PUSHClientController.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string text(data, data + size);
    const std::int32_t environment = push_client::apsEnvironmentInProfileText(text);
    if (environment != 1 && environment != 2 && environment != -3 && environment != -4)
        std::abort();
    if (auto address = push_client::addressWithString(text, text)) {
        if (address->port == 0 || !push_client::addressWithString(push_client::absoluteString(*address)))
            std::abort();
    }
    (void)push_client::analyseResourcePath(text);
    return 0;
}
