// Reading the messenger's app-to-app data into requests and responses.
#include "services/messenger/MGAppData.h"

#include "platform/foundation/Base64.h"
#include "platform/persistence/NSJSONSerialization.h"
#include "services/messenger/MGQuery.h"

namespace messenger {
namespace {

// Text fields are read as text only; any other kind counts as missing.
std::string text(const Value& entry, std::string_view key)
{
    const Value& value = entry[key];
    return value.isString() ? value.asString() : std::string();
}

std::shared_ptr<MGMediaMessage> mediaMessage(const Value& entry)
{
    auto message = MGMediaMessage::message();
    message->title = text(entry, "title");
    message->description = text(entry, "description");
    message->mediaTagName = text(entry, "mediaTagName");
    if (auto thumb = foundation::base64Decode(text(entry, "thumbData")))
        message->thumbData = std::move(*thumb);
    if (entry.contains("webpageUrl")) {
        auto page = MGWebpageObject::object();
        page->webpageUrl = text(entry, "webpageUrl");
        message->mediaObject = page;
        return message;
    }
    auto app = MGAppExtendObject::object();
    app->url = text(entry, "url");
    app->extInfo = text(entry, "extInfo");
    message->mediaObject = app;
    return message;
}

template <class Resp> std::shared_ptr<Resp> response(const Value& entry)
{
    auto resp = std::make_shared<Resp>();
    resp->errCode = resultCode(entry["result"].integerValue());
    resp->errStr = text(entry, "errStr");
    return resp;
}

} // namespace

std::optional<Message> messageForEntry(const Value& entry)
{
    if (!entry.isDictionary())
        return std::nullopt;
    switch (entry["command"].integerValue()) {
    case kCommandShowMessage: {
        auto req = std::make_shared<ShowMessageFromMGReq>();
        req->message = mediaMessage(entry);
        req->lang = text(entry, "lang");
        req->country = text(entry, "country");
        return Message(std::shared_ptr<BaseReq>(req));
    }
    case kCommandGetMessage: {
        auto req = std::make_shared<GetMessageFromMGReq>();
        req->lang = text(entry, "lang");
        req->country = text(entry, "country");
        return Message(std::shared_ptr<BaseReq>(req));
    }
    case kCommandLaunch: {
        auto req = std::make_shared<LaunchFromMGReq>();
        req->message = mediaMessage(entry);
        req->lang = text(entry, "lang");
        req->country = text(entry, "country");
        return Message(std::shared_ptr<BaseReq>(req));
    }
    case kCommandSendMessageResult:
    case kCommandSendMessageToTimelineResult:
        return Message(std::shared_ptr<BaseResp>(response<SendMessageToMGResp>(entry)));
    case kCommandAuthResult: {
        auto resp = response<SendAuthResp>(entry);
        resp->code = text(entry, "code");
        resp->state = text(entry, "state");
        resp->lang = text(entry, "lang");
        resp->country = text(entry, "country");
        return Message(std::shared_ptr<BaseResp>(resp));
    }
    default:
        return std::nullopt;
    }
}

std::optional<Message> readAppData(std::string_view text, const std::string& appId)
{
    if (appId.empty())
        return std::nullopt;
    Value data = NSJSONSerialization::JSONObjectWithData(text);
    return messageForEntry(data[appId]);
}

} // namespace messenger
