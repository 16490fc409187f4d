// UDP reports: the body, its datagram and handing it to the session.
#include "push/Session/PUSHUDPReport.h"

#include "push/Session/PUSHSessionController.h"
#include "push/Utilities/PUSHUtilities.h"

namespace push_session {

std::optional<Bytes> udpReportDatagram(const Bytes& jsonText)
{
    const std::size_t counted = jsonText.size() + 2;
    if (counted > 0xFFFF)
        return std::nullopt;
    Bytes datagram;
    datagram.reserve(std::max<std::size_t>(200, counted + 2));
    datagram.push_back(static_cast<std::uint8_t>(counted >> 8));
    datagram.push_back(static_cast<std::uint8_t>(counted));
    datagram.push_back('U');
    datagram.push_back('F');
    datagram.insert(datagram.end(), jsonText.begin(), jsonText.end());
    return datagram;
}

} // namespace push_session

PUSHUDPReport::PUSHUDPReport()
    : reportBody_(Value::dictionary({ { "sdk_ver", Value(PUSHSDKVersionString()) }, { "platform", Value("iOS") } }))
{
}

std::shared_ptr<PUSHUDPReport> PUSHUDPReport::create()
{
    return std::shared_ptr<PUSHUDPReport>(new PUSHUDPReport());
}

void PUSHUDPReport::updateClientInfo(std::uint64_t uid, const std::string& appKey)
{
    reportBody_.set("uid", Value(uid));
    reportBody_.set("senderid", Value(appKey));
}

const Bytes& PUSHUDPReport::packetData()
{
    if (!packetData_) {
        auto json = PUSHJSONData(reportBody_);
        auto datagram = json ? push_session::udpReportDatagram(*json) : std::nullopt;
        packetData_ = datagram.value_or(Bytes());
    }
    return *packetData_;
}

void PUSHUDPReport::send()
{
    if (auto session = PUSHSessionController::currentSession())
        session->sendUdpReport(std::static_pointer_cast<PUSHUDPReport>(shared_from_this()));
}
