// Parsing of received packets and the choice of class by command.
#include "push/Network/PUSHReceivedPacket.h"

#include "platform/foundation/Format.h"
#include "push/Network/PUSHPacketReader.h"
#include "push/Network/PUSHSDKLogLevel.h"
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
    const std::uint8_t command = buffer[3];
    auto packet = packetForCommand(command);
    if (!packet) {
        error = command == 100 ? push::DecodeError::Ignored : push::DecodeError::UnknownCommand;
        if (command != 100)
            PUSHLogError("receive unrecognized command");
        return nullptr;
    }
    // A packet shorter than its fields is read all the same: what lies past its end reads as 0
    // or a missing string. Refusing it would only make the server send it again.
    Bytes bytes(buffer, buffer + declared);
    packet->parse(bytes);
    packet->bytes_ = std::move(bytes);
    error = push::DecodeError::None;
    return packet;
}

void PUSHReceivedPacketController::parse(const Bytes& bytes)
{
    push::PacketReader reader(bytes.data(), bytes.size(), 2);
    setVersion(reader.readUInt8());
    setProtocolType(reader.readUInt8());
    setRid(reader.readUInt64());
    setUid(reader.readUInt64());
}

// Responses ---------------------------------------------------------------------------------

void PUSHResponse::parse(const Bytes& bytes)
{
    PUSHReceivedPacketController::parse(bytes);
    push::PacketReader reader(bytes.data(), bytes.size(), kHeaderLength);
    statusCode_ = reader.readUInt16();
    if (statusCode_ != 0) {
        errorDescription_ = reader.readString();
        return;
    }
    parseBody(bytes);
}

void PUSHRegistrationResponse::parseBody(const Bytes& bytes)
{
    push::PacketReader reader(bytes.data(), bytes.size(), kBodyOffset);
    registeredUid_ = reader.readUInt64();
    password_ = reader.readString().value_or("");
    registrationID_ = reader.readString().value_or("");
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

void PUSHLoginResponse::parseBody(const Bytes& bytes)
{
    push::PacketReader reader(bytes.data(), bytes.size(), kBodyOffset);
    sessionID_ = reader.readUInt32();
    serverVersion_ = reader.readUInt16();
    sessionKey_ = reader.readString().value_or("");
    serverTime_ = reader.readUInt32();
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
    const auto token = link->onDeviceTokenUploaded();
    if (push::sdkLogsDetail())
        PUSHLogDebug("upload device token success, token is : %@", token.value_or(""));
    else
        PUSHLogInfo("upload device token success");
}

// Acknowledgements and messages -------------------------------------------------------------

void PUSHAck::parse(const Bytes& bytes)
{
    PUSHReceivedPacketController::parse(bytes);
    push::PacketReader reader(bytes.data(), bytes.size(), kHeaderLength);
    reqCmd_ = reader.readUInt8();
    stepCode_ = reader.readUInt8();
    statusCode_ = reader.readUInt8();
    timestamp_ = reader.readUInt64();
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

void PUSHMessageDispatchController::parse(const Bytes& bytes)
{
    PUSHReceivedPacketController::parse(bytes);
    push::PacketReader reader(bytes.data(), bytes.size(), kHeaderLength);
    commandType_ = reader.readUInt8();
    uniqueID_ = reader.readUInt64();
    const std::string content = reader.readString().value_or("");
    const auto lastBreak = content.rfind('\n');
    messageContent_ = lastBreak == std::string::npos ? content : content.substr(lastBreak + 1);
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
