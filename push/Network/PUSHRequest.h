// Base of every request sent to the push server: the 24-byte header, the control flags that
// tell the session how to route it, and the acknowledgement time-out.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>

#include "platform/threading/NSTimer.h"
#include "push/Network/PUSHNetElement.h"
#include "push/Network/PUSHPacketWriter.h"

enum PUSHRequestControlFlag : std::uint8_t {
    PUSHRequestLoginRequired = 1,
    PUSHRequestAckOrRespRequired = 2,
    PUSHRequestIsExclusive = 4,
    PUSHRequestHasHighPriority = 8,
    PUSHRequestCanBeQueuedIfNotLogin = 16,
    PUSHRequestAckOrRespRequiredForVersion1 = 32,
};

inline constexpr const char* kPUSHRequestControlFlagKey = "PUSH_request_control_flag";
inline constexpr const char* kPUSHRequestPackageDataKey = "PUSH_request_package_data";

class PUSHRequest : public PUSHNetElement {
public:
    // Header size of an outgoing packet.
    static constexpr std::size_t kHeaderLength = 24;
    // Seconds the session waits for an acknowledgement or response.
    static constexpr double kAckTimeout = 10;

    ~PUSHRequest() override;

    // The finished packet: header with the session id and uid of the current link, then the
    // body; nothing when the packet cannot be sent (too long, too short). Keeps no buffer.
    virtual std::optional<Bytes> packetData();
    // Name of the reply class, empty for requests without one.
    virtual std::string responseClass() const { return {}; }
    // Hands the request to the current session.
    virtual void send();
    virtual bool isEqualToRequest(const PUSHRequest& other) const { return rid() == other.rid(); }
    // A copy with the same header fields and control flag.
    virtual std::shared_ptr<PUSHRequest> copy() const;

    std::uint8_t controlFlag() const { return controlFlag_; }
    void setControlFlag(std::uint8_t flag) { controlFlag_ = flag; }
    bool loginRequired() const { return controlFlag_ & PUSHRequestLoginRequired; }
    bool ackOrRespRequired() const { return controlFlag_ & PUSHRequestAckOrRespRequired; }
    bool isExclusive() const { return controlFlag_ & PUSHRequestIsExclusive; }
    bool hasHighPriority() const { return controlFlag_ & PUSHRequestHasHighPriority; }
    bool canBeQueuedIfNotLogin() const { return controlFlag_ & PUSHRequestCanBeQueuedIfNotLogin; }
    bool ackOrRespRequiredForVersion1() const { return controlFlag_ & PUSHRequestAckOrRespRequiredForVersion1; }
    bool isIMMessageRequest() const { return false; }

    // A one-shot timer on the current run loop; when it fires the session's
    // onAckTimeoutForRequest is told. Starting again replaces the running timer.
    void startAckTimeoutTimer();
    void stopAckTimeoutTimer();
    std::shared_ptr<NSTimer> ackTimeoutTimer() const { return ackTimeoutTimer_.lock(); }

    std::string description() const override;
    std::string className() const override { return "PUSHRequest"; }

    // The header fields and the control flag. A request builds its packet when it is sent and
    // keeps none, so its packet buffer is archived empty.
    void encodeWithCoder(NSCoder& coder) const override;
    bool initWithCoder(NSCoder& coder) override;

protected:
    // Takes the next request id from the current session link.
    PUSHRequest();
    // Appends the body after the header; true when it could.
    virtual bool packData(push::PacketWriter& writer);
    void copyRequestFrom(const PUSHRequest& other);

private:
    std::uint8_t controlFlag_ = 0;
    std::weak_ptr<NSTimer> ackTimeoutTimer_;
};

// A request with the given header fields and an empty body (the heartbeat and tests use it).
class PUSHPlainRequest : public PUSHRequest {
public:
    static std::shared_ptr<PUSHPlainRequest> create(std::uint8_t version, std::uint8_t command, std::uint8_t flag);
    std::shared_ptr<PUSHRequest> copy() const override;

protected:
    PUSHPlainRequest() = default;
};
