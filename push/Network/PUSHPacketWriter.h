// Writes push packets: big-endian integers, strings and data blocks as a u16 byte count and
// the bytes, and the total length into the first two bytes once the packet is complete.
#pragma once

#include <cstdint>
#include <string_view>

#include "platform/foundation/Value.h"

namespace push {

// Largest packet the push server takes; a finished packet must be shorter than this.
inline constexpr std::size_t kPacketLengthLimit = 7168;

class PacketWriter {
public:
    explicit PacketWriter(std::size_t capacity = 128) { bytes_.reserve(capacity); }

    void appendInt8(std::uint8_t value);
    void appendInt16(std::uint16_t value);
    void appendInt32(std::uint32_t value);
    void appendInt64(std::uint64_t value);
    // A count above 65535 cannot be framed: nothing is appended and the packet is spoilt, so
    // setPacketLen refuses it.
    void appendString(std::string_view text);
    void appendDataWithLength(const Bytes& data);
    void appendBytes(const std::uint8_t* data, std::size_t length);

    // Writes the length into bytes 0-1; false (with a log line) for a packet that cannot be sent.
    bool setPacketLen();

    const Bytes& bytes() const { return bytes_; }
    Bytes take() { return std::move(bytes_); }
    std::size_t size() const { return bytes_.size(); }
    bool spoilt() const { return spoilt_; }

private:
    Bytes bytes_;
    bool spoilt_ = false;
};

} // namespace push
