// Fuzz target: the wallet app's order and authorisation result queries.
#include <cstddef>
#include <cstdint>
#include <string>

#include "services/payment/WalletSDK.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string text(reinterpret_cast<const char*>(data), size);
    (void)payment::orderResultFromQuery(text);
    (void)payment::authResultFromQuery(text);
    return 0;
}
