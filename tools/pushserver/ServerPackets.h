// The packets of the fake push server: reading what the client sends (24-byte header and body)
// and building what the server sends (20-byte header, then a status word or an acknowledgement
// or a message body), with the client's own packet writer.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "platform/foundation/Value.h"

namespace pushserver {

// One packet the client sent, as received.
struct ClientFrame {
    std::uint16_t length = 0;
    std::uint8_t version = 0;
    std::uint8_t command = 0;
    std::uint64_t rid = 0;
    std::uint32_t sid = 0;
    std::uint64_t uid = 0;
    Bytes bytes; // the whole packet, header included

    static constexpr std::size_t kHeaderLength = 24;
    Bytes body() const { return Bytes(bytes.begin() + kHeaderLength, bytes.end()); }
};

// The frame at the start of `data`: none when fewer bytes than its length are held, or when
// the length is below the 24-byte header (`malformed` is then set).
std::optional<ClientFrame> parseClientFrame(const std::uint8_t* data, std::size_t length, bool& malformed);

// Strings of a client body (u16 count and bytes) read from `offset`; none past the end.
std::optional<std::string> readBodyString(const Bytes& body, std::size_t& offset);

namespace packets {

// Any packet: the 20-byte header and `body`; the length is written last.
Bytes raw(std::uint8_t version, std::uint8_t command, std::uint64_t rid, std::uint64_t uid, const Bytes& body);
Bytes registrationReply(std::uint64_t rid, std::uint16_t status, std::uint64_t uid, const std::string& password,
    const std::string& registrationID, const std::string& error = "registration refused");
Bytes loginReply(std::uint64_t rid, std::uint64_t uid, std::uint16_t status, std::uint32_t sessionID,
    std::uint16_t serverVersion, const std::string& sessionKey, std::uint32_t serverTime,
    const std::string& error = "login refused");
Bytes deviceTokenReply(std::uint64_t rid, std::uint64_t uid, std::uint16_t status, const std::string& error = "token refused");
Bytes ack(std::uint64_t rid, std::uint64_t uid, std::uint8_t requestCommand, std::uint8_t step, std::uint8_t status,
    std::uint64_t timestamp);
Bytes message(std::uint8_t version, std::uint64_t rid, std::uint64_t uid, std::uint8_t type, std::uint64_t messageID,
    const std::string& content);

} // namespace packets
} // namespace pushserver
