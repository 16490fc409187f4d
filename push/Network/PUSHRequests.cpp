// Bodies of the session's requests and of receipts.
#include "push/Network/PUSHRequests.h"

#include <mutex>

#include "platform/foundation/Format.h"
#include "platform/persistence/NSJSONSerialization.h"

namespace {

template <class T>
std::shared_ptr<T> make()
{
    struct Made : T {};
    return std::make_shared<Made>();
}

} // namespace

// Registration ------------------------------------------------------------------------------

PUSHRegistrationRequest::PUSHRegistrationRequest()
{
    setVersion(8);
    setProtocolType(0);
    setControlFlag(14);
}

std::shared_ptr<PUSHRegistrationRequest> PUSHRegistrationRequest::create() { return make<PUSHRegistrationRequest>(); }

bool PUSHRegistrationRequest::packData(push::PacketWriter& writer)
{
    const Info& i = info;
    writer.appendString(NSString::stringWithFormat("%@$$ $$%@$$%@", i.openUdid, i.bundleIdentifier, i.appKey));
    writer.appendString(i.bundleVersion);
    writer.appendString(
        NSString::stringWithFormat("%@$$%@$$ $$ $$%@$$%@", i.systemVersion, i.modelName, i.pushChanel, i.sdkVersionText));
    writer.appendString(i.deviceToken.empty() ? std::string(" ") : i.deviceToken);
    writer.appendInt8(i.configApsEnvironment);
    writer.appendInt8(i.apsEnvironment);
    writer.appendInt8(1);
    return true;
}

std::shared_ptr<PUSHRequest> PUSHRegistrationRequest::copy() const
{
    auto twin = make<PUSHRegistrationRequest>();
    twin->copyRequestFrom(*this);
    twin->info = info;
    return twin;
}

std::string PUSHRegistrationRequest::description() const
{
    return NSString::stringWithFormat("[PUSHRegistrationRequest] - %@", PUSHNetElement::description());
}

// Login -------------------------------------------------------------------------------------

PUSHLoginRequest::PUSHLoginRequest()
{
    setVersion(12);
    setProtocolType(1);
    setControlFlag(14);
}

std::shared_ptr<PUSHLoginRequest> PUSHLoginRequest::create() { return make<PUSHLoginRequest>(); }

bool PUSHLoginRequest::packData(push::PacketWriter& writer)
{
    const std::uint8_t lead[4] = { 0x69, 0, 0, 0 };
    writer.appendBytes(lead, sizeof lead);
    writer.appendString(passwordMD5Hex);
    writer.appendInt32(PUSHSDKVersionCodeValue);
    writer.appendString(appKey);
    writer.appendInt8(1);
    return true;
}

std::shared_ptr<PUSHRequest> PUSHLoginRequest::copy() const
{
    auto twin = make<PUSHLoginRequest>();
    twin->copyRequestFrom(*this);
    twin->passwordMD5Hex = passwordMD5Hex;
    twin->appKey = appKey;
    return twin;
}

std::string PUSHLoginRequest::description() const
{
    return NSString::stringWithFormat("[PUSHLoginRequest] - %@", PUSHNetElement::description());
}

// Heartbeat ---------------------------------------------------------------------------------

PUSHHeartbeatRequest::PUSHHeartbeatRequest()
{
    setVersion(3);
    setProtocolType(2);
    setControlFlag(41);
}

std::shared_ptr<PUSHHeartbeatRequest> PUSHHeartbeatRequest::create() { return make<PUSHHeartbeatRequest>(); }
std::shared_ptr<PUSHRequest> PUSHHeartbeatRequest::copy() const
{
    auto twin = make<PUSHHeartbeatRequest>();
    twin->copyRequestFrom(*this);
    return twin;
}

std::string PUSHHeartbeatRequest::description() const
{
    return NSString::stringWithFormat("[PUSHHeartbeatRequest] - %@", PUSHNetElement::description());
}

// Device token ------------------------------------------------------------------------------

PUSHDeviceTokenReportRequest::PUSHDeviceTokenReportRequest()
{
    setVersion(2);
    setProtocolType(13);
    setControlFlag(21);
}

std::shared_ptr<PUSHDeviceTokenReportRequest> PUSHDeviceTokenReportRequest::create()
{
    return make<PUSHDeviceTokenReportRequest>();
}

bool PUSHDeviceTokenReportRequest::packData(push::PacketWriter& writer)
{
    writer.appendString(deviceToken);
    writer.appendInt8(configApsEnvironment);
    writer.appendInt8(apsEnvironment);
    return true;
}

std::shared_ptr<PUSHRequest> PUSHDeviceTokenReportRequest::copy() const
{
    auto twin = make<PUSHDeviceTokenReportRequest>();
    twin->copyRequestFrom(*this);
    twin->deviceToken = deviceToken;
    twin->configApsEnvironment = configApsEnvironment;
    twin->apsEnvironment = apsEnvironment;
    return twin;
}

// Tags and alias ----------------------------------------------------------------------------

PUSHSetTagAlias::PUSHSetTagAlias()
{
    setVersion(4);
    setProtocolType(10);
    setControlFlag(53);
}

std::shared_ptr<PUSHSetTagAlias> PUSHSetTagAlias::create()
{
    push::registerArchivableRequests(); // so that an archive of one can be read back
    return make<PUSHSetTagAlias>();
}

