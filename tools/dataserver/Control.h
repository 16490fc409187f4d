// The HTTP control of a running server, for scripts and tests in other processes:
//   POST /__control/fail     path, mode (status|http|notjson|empty|body|drop|delay|hold),
//                            status, msg, httpStatus, body, contentType, delayMs, hold, times
//   POST /__control/reset    clears rules, releases held requests, forgets recorded requests
//   POST /__control/release  [path]: lets held requests go on
//   GET  /__control/requests [path] [since]: the recorded requests, oldest first
#pragma once

#include "tools/dataserver/Failures.h"
#include "tools/dataserver/Reply.h"

#include <string>
#include <variant>

namespace dataserver {

class DataServer;

// The failure the parameters of "fail" describe, or the reason they describe none.
std::variant<Failure, std::string> failureFromParams(const Incoming& in);

// Answers one control action ("fail", "reset", "release", "requests").
Reply handleControl(DataServer& server, const std::string& action, const Incoming& in);

} // namespace dataserver
