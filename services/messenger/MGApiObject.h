// The objects that travel between this app and the messenger app: the base request and response,
// their kinds, and a media message with its media objects. The app's delegate tells requests and
// responses apart by their class.
#pragma once

#include <memory>
#include <string>

#include "platform/foundation/NSObject.h"
#include "platform/foundation/Value.h"

// Result codes of a response.
enum MGErrCode : int {
    MGSuccess = 0,
    MGErrCodeCommon = -1,
    MGErrCodeUserCancel = -2,
    MGErrCodeSentFail = -3,
    MGErrCodeAuthDeny = -4,
    MGErrCodeUnsupport = -5,
};

class MGMediaObject : public NSObject {
public:
    std::string className() const override { return "MGMediaObject"; }
};

// Content an app hands over: a link to open it and its own information text.
class MGAppExtendObject final : public MGMediaObject {
public:
    static std::shared_ptr<MGAppExtendObject> object() { return std::make_shared<MGAppExtendObject>(); }
    std::string className() const override { return "MGAppExtendObject"; }
    std::string url;
    std::string extInfo;
    Bytes fileData;
};

class MGWebpageObject final : public MGMediaObject {
public:
    static std::shared_ptr<MGWebpageObject> object() { return std::make_shared<MGWebpageObject>(); }
    std::string className() const override { return "MGWebpageObject"; }
    std::string webpageUrl;
};

class MGMediaMessage final : public NSObject {
public:
    static std::shared_ptr<MGMediaMessage> message() { return std::make_shared<MGMediaMessage>(); }
    std::string className() const override { return "MGMediaMessage"; }
    std::string title;
    std::string description;
    Bytes thumbData;
    std::string mediaTagName;
    std::shared_ptr<MGMediaObject> mediaObject;
};

class BaseReq : public NSObject {
public:
    std::string className() const override { return "BaseReq"; }
    int type = 0;
    std::string openID;
};

class BaseResp : public NSObject {
public:
    std::string className() const override { return "BaseResp"; }
    std::string description() const override;
    int errCode = MGSuccess;
    std::string errStr;
    int type = 0;
};

// This app asks the messenger to send a message.
class SendMessageToMGReq final : public BaseReq {
public:
    std::string className() const override { return "SendMessageToMGReq"; }
    std::string text;
    std::shared_ptr<MGMediaMessage> message;
    bool bText = false;
    int scene = 0; // 0 chat, 1 timeline, 2 favourites
};

class SendMessageToMGResp final : public BaseResp {
public:
    std::string className() const override { return "SendMessageToMGResp"; }
};

// This app asks the user to log in through the messenger.
class SendAuthReq final : public BaseReq {
public:
    std::string className() const override { return "SendAuthReq"; }
    std::string scope;
    std::string state;
};

class SendAuthResp final : public BaseResp {
public:
    std::string className() const override { return "SendAuthResp"; }
    std::string code;
    std::string state;
    std::string lang;
    std::string country;
};

// The messenger asks this app for content to send.
class GetMessageFromMGReq final : public BaseReq {
public:
    std::string className() const override { return "GetMessageFromMGReq"; }
    std::string lang;
    std::string country;
};

// The messenger asks this app to show content.
class ShowMessageFromMGReq final : public BaseReq {
public:
    std::string className() const override { return "ShowMessageFromMGReq"; }
    std::shared_ptr<MGMediaMessage> message;
    std::string lang;
    std::string country;
};

// The messenger started this app.
class LaunchFromMGReq final : public BaseReq {
public:
    std::string className() const override { return "LaunchFromMGReq"; }
    std::shared_ptr<MGMediaMessage> message;
    std::string lang;
    std::string country;
};

// The result of a payment through the messenger.
class PayResp final : public BaseResp {
public:
    std::string className() const override { return "PayResp"; }
    std::string returnKey;
};