bool PUSHSetTagAlias::packData(push::PacketWriter& writer)
{
    writer.appendString(appKey);
    auto body = Value::dictionary({ { "platform", Value("i") } });
    if (tags) {
        std::string joined;
        for (std::size_t i = 0; i < tags->size(); ++i)
            joined += (i ? "," : "") + (*tags)[i];
        body.set("tags", Value(joined));
    }
    if (alias)
        body.set("alias", Value(*alias));
    writer.appendDataWithLength(NSJSONSerialization::dataWithJSONObject(body).value_or(Bytes()));
    if (writer.size() < push::kPacketLengthLimit)
        return true;
    if (onFailure)
        onFailure(rid(), kTooLongCode);
    return false;
}

void PUSHSetTagAlias::encodeWithCoder(NSCoder& coder) const
{
    PUSHRequest::encodeWithCoder(coder);
    if (tags) {
        Value array = Value::array();
        for (const auto& tag : *tags)
            array.append(Value(tag));
        coder.encodeObject(array, kPUSHSetTagAliasTagsKey);
    }
    if (alias)
        coder.encodeObject(Value(*alias), kPUSHSetTagAliasAliasKey);
    coder.encodeInteger(static_cast<std::int64_t>(type), kPUSHSetTagAliasTypeKey);
}

bool PUSHSetTagAlias::initWithCoder(NSCoder& coder)
{
    if (!PUSHRequest::initWithCoder(coder))
        return false;
    const Value archivedTags = coder.decodeObjectForKey(kPUSHSetTagAliasTagsKey);
    tags.reset();
    if (archivedTags.isArray()) {
        tags.emplace();
        for (std::size_t i = 0; i < archivedTags.count(); ++i)
            if (archivedTags[i].isString())
                tags->push_back(archivedTags[i].asString());
    }
    const Value archivedAlias = coder.decodeObjectForKey(kPUSHSetTagAliasAliasKey);
    alias = archivedAlias.isString() ? std::optional<std::string>(archivedAlias.asString()) : std::nullopt;
    type = static_cast<std::uint64_t>(coder.decodeIntegerForKey(kPUSHSetTagAliasTypeKey));
    return true;
}

void push::registerArchivableRequests()
{
    static std::once_flag once;
    std::call_once(once, [] {
        persistence::registerCodingClass<PUSHSetTagAlias>(
            "PUSHSetTagAlias", std::function<std::shared_ptr<PUSHSetTagAlias>()>([] { return PUSHSetTagAlias::create(); }));
    });
}

bool PUSHSetTagAlias::isEqualToRequest(const PUSHRequest& other) const
{
    auto* that = dynamic_cast<const PUSHSetTagAlias*>(&other);
    if (!that)
        return false;
    if (tags.has_value() == that->tags.has_value())
        return true;
    return alias.has_value() != that->alias.has_value();
}

std::shared_ptr<PUSHRequest> PUSHSetTagAlias::copy() const
{
    auto twin = make<PUSHSetTagAlias>();
    twin->copyRequestFrom(*this);
    twin->appKey = appKey;
    twin->tags = tags;
    twin->alias = alias;
    twin->type = type;
    twin->onFailure = onFailure;
    return twin;
}

// Receipts ----------------------------------------------------------------------------------

void PUSHReceipt::answer(const PUSHNetElement& packet, std::uint64_t deviceUid)
{
    setVersion(packet.version());
    setRid(packet.rid());
    setProtocolType(static_cast<std::uint8_t>(packet.protocolType() + 1));
    setControlFlag(25);
    toUid_ = deviceUid;
}

bool PUSHReceipt::packData(push::PacketWriter& writer)
{
    writer.appendInt16(statusCode_);
    return true;
}

std::string PUSHReceipt::description() const
{
    return NSString::stringWithFormat(
        "[PUSHReceipt] - status:%d, toUid:%llu - %@", static_cast<int>(statusCode_), toUid_, PUSHNetElement::description());
}

std::shared_ptr<PUSHMessageReceipt> PUSHMessageReceipt::create(
    const PUSHNetElement& packet, std::uint8_t messageType, std::uint64_t messageID, std::uint64_t deviceUid)
{
    auto receipt = make<PUSHMessageReceipt>();
    receipt->answer(packet, deviceUid);
    receipt->messageType_ = messageType;
    receipt->messageID_ = messageID;
    return receipt;
}

bool PUSHMessageReceipt::packData(push::PacketWriter& writer)
{
    PUSHReceipt::packData(writer);
    writer.appendInt8(messageType_);
    writer.appendInt64(messageID_);
    return true;
}

std::shared_ptr<PUSHRequest> PUSHMessageReceipt::copy() const
{
    auto twin = make<PUSHMessageReceipt>();
    twin->copyRequestFrom(*this);
    twin->statusCode_ = statusCode();
    twin->toUid_ = toUid();
    twin->messageType_ = messageType_;
    twin->messageID_ = messageID_;
    return twin;
}

std::string PUSHMessageReceipt::description() const
{
    return NSString::stringWithFormat("[PUSHMessageReceipt] - msgType:%d, msgId:%llu - %@",
        static_cast<int>(messageType_), messageID_, PUSHReceipt::description());
}
