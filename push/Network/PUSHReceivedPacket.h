// Packets received from the push server: the 20-byte header, responses with a status word,
// acknowledgements and server messages, and the choice of class by the command byte.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "push/Network/PUSHNetElement.h"

namespace push {

// Why bytes did not become a packet. A packet shorter than its fields is no error: the fields
// past its end read as 0 and missing strings.
enum class DecodeError {
    None,
    Truncated,        // fewer than 6 bytes, or fewer than the declared length
    UnknownCommand,   // logged "receive unrecognized command"
    Ignored,          // command 100, dropped silently
};

} // namespace push

class PUSHReceivedPacketController : public PUSHNetElement {
public:
    static constexpr std::size_t kHeaderLength = 20;

    // Bytes still missing before a packet can be parsed from `length` held bytes.
    static std::size_t expectedBufferLen(const std::uint8_t* buffer, std::size_t length);
    // The packet at the start of the buffer, or nothing (see decode for the reason).
    static std::shared_ptr<PUSHReceivedPacketController> packetWithBuffer(const std::uint8_t* buffer, std::size_t length);
    static std::shared_ptr<PUSHReceivedPacketController> decode(
        const std::uint8_t* buffer, std::size_t length, push::DecodeError& error);

    // Tells the current session what arrived (base: nothing).
    virtual void handleReceipt() {}
    // The bytes this packet came from, length as declared (kept for re-encoding checks).
    const Bytes& packetBytes() const { return bytes_; }
    std::string className() const override { return "PUSHReceivedPacketController"; }

protected:
    PUSHReceivedPacketController() = default;
    // Reads the header from byte 2; fields past the end read as 0.
    virtual void parse(const Bytes& bytes);

private:
    Bytes bytes_;
};

class PUSHResponse : public PUSHReceivedPacketController {
public:
    std::uint16_t statusCode() const { return statusCode_; }
    const std::optional<std::string>& errorDescription() const { return errorDescription_; }
    std::string className() const override { return "PUSHResponse"; }

protected:
    static constexpr std::uint16_t kBodyOffset = 22;
    void parse(const Bytes& bytes) override;
    // Reads the body at byte 22; called only for status 0.
    virtual void parseBody(const Bytes&) {}

private:
    std::uint16_t statusCode_ = 0;
    std::optional<std::string> errorDescription_;
};

class PUSHRegistrationResponse : public PUSHResponse {
public:
    std::uint64_t registeredUid() const { return registeredUid_; }
    const std::string& password() const { return password_; }
    const std::string& registrationID() const { return registrationID_; }
    void handleReceipt() override;
    std::string description() const override;
    std::string className() const override { return "PUSHRegistrationResponse"; }

protected:
    void parseBody(const Bytes& bytes) override;

private:
    std::uint64_t registeredUid_ = 0;
    std::string password_;
    std::string registrationID_;
};

class PUSHLoginResponse : public PUSHResponse {
public:
    std::uint32_t sessionID() const { return sessionID_; }
    std::uint16_t serverVersion() const { return serverVersion_; }
    const std::string& sessionKey() const { return sessionKey_; }
    std::uint32_t serverTime() const { return serverTime_; }
    void handleReceipt() override;
    std::string description() const override;
    std::string className() const override { return "PUSHLoginResponse"; }

protected:
    void parseBody(const Bytes& bytes) override;

private:
    std::uint32_t sessionID_ = 0;
    std::uint16_t serverVersion_ = 0;
    std::string sessionKey_;
    std::uint32_t serverTime_ = 0;
};

class PUSHDeviceTokenReportResponse : public PUSHResponse {
public:
    void handleReceipt() override;
    std::string className() const override { return "PUSHDeviceTokenReportResponse"; }
};

class PUSHAck : public PUSHReceivedPacketController {
public:
    std::uint8_t reqCmd() const { return reqCmd_; }
    std::uint8_t stepCode() const { return stepCode_; }
    std::uint8_t statusCode() const { return statusCode_; }
    std::uint64_t timestamp() const { return timestamp_; }
    void handleReceipt() override;
    std::string description() const override;
    std::string className() const override { return "PUSHAck"; }

protected:
    void parse(const Bytes& bytes) override;

private:
    std::uint8_t reqCmd_ = 0;
    std::uint8_t stepCode_ = 0;
    std::uint8_t statusCode_ = 0;
    std::uint64_t timestamp_ = 0;
};

// A message pushed by the server (command 3). Dispatch and the receipt belong to the session.
class PUSHMessageDispatchController : public PUSHReceivedPacketController {
public:
    std::uint32_t recv_commandType() const { return commandType_; }
    std::uint64_t recv_uniqueID() const { return uniqueID_; }
    // The last line of the content ("" for empty content).
    const std::string& recv_messageContent() const { return messageContent_; }
    std::uint64_t recv_fromUid() const { return 0; }
    void handleReceipt() override;
    std::string description() const override;
    std::string className() const override { return "PUSHMessageDispatchController"; }

protected:
    void parse(const Bytes& bytes) override;

private:
    std::uint32_t commandType_ = 0;
    std::uint64_t uniqueID_ = 0;
    std::string messageContent_;
};
