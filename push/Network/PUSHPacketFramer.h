// Cuts a TCP byte stream into length-framed packets, however the bytes were split on reading.
#pragma once

#include <cstdint>
#include <optional>

#include "platform/foundation/Value.h"

namespace push {

class PacketFramer {
public:
    enum class Status { NeedMore, Packet, BadLength };

    void append(const std::uint8_t* data, std::size_t length);
    // The next whole packet into `packet`. BadLength when the stream declares a packet of 0
    // bytes: the stream cannot be followed further and should be closed. Any other length,
    // however short, frames a packet.
    Status next(Bytes& packet);
    // Bytes held that are not yet a whole packet.
    std::size_t pending() const { return buffer_.size() - offset_; }
    void reset();

private:
    Bytes buffer_;
    std::size_t offset_ = 0;
};

} // namespace push
