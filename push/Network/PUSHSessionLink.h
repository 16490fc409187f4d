// What packets need from the TCP session: request ids, the login's session id, the device uid,
// sending, and the reply callbacks. The session installs itself as the current link; with none
// installed requests get rid 0 and sending does nothing.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

class PUSHRequest;
class PUSHReceivedPacketController;
class PUSHRegistrationResponse;
class PUSHLoginResponse;
class PUSHMessageDispatchController;

namespace push {

class SessionLink {
public:
    virtual ~SessionLink() = default;

    // getRId: — the next request id of the given kind (0 is the only kind used).
    virtual std::uint64_t getRId(int kind) = 0;
    // Session id of the current login, 0 before login.
    virtual std::uint32_t currentSessionID() const = 0;
    // The persisted device uid, 0 before registration.
    virtual std::uint64_t currentUid() const = 0;
    // Whether the session is logged in.
    virtual bool isLogin() const { return false; }

    virtual void sendRequest(const std::shared_ptr<PUSHRequest>& request) = 0;
    virtual void onAckTimeoutForRequest(const std::shared_ptr<PUSHRequest>&) {}
    virtual void onAckOrRespReceived(const std::shared_ptr<PUSHReceivedPacketController>&) {}
    virtual void onRegisterRespond(const std::shared_ptr<PUSHRegistrationResponse>&) {}
    virtual void onLoginRespond(const std::shared_ptr<PUSHLoginResponse>&) {}
    // A device-token report was accepted: the current token becomes the uploaded one, and is
    // returned (none when there is none).
    virtual std::optional<std::string> onDeviceTokenUploaded() { return std::nullopt; }
    // A server message (command 3) to dispatch and acknowledge.
    virtual void onMessageReceived(const std::shared_ptr<PUSHMessageDispatchController>&) {}
};

// The link packets use; held weakly, so a session that goes away unlinks itself.
void setCurrentSessionLink(std::weak_ptr<SessionLink> link);
std::shared_ptr<SessionLink> currentSessionLink();

} // namespace push
