// Reads big-endian fields from a received packet. A read past the packet's length gives 0 (or
// no string) and sets `overrun`, so a caller can tell a cut packet from real zero fields.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace push {

class PacketReader {
public:
    PacketReader(const std::uint8_t* data, std::size_t length, std::uint16_t cursor = 0)
        : data_(data), length_(length), cursor_(cursor)
    {
    }

    std::uint8_t readUInt8() { return static_cast<std::uint8_t>(readBig(1)); }
    std::uint16_t readUInt16() { return static_cast<std::uint16_t>(readBig(2)); }
    std::uint32_t readUInt32() { return static_cast<std::uint32_t>(readBig(4)); }
    std::uint64_t readUInt64() { return readBig(8); }
    // u16 byte count, then exactly that many bytes: "" for a count of 0; no string when the
    // bytes run past the packet or are not UTF-8. Text after an embedded 0 byte is dropped.
    std::optional<std::string> readString();

    std::uint16_t cursor() const { return cursor_; }
    bool overrun() const { return overrun_; }

private:
    std::uint64_t readBig(unsigned width);
    // Moves the cursor on by `width`; false (and overrun) when that passes the end.
    bool advance(std::size_t width, std::size_t& start);

    const std::uint8_t* data_;
    std::size_t length_;
    std::uint16_t cursor_;
    bool overrun_ = false;
};

} // namespace push
