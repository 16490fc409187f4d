// A report the push client sends as one UDP datagram to its report address: a JSON object
// that always names the SDK version and the platform, framed as a 16-bit length, "UF" and the
// JSON text. Subclasses add their own keys.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "platform/foundation/NSObject.h"
#include "platform/foundation/Value.h"

namespace push_session {

// The datagram of a JSON text: its byte count plus 2 as a big-endian u16, 'U' 'F', the text.
// None when the text does not fit the 16-bit count.
std::optional<Bytes> udpReportDatagram(const Bytes& jsonText);

} // namespace push_session

class PUSHUDPReport : public NSObject {
public:
    static std::shared_ptr<PUSHUDPReport> create();

    Value& reportBody() { return reportBody_; }
    const Value& reportBody() const { return reportBody_; }
    // Sets "uid" (as a number) and "senderid" (the application key).
    void updateClientInfo(std::uint64_t uid, const std::string& appKey);
    // Built on first use; the same bytes afterwards. Empty when the body cannot be written.
    const Bytes& packetData();
    // Hands the report to the current session.
    void send();

    std::string className() const override { return "PUSHUDPReport"; }

protected:
    PUSHUDPReport();

private:
    Value reportBody_;
    std::optional<Bytes> packetData_;
};
