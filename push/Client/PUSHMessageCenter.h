// Messages the push server sends over the TCP session: the message centre drops repeats and
// posts each new message to the app, the dispatcher turns a message's JSON content into the
// posted user info, and answers every ordinary message with a receipt. Messages of type 20
// carry the answer to a tags/alias request and go to that manager instead.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>

#include "platform/foundation/NSObject.h"
#include "platform/foundation/Value.h"

class PUSHMessageDispatchController;
class PUSHSessionController;

inline constexpr const char* kPUSHNetworkDidReceiveMessageNotification = "kPUSHNetworkDidReceiveMessageNotification";

class PUSHMessageCenter : public NSObject {
public:
    // The most ids remembered; the oldest is forgotten once the list holds more.
    static constexpr std::size_t kRememberedIds = 101;
    static constexpr std::uint32_t kTagAliasMessageType = 20;

    static std::shared_ptr<PUSHMessageCenter> create() { return std::make_shared<PUSHMessageCenter>(); }

    // Posts the message once per id; false when it was a repeat (nothing posted).
    bool dispatchMessage(const PUSHMessageDispatchController& message);
    const std::deque<std::uint64_t>& receivedMsgIds() const { return receivedMsgIds_; }

    std::string className() const override { return "PUSHMessageCenter"; }

private:
    std::deque<std::uint64_t> receivedMsgIds_;
};

namespace push_client {

// The user info posted with a message: none for a tags/alias answer or content without
// "message".
Value getDispatchMessageUserInfo(const PUSHMessageDispatchController& message);
// Builds the user info from a parsed message dictionary; none without "message".
Value getPUSHMessageFromInfo(const Value& info);

// What the client does with a message from the session: tags/alias answers go to `tagAlias`,
// others are dispatched through `center` and acknowledged with a receipt sent on `session`
// (signed with the device uid).
void handleReceivedMessage(const std::shared_ptr<PUSHMessageDispatchController>& message, PUSHMessageCenter& center,
    const std::shared_ptr<PUSHSessionController>& session, std::uint64_t deviceUid,
    const std::function<void(const std::string&)>& tagAlias);

} // namespace push_client
