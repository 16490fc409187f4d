// What the session sends: request routing, the blocked and sending queues, acknowledgements
// and their time-outs, and the UDP reports.
#include "push/Session/PUSHSessionController.h"

#include "push/Network/PUSHAddressMessages.h"
#include "push/Network/PUSHReceivedPacket.h"
#include "push/Network/PUSHRequests.h"
#include "push/Session/PUSHUDPReport.h"
#include "push/Storage/PUSHUserDefaultsController.h"
#include "push/Utilities/PUSHLog.h"

namespace {

std::shared_ptr<PUSHRequest> asRequest(const NSObjectRef& item) { return std::dynamic_pointer_cast<PUSHRequest>(item); }

bool awaitsAnswer(const PUSHRequest& request)
{
    return dynamic_cast<const PUSHRegistrationRequest*>(&request) || dynamic_cast<const PUSHLoginRequest*>(&request);
}

} // namespace

void PUSHSessionController::sendRequest(const std::shared_ptr<PUSHRequest>& request)
{
    if (!request)
        return;
    if (!request->loginRequired()) {
        doSendTcpRequest(request);
        return;
    }
    if (isLogin_) {
        if (request->hasHighPriority())
            doSendTcpRequest(request);
        else
            enqueueRequest(request);
        return;
    }
    if (request->canBeQueuedIfNotLogin()) {
        enqueueRequest(request);
        return;
    }
    PUSHLogDebug("未登录状态，请求被丢弃");
}

void PUSHSessionController::doSendTcpRequest(const std::shared_ptr<PUSHRequest>& request)
{
    PUSHLogDebug("Action - doSendTcpRequest");
    auto packet = request->packetData();
    if (!packet)
        return;
    if (!tcpConnectionSocket_ || !tcpConnectionSocket_->sendData(*packet)) {
        PUSHLogDebug("当前网络未连接，发送请求失败");
        auto keep = self();
        close();
        return;
    }
    const bool wantsAck = request->ackOrRespRequired() || (request->ackOrRespRequiredForVersion1() && serverVersion_ != 0);
    if (!wantsAck)
        return;
    request->startAckTimeoutTimer();
    tcpSendingQueue_.enqueue(request);
}

void PUSHSessionController::enqueueRequest(const std::shared_ptr<PUSHRequest>& request)
{
    if (!request || !request->isExclusive())
        return;
    std::vector<std::uint64_t> equal;
    tcpBlockedQueue_.enumerateObjectsUsingBlock([&](const NSObjectRef& item, std::size_t, bool&) {
        auto queued = asRequest(item);
        if (queued && request->isEqualToRequest(*queued))
            equal.push_back(queued->rid());
    });
    for (std::uint64_t rid : equal)
        dequeueRequest(rid);
    if (tcpBlockedQueue_.count() >= kQueueLimit + 1) {
        tcpBlockedQueue_.dequeue();
        PUSHLogWarn("tcp队列消息过多,清理部分最初的消息");
    }
    if (request->hasHighPriority())
        tcpBlockedQueue_.enqueueWithHighPriority(request);
    else
        tcpBlockedQueue_.enqueue(request);
    if (tcpConnectionSocket_)
        tcpConnectionSocket_->setCareAllDataSent(true);
}

void PUSHSessionController::dequeueRequest(std::uint64_t rid) { tcpBlockedQueue_.dequeueItemWithKey(Value(rid)); }

std::shared_ptr<PUSHRequest> PUSHSessionController::findBlockedRequest(std::uint64_t rid) const
{
    return asRequest(tcpBlockedQueue_.getObjectFromQueueWithKey(Value(rid)));
}

std::vector<std::shared_ptr<PUSHRequest>> PUSHSessionController::blockedRequests() const
{
    std::vector<std::shared_ptr<PUSHRequest>> requests;
    tcpBlockedQueue_.enumerateObjectsUsingBlock([&](const NSObjectRef& item, std::size_t, bool&) {
        if (auto request = asRequest(item))
            requests.push_back(request);
    });
    return requests;
}

