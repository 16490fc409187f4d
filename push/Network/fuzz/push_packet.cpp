// Fuzz target: arbitrary bytes through the stream framer and the packet decoder. Whatever
// decodes must keep its exact bytes, and fields must never be read past the declared length.
#include <cstdint>
#include <cstdlib>

#include "push/Network/PUSHPacketFramer.h"
#include "push/Network/PUSHReceivedPacket.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    push::DecodeError error;
    if (auto packet = PUSHReceivedPacketController::decode(data, size, error)) {
        const Bytes& kept = packet->packetBytes();
        if (kept.size() > size || !std::equal(kept.begin(), kept.end(), data))
            std::abort();
        (void)packet->description();
    }
    (void)PUSHReceivedPacketController::expectedBufferLen(data, size);

    push::PacketFramer framer;
    const std::size_t half = size / 2;
    framer.append(data, half);
    framer.append(data + half, size - half);
    Bytes frame;
    while (framer.next(frame) == push::PacketFramer::Status::Packet)
        (void)PUSHReceivedPacketController::decode(frame.data(), frame.size(), error);
    return 0;
}
