// Parsing of received packets and the choice of class by command.
#include "push/Network/PUSHReceivedPacket.h"

#include "platform/foundation/Format.h"
#include "push/Network/PUSHPacketReader.h"
#include "push/Network/PUSHSessionLink.h"
#include "push/Utilities/PUSHLog.h"

namespace {

template <class T>
std::shared_ptr<T> make()
{
    struct Made : T {};
    return std::make_shared<Made>();
}

std::uint16_t declaredLength(const std::uint8_t* buffer) { return static_cast<std::uint16_t>(buffer[0] << 8 | buffer[1]); }

std::shared_ptr<PUSHReceivedPacketController> packetForCommand(std::uint8_t command)
{
    switch (command) {
    case 0:
        return make<PUSHRegistrationResponse>();
    case 1:
        return make<PUSHLoginResponse>();
    case 3:
        return make<PUSHMessageDispatchController>();
    case 13:
        return make<PUSHDeviceTokenReportResponse>();
    case 19:
        return make<PUSHAck>();
    default:
        return nullptr;
    }
}

} // namespace

std::size_t PUSHReceivedPacketController::expectedBufferLen(const std::uint8_t* buffer, std::size_t length)
{
    if (length < 6)
        return 6 - length;
    const std::size_t declared = declaredLength(buffer);
    return declared > length ? declared - length : 0;
}

std::shared_ptr<PUSHReceivedPacketController> PUSHReceivedPacketController::packetWithBuffer(
    const std::uint8_t* buffer, std::size_t length)
{
    push::DecodeError error = push::DecodeError::None;
    return decode(buffer, length, error);
}

std::shared_ptr<PUSHReceivedPacketController> PUSHReceivedPacketController::decode(
    const std::uint8_t* buffer, std::size_t length, push::DecodeError& error)
{
    error = push::DecodeError::Truncated;
    if (!buffer || length < 6)
        return nullptr;
    const std::size_t declared = declaredLength(buffer);
    if (declared > length)
        return nullptr;
    // A length below the header cannot frame a packet; reading it would lose the stream.
    error = push::DecodeError::BadLength;
    if (declared < kHeaderLength)
        return nullptr;
    const std::uint8_t command = buffer[3];
    auto packet = packetForCommand(command);
    if (!packet) {
        error = command == 100 ? push::DecodeError::Ignored : push::DecodeError::UnknownCommand;
        if (command != 100)
            PUSHLogError("receive unrecognized command");
        return nullptr;
    }
    Bytes bytes(buffer, buffer + declared);
    error = push::DecodeError::Malformed;
    if (!packet->parse(bytes))
        return nullptr;
    packet->bytes_ = std::move(bytes);
    error = push::DecodeError::None;
    return packet;
}

bool PUSHReceivedPacketController::parse(const Bytes& bytes)
{
    push::PacketReader reader(bytes.data(), bytes.size(), 2);
    setVersion(reader.readUInt8());
    setProtocolType(reader.readUInt8());
    setRid(reader.readUInt64());
    setUid(reader.readUInt64());
    return !reader.overrun();
}

// Responses ---------------------------------------------------------------------------------

bool PUSHResponse::parse(const Bytes& bytes)
{
    if (!PUSHReceivedPacketController::parse(bytes))
        return false;
    push::PacketReader reader(bytes.data(), bytes.size(), kHeaderLength);
    statusCode_ = reader.readUInt16();
    // A reply cut before its status word must not read as success.
    if (reader.overrun())
        return false;
    if (statusCode_ != 0) {
        errorDescription_ = reader.readString();
        return true;
    }
    return parseBody(bytes);
}

bool PUSHRegistrationResponse::parseBody(const Bytes& bytes)
{
    push::PacketReader reader(bytes.data(), bytes.size(), kBodyOffset);
    registeredUid_ = reader.readUInt64();
    password_ = reader.readString().value_or("");
    registrationID_ = reader.readString().value_or("");
    return !reader.overrun();
}

