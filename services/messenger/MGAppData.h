// The app-to-app data the messenger app leaves on the general pasteboard before it opens this
// app: a JSON object keyed by the receiving app's id, whose entry carries the command number
// and the fields of the request or response, for example
//   {"mg5a1c9e0b7d3f2461": {"command": 1010, "title": "..", "description": "..",
//                           "thumbData": "<base64>", "extInfo": "..", "lang": "zh_CN"}}
// This file reads that text into a request or a response object.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

#include "services/messenger/MGApiObject.h"

namespace messenger {

// Command numbers of the app-to-app protocol.
enum Command : int {
    kCommandShowMessage = 1010,
    kCommandSendMessageResult = 2010,
    kCommandSendMessageToTimelineResult = 2020,
    kCommandGetMessage = 2000,
    kCommandAuthResult = 2030,
    kCommandLaunch = 2040,
};

using Message = std::variant<std::shared_ptr<BaseReq>, std::shared_ptr<BaseResp>>;

// The entry for `appId` in the pasteboard text; nothing when the text is not JSON, has no
// dictionary for the app, or its command is unknown.
std::optional<Message> readAppData(std::string_view text, const std::string& appId);

// Builds the request or response for one entry (a dictionary with "command").
std::optional<Message> messageForEntry(const Value& entry);

} // namespace messenger
