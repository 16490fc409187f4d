// The tags/alias manager: sends an application's tags and alias to the push server as a
// request on the TCP session, waits up to 20 seconds for the server's answer (a message of
// type 20) and hands the result code to the application's callback or block on the main queue,
// or only logs it for background requests. The last background request is kept in the
// enciphered file cache under "__PUSHFailedTagAlias" until an answer for it arrives and is sent
// again after each login. Runs on the push client's thread.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>

#include "platform/foundation/NSObject.h"
#include "platform/foundation/Value.h"

class NSTimer;
class PUSHSessionController;
class PUSHSetTagAlias;
class PUSHTagAlias;

inline constexpr const char* kPUSHFailedTagAliasKey = "__PUSHFailedTagAlias";

enum PUSHTagAliasType : std::uint64_t {
    PUSHTagAliasTypeBackground = 0,
    PUSHTagAliasTypeBlock = 1,
    PUSHTagAliasTypeCallback = 2,
};

// One request of the application and how its answer is delivered.
class PUSHSetTagAliasArg : public NSObject {
public:
    // (result code, tags, alias).
    using Completion = std::function<void(int, const Value&, const Value&)>;
    static constexpr double kTimeout = 20;

    static std::shared_ptr<PUSHSetTagAliasArg> create() { return std::make_shared<PUSHSetTagAliasArg>(); }

    Value tags; // an array of strings, or absent
    Value alias; // a string, or absent
    std::uint64_t type = PUSHTagAliasTypeBackground;
    Completion completionHandler; // type 1
    Completion cbInvocation; // type 2, called on behalf of `target`
    NSObjectRef target; // kept alive until the callback has run
    std::uint64_t sequence = 0;

    // Starts the one-shot 20-second timer on the current run loop; at its end `manager` is told
    // 6002 and the request, if still queued, is withdrawn.
    void beginTimeoutTimer(const std::shared_ptr<PUSHTagAlias>& manager);
    void stopTimeoutTimer();
    std::shared_ptr<NSTimer> timeoutTimer() const { return timeoutTimer_.lock(); }
    // Shares the callback, target and timer; copies the rest.
    std::shared_ptr<PUSHSetTagAliasArg> copy() const;

    std::string className() const override { return "PUSHSetTagAliasArg"; }

private:
    void onTimeout(const std::shared_ptr<NSTimer>& timer);

    std::weak_ptr<NSTimer> timeoutTimer_;
    std::weak_ptr<PUSHTagAlias> manager_;
};

class PUSHTagAlias : public NSObject {
public:
    using SessionProvider = std::function<std::shared_ptr<PUSHSessionController>()>;

    // `session` gives the TCP session requests go to; `appKey` the key they carry.
    static std::shared_ptr<PUSHTagAlias> create(SessionProvider session, std::function<std::string()> appKey);

    // Dispatches by type; other types are ignored.
    void setTagsAlias(const std::shared_ptr<PUSHSetTagAliasArg>& argument);
    // The server's answer {"sequence":rid,"code":n}; anything else is ignored.
    void doSetTagsAliasCallbackWithRetJson(const std::string& json);
    void doTagAliasCallbackForSeq(std::uint64_t sequence, int code);
    // After a login: sends the stored background request again.
    void sendFailedTagAlias();
    // Withdraws the request of `sequence` from the session's queue if it still waits there.
    void dequeueFromTcpBlockQueue(std::uint64_t sequence);

    std::size_t waitingCount() const { return dictSequenceToReq_.size(); }
    std::shared_ptr<PUSHSetTagAliasArg> waitingArgument(std::uint64_t sequence) const;
    // The stored background request as kept in the file cache ({"rid","tags","alias","type"}).
    static Value storedFailedRequest();

    std::string className() const override { return "PUSHTagAlias"; }

    PUSHTagAlias(SessionProvider session, std::function<std::string()> appKey);

private:
    void setTagAliasUsingCallback(const std::shared_ptr<PUSHSetTagAliasArg>& argument);
    void setTagAliasAutomatic(const std::shared_ptr<PUSHSetTagAliasArg>& argument);
    std::shared_ptr<PUSHSetTagAlias> makeRequest(const std::shared_ptr<PUSHSetTagAliasArg>& argument);
    void sendRequest(const std::shared_ptr<PUSHSetTagAlias>& request);
    void sendAutomaticRequest(
        const std::shared_ptr<PUSHSetTagAlias>& request, const std::shared_ptr<PUSHSetTagAliasArg>& argument);
    bool mergeOldRequest(const Value& stored, const std::shared_ptr<PUSHSetTagAlias>& request,
        const std::shared_ptr<PUSHSetTagAliasArg>& argument);
    void deliverAutomatic(const PUSHSetTagAliasArg& argument, int code);

    SessionProvider session_;
    std::function<std::string()> appKey_;
    std::map<std::uint64_t, std::shared_ptr<PUSHSetTagAliasArg>> dictSequenceToReq_;
};
