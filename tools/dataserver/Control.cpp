// The HTTP control actions over the server's in-process API.
#include "tools/dataserver/Control.h"

#include "tools/dataserver/DataServer.h"
#include "tools/dataserver/Text.h"

#include <limits>

namespace dataserver {

namespace {

constexpr long long kMaxDelayMs = 60000;

Reply badRequest(const std::string& msg)
{
    Reply reply = refusal(msg);
    reply.httpStatus = 400;
    return reply;
}

// An integer parameter: `fallback` when not sent, nullopt when sent but not in [min, max].
std::optional<long long> intParam(const Incoming& in, const char* name, long long fallback, long long min, long long max)
{
    auto text = in.param(name);
    if (!text)
        return fallback;
    auto value = parseInteger(*text);
    if (!value || *value < min || *value > max)
        return std::nullopt;
    return value;
}

} // namespace

std::variant<Failure, std::string> failureFromParams(const Incoming& in)
{
    std::string modeName = in.param("mode").value_or("");
    auto mode = Failure::modeNamed(modeName);
    if (!mode)
        return "unknown mode \"" + modeName + "\"";
    Failure f;
    f.mode = *mode;
    f.hold = modeName == "hold" || in.param("hold") == "1";
    auto status = intParam(in, "status", 0, -1000000, 1000000);
    auto httpStatus = intParam(in, "httpStatus", 500, 100, 599);
    auto delay = intParam(in, "delayMs", 0, 0, kMaxDelayMs);
    auto times = intParam(in, "times", 0, 0, 1000000);
    if (!status || !httpStatus || !delay || !times)
        return std::string("status, httpStatus (100-599), delayMs (0-60000) and times must be integers in range");
    if (modeName == "delay" && *delay == 0)
        return std::string("mode delay needs delayMs");
    f.status = static_cast<int>(*status);
    f.httpStatus = static_cast<int>(*httpStatus);
    f.delay = std::chrono::milliseconds(*delay);
    f.times = static_cast<int>(*times);
    f.msg = in.param("msg").value_or("");
    f.body = in.param("body").value_or("");
    f.contentType = in.param("contentType").value_or("application/json");
    return f;
}

Reply handleControl(DataServer& server, const std::string& action, const Incoming& in)
{
    if (action == "fail") {
        auto path = in.filled("path");
        if (!path)
            return badRequest("path is missing");
        auto parsed = failureFromParams(in);
        if (auto* reason = std::get_if<std::string>(&parsed))
            return badRequest(*reason);
        server.fail(*path, std::get<Failure>(parsed));
        return success(nlohmann::json::object(), "ok");
    }
    if (action == "reset") {
        server.reset();
        return success(nlohmann::json::object(), "ok");
    }
    if (action == "release") {
        server.release(in.param("path").value_or(""));
        return success(nlohmann::json::object(), "ok");
    }
    if (action == "requests") {
        auto since = intParam(in, "since", 0, 0, std::numeric_limits<long long>::max());
        if (!since)
            return badRequest("since must be a sequence number");
        nlohmann::json list = nlohmann::json::array();
        for (const auto& r : server.requests(in.param("path").value_or(""), static_cast<unsigned long long>(*since)))
            list.push_back(toJson(r));
        return success(std::move(list), "ok");
    }
    return notFound();
}

} // namespace dataserver
