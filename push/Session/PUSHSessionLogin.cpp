// Registering and logging in, the clock offset learnt at login, heartbeats and the reconnect
// back-off.
#include "push/Session/PUSHSessionController.h"

#include <array>
#include <atomic>

#include "platform/foundation/Format.h"
#include "platform/persistence/NSUserDefaults.h"
#include "platform/threading/NSTimer.h"
#include "push/Network/PUSHReceivedPacket.h"
#include "push/Storage/PUSHUserDefaultsController.h"
#include "push/Utilities/PUSHLog.h"
#include "push/Utilities/PUSHUtilities.h"

namespace {

std::atomic<bool> heartbeatLock { false };

constexpr std::array<double, 4> kBackoffDelays { 2, 5, 20, 300 };
constexpr double kBackoffLimit = 300;

// Registration statuses after which the service stops trying, with their messages.
const char* stoppingStatusMessage(std::uint16_t status)
{
    switch (status) {
    case 1002:
        return "error code: %u 注册缺少必要参数";
    case 1003:
        return "error code: %u 注册参数错误";
    case 1004:
        return "error code: %u, 注册参数校验失败";
    case 1005:
        return "error code：%u，你配置的AppKey不存在";
    case 1008:
        return "error code：%u，你配置的AppKey格式不正确";
    case 1009:
        return "error code：%u，你配置的AppKey尚未配置iOS平台";
    default:
        return nullptr;
    }
}

} // namespace

// Register or log in --------------------------------------------------------------------------

void PUSHSessionController::doRegisterOrLogin()
{
    const auto& defaults = environment_.userDefaults;
    const auto registrationID = defaults ? defaults->registrationID() : std::nullopt;
    if (defaults && defaults->uid() != 0 && defaults->password() && registrationID && !registrationID->empty()) {
        doLogin();
        return;
    }
    if (environment_.deviceTokenUpdated()) {
        doRegister();
        return;
    }
    close();
}

void PUSHSessionController::doRegister()
{
    auto request = PUSHRegistrationRequest::create();
    const push_session::ClientInfo client = environment_.clientInfo();
    auto& info = request->info;
    if (const auto& defaults = environment_.userDefaults) {
        info.openUdid = defaults->openUdid();
        info.appKey = defaults->appKey();
        info.deviceToken = defaults->currentDeviceToken().value_or("");
    }
    info.bundleIdentifier = client.bundleIdentifier;
    info.bundleVersion = client.bundleVersion;
    info.systemVersion = client.systemVersion;
    info.modelName = client.modelName;
    info.pushChanel = client.pushChanel;
    info.sdkVersionText = PUSHSDKVersionString();
    info.configApsEnvironment = client.configApsEnvironment;
    info.apsEnvironment = client.apsEnvironment;
    sendRequest(request);
}

void PUSHSessionController::doLogin()
{
    if (!loginRequest_)
        loginRequest_ = PUSHLoginRequest::create();
    if (const auto& defaults = environment_.userDefaults) {
        loginRequest_->passwordMD5Hex = PUSHMD5HexString(defaults->password());
        loginRequest_->appKey = defaults->appKey();
    }
    sendRequest(loginRequest_);
}

bool PUSHSessionController::canErrorStopPushServer(std::uint16_t status) const
{
    const char* message = stoppingStatusMessage(status);
    if (!message)
        return false;
    PUSHLogError(message, static_cast<unsigned>(status));
    return true;
}

void PUSHSessionController::onRegisterRespond(const std::shared_ptr<PUSHRegistrationResponse>& response)
{
    PUSHLogDebug("Action - onRegisterRespond:");
    if (!response)
        return;
    if (isLogin_) {
        PUSHLogWarn("When register response, is already login. Give up the register resp.");
        return;
    }
    auto keep = self();
    isConnectDisable_ = canErrorStopPushServer(response->statusCode());
    const bool complete = response->statusCode() == 0 && response->registeredUid() != 0
        && !response->password().empty() && !response->registrationID().empty();
    const auto& defaults = environment_.userDefaults;
    if (!complete || !defaults) {
        close();
        return;
    }
    PUSHPostNotificationWithUserInfo(
        kPUSHNetworkDidRegisterNotification, Value::dictionary({ { "RegistrationID", Value(response->registrationID()) } }));
    if (response->registeredUid() != defaults->uid())
        defaults->clearAllCache();
    defaults->setUidPasswordRegistrationID(response->registeredUid(), response->password(), response->registrationID());
    if (auto token = defaults->currentDeviceToken())
        defaults->setUploadedDeviceToken(*token);
    doLogin();
}

