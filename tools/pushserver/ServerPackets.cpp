// Reading client packets and building server packets for the fake push server.
#include "tools/pushserver/ServerPackets.h"

#include "push/Network/PUSHPacketWriter.h"

namespace pushserver {

namespace {

std::uint64_t readBig(const std::uint8_t* data, unsigned width)
{
    std::uint64_t value = 0;
    for (unsigned i = 0; i < width; ++i)
        value = value << 8 | data[i];
    return value;
}

// The server's packets are built unchecked: tests send over-long and odd ones on purpose.
Bytes finish(push::PacketWriter& writer)
{
    Bytes bytes = writer.take();
    const std::size_t n = bytes.size();
    bytes[0] = static_cast<std::uint8_t>(n >> 8);
    bytes[1] = static_cast<std::uint8_t>(n);
    return bytes;
}

void header(push::PacketWriter& writer, std::uint8_t version, std::uint8_t command, std::uint64_t rid, std::uint64_t uid)
{
    writer.appendInt16(0);
    writer.appendInt8(version);
    writer.appendInt8(command);
    writer.appendInt64(rid);
    writer.appendInt64(uid);
}

} // namespace

std::optional<ClientFrame> parseClientFrame(const std::uint8_t* data, std::size_t length, bool& malformed)
{
    malformed = false;
    if (!data || length < 2)
        return std::nullopt;
    const std::size_t declared = static_cast<std::size_t>(readBig(data, 2));
    if (declared < ClientFrame::kHeaderLength) {
        malformed = true;
        return std::nullopt;
    }
    if (declared > length)
        return std::nullopt;
    ClientFrame frame;
    frame.length = static_cast<std::uint16_t>(declared);
    frame.version = data[2];
    frame.command = data[3];
    frame.rid = readBig(data + 4, 8);
    frame.sid = static_cast<std::uint32_t>(readBig(data + 12, 4));
    frame.uid = readBig(data + 16, 8);
    frame.bytes.assign(data, data + declared);
    return frame;
}

std::optional<std::string> readBodyString(const Bytes& body, std::size_t& offset)
{
    if (offset > body.size() || body.size() - offset < 2)
        return std::nullopt;
    const std::size_t count = static_cast<std::size_t>(readBig(body.data() + offset, 2));
    if (body.size() - offset - 2 < count)
        return std::nullopt;
    std::string text(body.begin() + static_cast<std::ptrdiff_t>(offset + 2),
        body.begin() + static_cast<std::ptrdiff_t>(offset + 2 + count));
    offset += 2 + count;
    return text;
}

namespace packets {

Bytes raw(std::uint8_t version, std::uint8_t command, std::uint64_t rid, std::uint64_t uid, const Bytes& body)
{
    push::PacketWriter writer(20 + body.size());
    header(writer, version, command, rid, uid);
    writer.appendBytes(body.data(), body.size());
    return finish(writer);
}

Bytes registrationReply(std::uint64_t rid, std::uint16_t status, std::uint64_t uid, const std::string& password,
    const std::string& registrationID, const std::string& error)
{
    push::PacketWriter writer;
    header(writer, 1, 0, rid, uid);
    writer.appendInt16(status);
    if (status != 0) {
        writer.appendString(error);
        return finish(writer);
    }
    writer.appendInt64(uid);
    writer.appendString(password);
    writer.appendString(registrationID);
    return finish(writer);
}

Bytes loginReply(std::uint64_t rid, std::uint64_t uid, std::uint16_t status, std::uint32_t sessionID,
    std::uint16_t serverVersion, const std::string& sessionKey, std::uint32_t serverTime, const std::string& error)
{
    push::PacketWriter writer;
    header(writer, 1, 1, rid, uid);
    writer.appendInt16(status);
    if (status != 0) {
        writer.appendString(error);
        return finish(writer);
    }
    writer.appendInt32(sessionID);
    writer.appendInt16(serverVersion);
    writer.appendString(sessionKey);
    writer.appendInt32(serverTime);
    return finish(writer);
}

Bytes deviceTokenReply(std::uint64_t rid, std::uint64_t uid, std::uint16_t status, const std::string& error)
{
    push::PacketWriter writer;
    header(writer, 1, 13, rid, uid);
    writer.appendInt16(status);
    if (status != 0)
        writer.appendString(error);
    return finish(writer);
}

Bytes ack(std::uint64_t rid, std::uint64_t uid, std::uint8_t requestCommand, std::uint8_t step, std::uint8_t status,
    std::uint64_t timestamp)
{
    push::PacketWriter writer;
    header(writer, 1, 19, rid, uid);
    writer.appendInt8(requestCommand);
    writer.appendInt8(step);
    writer.appendInt8(status);
    writer.appendInt64(timestamp);
    return finish(writer);
}

Bytes message(std::uint8_t version, std::uint64_t rid, std::uint64_t uid, std::uint8_t type, std::uint64_t messageID,
    const std::string& content)
{
    push::PacketWriter writer(64 + content.size());
    header(writer, version, 3, rid, uid);
    writer.appendInt8(type);
    writer.appendInt64(messageID);
    writer.appendString(content);
    return finish(writer);
}

} // namespace packets
} // namespace pushserver
