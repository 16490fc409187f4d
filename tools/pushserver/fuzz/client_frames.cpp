// Fuzz target: arbitrary bytes as what a client sends the fake push server, both as a TCP
// stream cut into frames and as an address-discovery datagram. A frame never claims more bytes
// than it was given, and the body readers never run past the body.
#include <cstdint>
#include <cstdlib>

#include "tools/pushserver/DiscoveryRequest.h"
#include "tools/pushserver/ServerPackets.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::size_t used = 0;
    for (;;) {
        bool malformed = false;
        auto frame = pushserver::parseClientFrame(data + used, size - used, malformed);
        if (!frame)
            break;
        if (frame->length < pushserver::ClientFrame::kHeaderLength || frame->length > size - used)
            std::abort();
        const Bytes body = frame->body();
        std::size_t offset = 0;
        while (auto text = pushserver::readBodyString(body, offset))
            if (offset > body.size())
                std::abort();
        used += frame->length;
    }
    if (auto request = pushserver::parseDiscoveryRequest(data, size)) {
        if (request->appKey.size() > 86 || request->carrierName.size() > 31 || request->sdkVersion.size() > 36)
            std::abort();
    }
    return 0;
}