void PUSHSessionController::onLoginRespond(const std::shared_ptr<PUSHLoginResponse>& response)
{
    PUSHLogDebug("Event - onLoginRespond");
    if (!response || isLogin_)
        return;
    auto keep = self();
    if (response->statusCode() != 0) {
        if (environment_.userDefaults)
            environment_.userDefaults->setUidPasswordRegistrationID(0, std::nullopt, std::nullopt);
        close();
        return;
    }
    sessionID_ = response->sessionID();
    serverVersion_ = response->serverVersion();
    sessionKey_ = response->sessionKey();
    storeLoginTimes(response->serverTime());
    proofTimeInterval_ = 0;
    push_utilities::setServerClockCorrection(proofTimeInterval());
    PUSHPostNotification(kPUSHNetworkDidLoginNotification);
    isLogin_ = true;
    resetDelaySetupIndex();
    startHeartbeatTimer();
    if (tcpConnectionSocket_)
        tcpConnectionSocket_->setCareAllDataSent(true);
    notify(loginObservers_);
    sendAllBlockedUdpReports();
}

// Clock offset ----------------------------------------------------------------------------------

void PUSHSessionController::storeLoginTimes(std::uint32_t serverTime)
{
    auto defaults = NSUserDefaults::standardUserDefaults();
    defaults->setObject(Value(PUSHCurrentTimestamp()), kPUSHLocalTimeKey);
    defaults->synchronize();
    defaults->setObject(Value(serverTime), kPUSHServerTimeKey);
    defaults->synchronize();
}

std::int32_t PUSHSessionController::proofTimeInterval()
{
    if (proofTimeInterval_ != 0)
        return proofTimeInterval_;
    // Stored times more than a year apart are wiped as they are read.
    proofTimeInterval_ = push_utilities::storedServerClockCorrection();
    return proofTimeInterval_;
}

// Heartbeats ------------------------------------------------------------------------------------

void PUSHSessionController::startHeartbeatTimer()
{
    stopHeartbeatTimer();
    std::weak_ptr<PUSHSessionController> weak = self();
    heartbeatTimer_ = NSTimer::scheduledTimerWithTimeInterval(kHeartbeatInterval, true, [weak](const std::shared_ptr<NSTimer>& timer) {
        if (auto session = weak.lock())
            session->doHeartbeat(timer);
        else
            timer->invalidate();
    });
}

void PUSHSessionController::stopHeartbeatTimer()
{
    if (auto timer = heartbeatTimer_.lock())
        timer->invalidate();
    heartbeatTimer_.reset();
}

std::shared_ptr<NSTimer> PUSHSessionController::heartbeatTimer() const { return heartbeatTimer_.lock(); }

void PUSHSessionController::doHeartbeat(const std::shared_ptr<NSTimer>& timer)
{
    if (timer != heartbeatTimer_.lock())
        return;
    fireHeartBeat();
}

void PUSHSessionController::fireHeartBeat()
{
    if (!isLogin_) {
        PUSHLogError("heart beat error!! on unlogin status");
        stopHeartbeatTimer();
        return;
    }
    if (heartbeatLock.exchange(true))
        return;
    sendRequest(PUSHHeartbeatRequest::create());
    NSTimer::scheduledTimerWithTimeInterval(kHeartbeatLockSeconds, false, [](const std::shared_ptr<NSTimer>&) {
        removeHeartBeatLock();
    });
}

void PUSHSessionController::removeHeartBeatLock() { heartbeatLock = false; }
bool PUSHSessionController::heartBeatLocked() { return heartbeatLock; }

// Back-off --------------------------------------------------------------------------------------

void PUSHSessionController::startDelaySetupTimer()
{
    PUSHLogDebug("Action - startDelaySetupTimer");
    stopDelaySetupTimer();
    double delay = kNoNetworkDelay;
    if (environment_.networkStatus() != push_utilities::kStatusNotReachable) {
        const auto index = delaySetupTimeIntervalIndex_;
        delay = index < kBackoffDelays.size() ? kBackoffDelays[index] : kBackoffLimit;
        if (index < kBackoffDelays.size())
            ++delaySetupTimeIntervalIndex_;
    }
    std::weak_ptr<PUSHSessionController> weak = std::static_pointer_cast<PUSHSessionController>(weak_from_this().lock());
    if (weak.expired())
        return; // going away: nothing to set up later
    delaySetupTimer_ = NSTimer::scheduledTimerWithTimeInterval(delay, false, [weak](const std::shared_ptr<NSTimer>& timer) {
        if (auto session = weak.lock())
            session->doDelaySetup(timer);
    });
    PUSHLogDebug("session will setup delayed with time interval: %f", delay);
}

void PUSHSessionController::stopDelaySetupTimer()
{
    if (auto timer = delaySetupTimer_.lock())
        timer->invalidate();
    delaySetupTimer_.reset();
}

std::shared_ptr<NSTimer> PUSHSessionController::delaySetupTimer() const { return delaySetupTimer_.lock(); }

void PUSHSessionController::doDelaySetup(const std::shared_ptr<NSTimer>& timer)
{
    if (timer != delaySetupTimer_.lock()) {
        PUSHLogError("start setup session failed with timer not equal to new timer ");
        close();
        return;
    }
    setup();
}
