// The requests the session sends: registration, login, heartbeat, device-token report and
// tags/alias. Their bodies are built from the values the caller sets before packing.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "push/Network/PUSHRequest.h"

// Sent as the login's client version: the SDK version digits read as hexadecimal.
inline constexpr std::uint32_t PUSHSDKVersionCodeValue = 0x00020100;

class PUSHRegistrationRequest : public PUSHRequest {
public:
    static std::shared_ptr<PUSHRegistrationRequest> create();

    struct Info {
        std::string openUdid, bundleIdentifier, appKey, bundleVersion;
        std::string systemVersion, modelName, pushChanel, sdkVersionText;
        std::string deviceToken; // empty sends " "
        std::uint8_t configApsEnvironment = 0;
        std::uint8_t apsEnvironment = 0;
    };
    Info info;

    std::string responseClass() const override { return "PUSHRegistrationResponse"; }
    std::shared_ptr<PUSHRequest> copy() const override;
    std::string description() const override;
    std::string className() const override { return "PUSHRegistrationRequest"; }

protected:
    PUSHRegistrationRequest();
    bool packData(push::PacketWriter& writer) override;
};

class PUSHLoginRequest : public PUSHRequest {
public:
    static std::shared_ptr<PUSHLoginRequest> create();

    // MD5 of the persisted password as 32 lowercase hex digits (never the password itself).
    std::string passwordMD5Hex;
    std::string appKey;

    std::string responseClass() const override { return "PUSHLoginResponse"; }
    std::shared_ptr<PUSHRequest> copy() const override;
    std::string description() const override;
    std::string className() const override { return "PUSHLoginRequest"; }

protected:
    PUSHLoginRequest();
    bool packData(push::PacketWriter& writer) override;
};

class PUSHHeartbeatRequest : public PUSHRequest {
public:
    static std::shared_ptr<PUSHHeartbeatRequest> create();
    std::shared_ptr<PUSHRequest> copy() const override;
    std::string description() const override;
    std::string className() const override { return "PUSHHeartbeatRequest"; }

protected:
    PUSHHeartbeatRequest();
};

class PUSHDeviceTokenReportRequest : public PUSHRequest {
public:
    static std::shared_ptr<PUSHDeviceTokenReportRequest> create();

    std::string deviceToken;
    std::uint8_t configApsEnvironment = 0;
    std::uint8_t apsEnvironment = 0;

    std::string responseClass() const override { return "PUSHDeviceTokenReportResponse"; }
    std::shared_ptr<PUSHRequest> copy() const override;
    std::string className() const override { return "PUSHDeviceTokenReportRequest"; }

protected:
    PUSHDeviceTokenReportRequest();
    bool packData(push::PacketWriter& writer) override;
};

inline constexpr const char* kPUSHSetTagAliasTagsKey = "PUSH_setTagAlias_tags";
inline constexpr const char* kPUSHSetTagAliasAliasKey = "PUSH_setTagAlias_alias";
inline constexpr const char* kPUSHSetTagAliasTypeKey = "PUSH_setTagAlias_type";

class PUSHSetTagAlias : public PUSHRequest {
public:
    // Told (rid, code) when the request cannot be sent; the tags/alias manager answers 6008.
    using FailureHandler = std::function<void(std::uint64_t rid, int code)>;
    static constexpr int kTooLongCode = 6008;

    static std::shared_ptr<PUSHSetTagAlias> create();

    std::string appKey;
    std::optional<std::vector<std::string>> tags;
    std::optional<std::string> alias;
    std::uint64_t type = 0; // kept for the caller, not sent
    FailureHandler onFailure;

    bool isEqualToRequest(const PUSHRequest& other) const override;
    std::shared_ptr<PUSHRequest> copy() const override;
    std::string className() const override { return "PUSHSetTagAlias"; }
    // The request's fields with its tags (an array of strings, absent when none), alias and
    // type; the app key and the failure handler belong to the running client and are not kept.
    void encodeWithCoder(NSCoder& coder) const override;
    bool initWithCoder(NSCoder& coder) override;

protected:
    PUSHSetTagAlias();
    bool packData(push::PacketWriter& writer) override;
};

// An answer to a received packet: its version and rid, its command plus one.
class PUSHReceipt : public PUSHRequest {
    friend class PUSHMessageReceipt;

public:
    std::uint16_t statusCode() const { return statusCode_; }
    // The device uid; not sent.
    std::uint64_t toUid() const { return toUid_; }
    std::string description() const override;
    std::string className() const override { return "PUSHReceipt"; }

protected:
    PUSHReceipt() = default;
    void answer(const PUSHNetElement& packet, std::uint64_t deviceUid);
    bool packData(push::PacketWriter& writer) override;

private:
    std::uint16_t statusCode_ = 0;
    std::uint64_t toUid_ = 0;
};

class PUSHMessageReceipt : public PUSHReceipt {
public:
    // initWithMessageDispatch: — the receipt of a message (type, id) received as `packet`.
    static std::shared_ptr<PUSHMessageReceipt> create(
        const PUSHNetElement& packet, std::uint8_t messageType, std::uint64_t messageID, std::uint64_t deviceUid);

    std::uint8_t messageType() const { return messageType_; }
    std::uint64_t messageID() const { return messageID_; }
    std::shared_ptr<PUSHRequest> copy() const override;
    std::string description() const override;
    std::string className() const override { return "PUSHMessageReceipt"; }

protected:
    PUSHMessageReceipt() = default;
    bool packData(push::PacketWriter& writer) override;

private:
    std::uint8_t messageType_ = 0;
    std::uint64_t messageID_ = 0;
};

namespace push {
// Registers the archivable requests with the keyed archiver (once; later calls do nothing).
void registerArchivableRequests();
} // namespace push
