// The device token (taken once, warned about while missing) and the push environment read from
// the provisioning profile.
#include "push/Client/PUSHClientController.h"

#include <algorithm>
#include <cctype>

#include "platform/persistence/FileIO.h"
#include "platform/threading/NSTimer.h"
#include "push/Client/PUSHNetworkController.h"
#include "push/Client/PUSHPushConfigController.h"
#include "push/Network/PUSHRequests.h"
#include "push/Session/PUSHSessionController.h"
#include "push/Storage/PUSHUserDefaultsController.h"
#include "push/Utilities/PUSHLog.h"
#include "push/Utilities/PUSHUtilities.h"

namespace {

constexpr const char* kMissingTokenText
    = "Not get deviceToken yet. Maybe: your certificate not configured APNs? or current "
      "network is not so good so APNs registration failed?  or there is no APNs "
      "register code? Please refer to Push docs.";

std::string lower(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text;
}

} // namespace

namespace push_client {

std::string stringWithDeviceToken(const Bytes& token)
{
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string text;
    text.reserve(token.size() * 2);
    for (std::uint8_t byte : token) {
        text.push_back(kDigits[byte >> 4]);
        text.push_back(kDigits[byte & 0xF]);
    }
    return text;
}

std::int32_t apsEnvironmentInProfileText(const std::string& text)
{
    // Latin-1 text read byte for byte: one character is one byte.
    const std::string folded = lower(text);
    const std::size_t key = folded.find("aps-environment");
    if (key == std::string::npos)
        return PUSHApsEnvironmentNoEntry;
    const std::string window = folded.substr(key, 100);
    const std::size_t end = window.find("</string>");
    const std::string value = end == std::string::npos ? folded.substr(key, 50) : window.substr(0, end);
    if (value.find("development") != std::string::npos)
        return 1;
    if (value.find("production") != std::string::npos)
        return 2;
    return PUSHApsEnvironmentUnknownEntry;
}

} // namespace push_client

void PUSHClientController::loadApsEnvironment()
{
    apsEvironment_ = PUSHApsEnvironmentNotRead;
    if (!emProvisionUrl_) {
        PUSHLogError("load aps evi error, no em provision url");
        apsEvironment_ = PUSHApsEnvironmentNoProfileUrl;
        return;
    }
    auto data = persistence::dataWithContentsOfFile(*emProvisionUrl_);
    if (!data) {
        apsEvironment_ = PUSHApsEnvironmentUnreadable;
        return;
    }
    apsEvironment_ = push_client::apsEnvironmentInProfileText(std::string(data->begin(), data->end()));
}

void PUSHClientController::updateDeviceToken(const Bytes& token)
{
    if (deviceTokenUpdated_) {
        PUSHLogWarn("Push WARN device token should NOT be updated for multi times");
        return;
    }
    stopDeviceTokenUpdatedCheckTimer();
    deviceTokenUpdated_ = true;
    const std::string text = push_client::stringWithDeviceToken(token);
    if (userDefaults_)
        userDefaults_->setCurrentDeviceToken(text);
    if (!networkService_)
        return;
    networkService_->trySetupSession();
    auto report = PUSHDeviceTokenReportRequest::create();
    report->deviceToken = text;
    report->configApsEnvironment = pushConfig_ ? static_cast<std::uint8_t>(pushConfig_->configApsEnvironment()) : 0;
    report->apsEnvironment = static_cast<std::uint8_t>(apsEvironment_);
    networkService_->clientSession()->sendRequest(report);
}

void PUSHClientController::useFakeDeviceToken()
{
    if (userDefaults_)
        userDefaults_->setCurrentDeviceToken(PUSHFakeDeviceToken());
    deviceTokenUpdated_ = true;
    if (networkService_)
        networkService_->trySetupSession();
}

void PUSHClientController::checkDeviceTokenUpdated(const std::shared_ptr<NSTimer>&)
{
    if (deviceTokenUpdated_ || deviceTokenStatusCheckTimes_ <= 0) {
        stopDeviceTokenUpdatedCheckTimer();
        return;
    }
    --deviceTokenStatusCheckTimes_;
    PUSHLogWarn("%@\n", std::string(kMissingTokenText));
}

void PUSHClientController::startDeviceTokenUpdatedCheckTimer()
{
    stopDeviceTokenUpdatedCheckTimer();
    std::weak_ptr<PUSHClientController> weak = sharedAs<PUSHClientController>();
    deviceTokenStatusCheckTimer_ = NSTimer::scheduledTimerWithTimeInterval(
        kDeviceTokenCheckInterval, true, [weak](const std::shared_ptr<NSTimer>& timer) {
            if (auto self = weak.lock())
                self->checkDeviceTokenUpdated(timer);
        });
}

void PUSHClientController::stopDeviceTokenUpdatedCheckTimer()
{
    if (auto timer = deviceTokenStatusCheckTimer_.lock())
        timer->invalidate();
    deviceTokenStatusCheckTimer_.reset();
}
