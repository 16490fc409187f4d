// Stream reassembly of received packets.
#include "push/Network/PUSHPacketFramer.h"

namespace push {

void PacketFramer::append(const std::uint8_t* data, std::size_t length)
{
    // Drop consumed bytes only when they dominate, so a burst of small packets stays linear.
    if (offset_ && offset_ >= buffer_.size() / 2) {
        buffer_.erase(buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(offset_));
        offset_ = 0;
    }
    if (length)
        buffer_.insert(buffer_.end(), data, data + length);
}

PacketFramer::Status PacketFramer::next(Bytes& packet)
{
    if (pending() < 2)
        return Status::NeedMore;
    const std::uint8_t* head = buffer_.data() + offset_;
    const std::size_t declared = static_cast<std::size_t>(head[0] << 8 | head[1]);
    if (declared == 0)
        return Status::BadLength;
    if (pending() < declared)
        return Status::NeedMore;
    packet.assign(head, head + declared);
    offset_ += declared;
    return Status::Packet;
}

void PacketFramer::reset()
{
    buffer_.clear();
    offset_ = 0;
}

} // namespace push
