// The two server roots (data and account), the address of a path below a root, and the reply
// envelope every form and multipart POST answers in ({"status", "msg", "info"}).
// The roots are compiled in; QUILLMARK_DATA_ROOT and QUILLMARK_ACCOUNT_ROOT (full roots ending
// in "/") override them, read each time a root is used.
#pragma once

#include <cstdint>
#include <string>

#include "platform/foundation/Value.h"

namespace app {

inline constexpr const char* kDataServerRoot = "http://127.0.0.1:8091/brelvoxin/";
inline constexpr const char* kAccountServerRoot = "http://127.0.0.1:8080/solvane/";

std::string dataServerRoot();
std::string accountServerRoot();
// "%@%@" of the root and the path (no path begins with "/").
std::string dataServerURL(const std::string& path);
std::string accountServerURL(const std::string& path);

// Envelope reads. A reply that is not an object (nil, an array, a string) reads as having no
// keys: status 0, no "msg", no "info".
inline std::int64_t replyStatus(const Value& reply) { return reply["status"].integerValue(); }
inline const Value& replyMessage(const Value& reply) { return reply["msg"]; }
inline const Value& replyInfo(const Value& reply) { return reply["info"]; }
// What a refusal shows: "%@" of its "msg", or "出错" when it has none (missing or null).
std::string refusalText(const Value& reply);

} // namespace app
