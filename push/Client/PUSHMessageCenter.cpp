// Message de-duplication, user info and receipts for messages pushed by the server.
#include "push/Client/PUSHMessageCenter.h"

#include <algorithm>

#include "push/Network/PUSHReceivedPacket.h"
#include "push/Network/PUSHRequests.h"
#include "push/Session/PUSHSessionController.h"
#include "push/Utilities/PUSHLog.h"
#include "push/Utilities/PUSHUtilities.h"

namespace {

Value parseJSONText(const std::string& text)
{
    return PUSHJSONObject(Bytes(text.begin(), text.end()));
}

} // namespace

bool PUSHMessageCenter::dispatchMessage(const PUSHMessageDispatchController& message)
{
    const std::uint64_t id = message.recv_uniqueID();
    if (std::find(receivedMsgIds_.begin(), receivedMsgIds_.end(), id) != receivedMsgIds_.end()) {
        PUSHLogWarn("Found repeated message, and throw it away - msgId:%@", Value(id));
        return false;
    }
    if (receivedMsgIds_.size() >= kRememberedIds)
        receivedMsgIds_.pop_front();
    receivedMsgIds_.push_back(id);
    PUSHPostNotificationWithUserInfo(
        kPUSHNetworkDidReceiveMessageNotification, push_client::getDispatchMessageUserInfo(message));
    return true;
}

namespace push_client {

Value getPUSHMessageFromInfo(const Value& info)
{
    const Value& text = info["message"];
    if (text.isNil()) {
        PUSHLogWarn("缺少自定义消息必须字段message");
        return Value();
    }
    Value userInfo = Value::dictionary({ { "content", text } });
    userInfo.set("title", info["title"]);
    userInfo.set("content_type", info["content_type"]);
    Value extras = info["extras"];
    if (extras.isString())
        extras = parseJSONText(extras.asString());
    if (extras.isDictionary())
        userInfo.set("extras", extras);
    return userInfo;
}

Value getDispatchMessageUserInfo(const PUSHMessageDispatchController& message)
{
    if (message.recv_commandType() == PUSHMessageCenter::kTagAliasMessageType)
        return Value();
    return getPUSHMessageFromInfo(parseJSONText(message.recv_messageContent()));
}

void handleReceivedMessage(const std::shared_ptr<PUSHMessageDispatchController>& message, PUSHMessageCenter& center,
    const std::shared_ptr<PUSHSessionController>& session, std::uint64_t deviceUid,
    const std::function<void(const std::string&)>& tagAlias)
{
    if (!message)
        return;
    if (message->recv_commandType() == PUSHMessageCenter::kTagAliasMessageType) {
        if (tagAlias)
            tagAlias(message->recv_messageContent());
        return;
    }
    center.dispatchMessage(*message);
    // A repeat is acknowledged again, so the server stops resending it.
    auto receipt = PUSHMessageReceipt::create(
        *message, static_cast<std::uint8_t>(message->recv_commandType()), message->recv_uniqueID(), deviceUid);
    if (session)
        session->sendRequest(receipt);
}

} // namespace push_client