void PUSHRegistrationResponse::handleReceipt()
{
    auto link = push::currentSessionLink();
    if (!link)
        return;
    link->onAckOrRespReceived(sharedAs<PUSHReceivedPacketController>());
    link->onRegisterRespond(sharedAs<PUSHRegistrationResponse>());
}

std::string PUSHRegistrationResponse::description() const
{
    return NSString::stringWithFormat("[PUSHRegistrationResponse] - uid:%llu, password:%@, registrationID:%@ - %@",
        registeredUid_, password_, registrationID_, PUSHNetElement::description());
}

bool PUSHLoginResponse::parseBody(const Bytes& bytes)
{
    push::PacketReader reader(bytes.data(), bytes.size(), kBodyOffset);
    sessionID_ = reader.readUInt32();
    serverVersion_ = reader.readUInt16();
    sessionKey_ = reader.readString().value_or("");
    serverTime_ = reader.readUInt32();
    return !reader.overrun();
}

void PUSHLoginResponse::handleReceipt()
{
    auto link = push::currentSessionLink();
    if (!link)
        return;
    link->onAckOrRespReceived(sharedAs<PUSHReceivedPacketController>());
    link->onLoginRespond(sharedAs<PUSHLoginResponse>());
}

std::string PUSHLoginResponse::description() const
{
    return NSString::stringWithFormat("[PUSHLoginResponse] - sid:%zd, serverVersion:%zd, serverTime:%zd, sessionKey:%@ - %@",
        static_cast<long>(sessionID_), static_cast<long>(serverVersion_), static_cast<long>(serverTime_), sessionKey_,
        PUSHNetElement::description());
}

void PUSHDeviceTokenReportResponse::handleReceipt()
{
    auto link = push::currentSessionLink();
    if (!link)
        return;
    link->onAckOrRespReceived(sharedAs<PUSHReceivedPacketController>());
    if (statusCode() != 0)
        return;
    link->onDeviceTokenUploaded();
    PUSHLogInfo("upload device token success");
}

// Acknowledgements and messages -------------------------------------------------------------

bool PUSHAck::parse(const Bytes& bytes)
{
    if (!PUSHReceivedPacketController::parse(bytes))
        return false;
    push::PacketReader reader(bytes.data(), bytes.size(), kHeaderLength);
    reqCmd_ = reader.readUInt8();
    stepCode_ = reader.readUInt8();
    statusCode_ = reader.readUInt8();
    timestamp_ = reader.readUInt64();
    return !reader.overrun();
}

void PUSHAck::handleReceipt()
{
    if (auto link = push::currentSessionLink())
        link->onAckOrRespReceived(sharedAs<PUSHReceivedPacketController>());
}

std::string PUSHAck::description() const
{
    return NSString::stringWithFormat("[PUSHAck] - requestCmd:%u, step:%u, status:%u, timestamp:%llu",
        static_cast<unsigned>(reqCmd_), static_cast<unsigned>(stepCode_), static_cast<unsigned>(statusCode_), timestamp_);
}

bool PUSHMessageDispatchController::parse(const Bytes& bytes)
{
    if (!PUSHReceivedPacketController::parse(bytes))
        return false;
    push::PacketReader reader(bytes.data(), bytes.size(), kHeaderLength);
    commandType_ = reader.readUInt8();
    uniqueID_ = reader.readUInt64();
    const std::string content = reader.readString().value_or("");
    if (reader.overrun())
        return false;
    const auto lastBreak = content.rfind('\n');
    messageContent_ = lastBreak == std::string::npos ? content : content.substr(lastBreak + 1);
    return true;
}

void PUSHMessageDispatchController::handleReceipt()
{
    if (auto link = push::currentSessionLink())
        link->onMessageReceived(sharedAs<PUSHMessageDispatchController>());
}

std::string PUSHMessageDispatchController::description() const
{
    return NSString::stringWithFormat("[PUSHMessage] - fromUid:%llu, msgType:%zd, msgId:%llu, msgContent:%@ - %@",
        recv_fromUid(), static_cast<long>(commandType_), uniqueID_, messageContent_, PUSHNetElement::description());
}