void PUSHSessionController::reenqueueSendingRequests()
{
    PUSHLogDebug("Action - reenqueueSendingRequests");
    std::vector<std::shared_ptr<PUSHRequest>> sent;
    tcpSendingQueue_.enumerateObjectsUsingBlock([&](const NSObjectRef& item, std::size_t, bool&) {
        if (auto request = asRequest(item))
            sent.push_back(request);
    });
    tcpSendingQueue_.clear();
    for (const auto& request : sent) {
        request->stopAckTimeoutTimer();
        if (!request->canBeQueuedIfNotLogin())
            continue;
        if (tcpBlockedQueue_.count() >= kQueueLimit + 1) {
            PUSHLogDebug("等待请求队列过多");
            continue;
        }
        tcpBlockedQueue_.enqueue(request);
    }
}

void PUSHSessionController::connectionSendQueueEmpty(const std::shared_ptr<PUSHTcpSocket>& socket)
{
    if (socket != tcpConnectionSocket_)
        return;
    if (isLogin_) {
        if (auto next = asRequest(tcpBlockedQueue_.dequeue())) {
            auto keep = self();
            doSendTcpRequest(next);
            return;
        }
    }
    socket->setCareAllDataSent(false);
}

// Acknowledgements ----------------------------------------------------------------------------

void PUSHSessionController::onAckOrRespReceived(const std::shared_ptr<PUSHReceivedPacketController>& packet)
{
    PUSHLogDebug("Action - onAckOrRespReceived:");
    if (!packet)
        return;
    auto request = asRequest(tcpSendingQueue_.getObjectFromQueueWithKey(Value(packet->rid())));
    if (!request)
        return;
    // Registering and logging in end only with their answer: a server that merely acknowledges
    // them must run into the time-out rather than hold an unregistered session open for good.
    if (awaitsAnswer(*request) && std::dynamic_pointer_cast<PUSHAck>(packet))
        return;
    tcpSendingQueue_.dequeueItemWithKey(Value(packet->rid()));
    request->stopAckTimeoutTimer();
}

void PUSHSessionController::onAckTimeoutForRequest(const std::shared_ptr<PUSHRequest>& request)
{
    PUSHLogDebug("Action - onAckTimeoutForRequest:");
    if (!request)
        return;
    if (!tcpSendingQueue_.dequeueItemWithKey(Value(request->rid()))) {
        PUSHLogWarn("不在请求队列中ack超时");
        return;
    }
    PUSHLogError("ack timeout for request rid: %llu", static_cast<unsigned long long>(request->rid()));
    auto keep = self();
    close();
}

std::optional<std::string> PUSHSessionController::onDeviceTokenUploaded()
{
    if (!environment_.userDefaults)
        return std::nullopt;
    auto token = environment_.userDefaults->currentDeviceToken();
    if (token)
        environment_.userDefaults->setUploadedDeviceToken(*token);
    return token;
}

void PUSHSessionController::onMessageReceived(const std::shared_ptr<PUSHMessageDispatchController>& message)
{
    if (messageHandler_)
        messageHandler_(message);
}

// UDP reports -----------------------------------------------------------------------------------

void PUSHSessionController::sendUdpReport(const std::shared_ptr<PUSHUDPReport>& report)
{
    if (!report)
        return;
    if (isLogin_) {
        doSendUdpReport(report);
        return;
    }
    if (udpBlockedQueue_.size() >= kUdpBacklogLimit) {
        PUSHLogDebug("太多UDP上报,丢弃最早的上报");
        udpBlockedQueue_.pop_front();
    }
    udpBlockedQueue_.push_back(report);
}

void PUSHSessionController::sendAllBlockedUdpReports()
{
    auto waiting = std::exchange(udpBlockedQueue_, {});
    for (const auto& report : waiting)
        doSendUdpReport(report);
}

void PUSHSessionController::doSendUdpReport(const std::shared_ptr<PUSHUDPReport>& report)
{
    if (environment_.userDefaults)
        report->updateClientInfo(environment_.userDefaults->uid(), environment_.userDefaults->appKey());
    const auto target = push::splitAddress(addressController_->defaultReportAddress());
    const Bytes& packet = report->packetData();
    const bool queued = udpReportSocket_ && target && !packet.empty()
        && udpReportSocket_->sendData(packet, target->first, target->second, 0);
    if (!queued)
        PUSHLogWarn("send Udp Report failed");
}
