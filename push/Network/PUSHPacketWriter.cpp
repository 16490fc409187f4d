// Big-endian packet writer and the packet length check.
#include "push/Network/PUSHPacketWriter.h"

#include "push/Utilities/PUSHLog.h"

namespace push {

namespace {

std::string hexOf(const Bytes& bytes)
{
    static const char digits[] = "0123456789abcdef";
    std::string text = "<";
    for (std::size_t i = 0; i < bytes.size() && i < 64; ++i) {
        if (i && i % 4 == 0)
            text += ' ';
        text += digits[bytes[i] >> 4];
        text += digits[bytes[i] & 15];
    }
    if (bytes.size() > 64)
        text += " ...";
    return text + ">";
}

} // namespace

void PacketWriter::appendInt8(std::uint8_t value) { bytes_.push_back(value); }

void PacketWriter::appendInt16(std::uint16_t value)
{
    bytes_.push_back(static_cast<std::uint8_t>(value >> 8));
    bytes_.push_back(static_cast<std::uint8_t>(value));
}

void PacketWriter::appendInt32(std::uint32_t value)
{
    appendInt16(static_cast<std::uint16_t>(value >> 16));
    appendInt16(static_cast<std::uint16_t>(value));
}

void PacketWriter::appendInt64(std::uint64_t value)
{
    appendInt32(static_cast<std::uint32_t>(value >> 32));
    appendInt32(static_cast<std::uint32_t>(value));
}

void PacketWriter::appendBytes(const std::uint8_t* data, std::size_t length)
{
    if (length)
        bytes_.insert(bytes_.end(), data, data + length);
}

void PacketWriter::appendString(std::string_view text)
{
    if (text.size() > 0xFFFF) {
        spoilt_ = true;
        return;
    }
    appendInt16(static_cast<std::uint16_t>(text.size()));
    appendBytes(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
}

void PacketWriter::appendDataWithLength(const Bytes& data)
{
    appendString(std::string_view(reinterpret_cast<const char*>(data.data()), data.size()));
}

bool PacketWriter::setPacketLen()
{
    const std::size_t n = bytes_.size();
    if (spoilt_ || n >= 65536) {
        PUSHLogError("packet too long, %lu : %@", static_cast<unsigned long>(n), hexOf(bytes_));
        PUSHLogInfo("give up this request");
        return false;
    }
    if (n >= kPacketLengthLimit) {
        PUSHLogError("package length beyond limit package length");
        PUSHLogInfo("give up this request");
        return false;
    }
    if (n < 2) {
        PUSHLogError("packet too short, %lu : %@", static_cast<unsigned long>(n), hexOf(bytes_));
        return false;
    }
    bytes_[0] = static_cast<std::uint8_t>(n >> 8);
    bytes_[1] = static_cast<std::uint8_t>(n);
    return true;
}

} // namespace push
