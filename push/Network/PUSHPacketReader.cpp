// Bounded big-endian field reader for received packets.
#include "push/Network/PUSHPacketReader.h"

#include "platform/foundation/Utf8.h"

namespace push {

bool PacketReader::advance(std::size_t width, std::size_t& start)
{
    start = cursor_;
    const std::size_t end = start + width;
    // The cursor is 16 bits wide; a field ending past 65535 wraps it and is never readable.
    cursor_ = static_cast<std::uint16_t>(end);
    if (end > 0xFFFF || end > length_) {
        overrun_ = true;
        return false;
    }
    return true;
}

std::uint64_t PacketReader::readBig(unsigned width)
{
    std::size_t start = 0;
    if (!advance(width, start))
        return 0;
    std::uint64_t value = 0;
    for (unsigned i = 0; i < width; ++i)
        value = (value << 8) | data_[start + i];
    return value;
}

std::optional<std::string> PacketReader::readString()
{
    const bool before = overrun_;
    const std::uint16_t count = readUInt16();
    if (overrun_ && !before)
        return std::nullopt;
    std::size_t start = 0;
    if (!advance(count, start))
        return std::nullopt;
    if (count == 0)
        return std::string();
    std::string text(reinterpret_cast<const char*>(data_ + start), count);
    if (auto nul = text.find('\0'); nul != std::string::npos)
        text.resize(nul);
    if (!foundation::utf8::isValid(text))
        return std::nullopt;
    return text;
}

} // namespace push
