// The network service: when the session may run, and what a network change does to it.
#include "push/Client/PUSHNetworkController.h"

#include "platform/threading/NSNotificationCenter.h"
#include "push/Client/PUSHReachability.h"
#include "push/Report/PUSHHttpSessionController.h"
#include "push/Session/PUSHSessionController.h"
#include "push/Storage/PUSHUserDefaultsController.h"
#include "push/Utilities/PUSHLog.h"

PUSHNetworkController::PUSHNetworkController(push_client::NetworkEnvironment environment)
    : environment_(std::move(environment))
{
}

std::shared_ptr<PUSHNetworkController> PUSHNetworkController::create(push_client::NetworkEnvironment environment)
{
    auto controller = std::make_shared<PUSHNetworkController>(std::move(environment));
    controller->start();
    return controller;
}

void PUSHNetworkController::start()
{
    std::weak_ptr<PUSHNetworkController> weak = sharedAs<PUSHNetworkController>();
    push_session::SessionEnvironment session;
    session.userDefaults = environment_.userDefaults;
    session.addressConfiguration = environment_.addressConfiguration;
    session.resolver = environment_.resolver;
    session.networkStatus = [weak] {
        auto self = weak.lock();
        return self ? self->currentNetworkStatus() : std::int32_t(0);
    };
    session.deviceTokenUpdated = environment_.deviceTokenUpdated;
    session.clientInfo = environment_.clientInfo;
    clientSession_ = PUSHSessionController::create(std::move(session));
    reportSession_ = PUSHHttpSessionController::create();

    auto& center = environment_.center;
    if (center) {
        center->addObserver(
            this, weak,
            [weak](const std::shared_ptr<NSNotification>& note) {
                if (auto self = weak.lock())
                    self->reachabilityChanged(note);
            },
            kNetworkReachabilityChangedNotification);
        center->addObserver(
            this, weak,
            [weak](const std::shared_ptr<NSNotification>&) {
                if (auto self = weak.lock())
                    self->trySetupSession();
            },
            PUSHUserDefaultsVerifiedNotification);
    }
    internetReachability_ = PUSHReachability::reachabilityForInternetConnection();
    if (internetReachability_) {
        internetReachability_->setNotificationCenter(center);
        internetReachability_->startNotifier();
    }
}

PUSHNetworkController::~PUSHNetworkController()
{
    if (environment_.center)
        environment_.center->removeObserver(this);
    if (internetReachability_)
        internetReachability_->stopNotifier();
    if (clientSession_)
        clientSession_->setIsConnectDisable(true);
}

std::int32_t PUSHNetworkController::currentNetworkStatus() const
{
    return internetReachability_ ? internetReachability_->currentReachabilityStatus() : PUSHNotReachable;
}

void PUSHNetworkController::trySetupSession()
{
    PUSHLogDebug("Action - trySetupSession");
    if (!environment_.deviceTokenUpdated || !environment_.deviceTokenUpdated())
        return;
    reportSession_->trySetupSession();
    if (!environment_.userDefaults || !environment_.userDefaults->verified())
        return;
    if (currentNetworkStatus() == PUSHNotReachable)
        return;
    clientSession_->setup();
}

void PUSHNetworkController::reachabilityChanged(const std::shared_ptr<NSNotification>&)
{
    PUSHLogWarn("网络发生变化,重启session");
    clientSession_->close();
    reportSession_->locationInfoChangeViaNetworkState(currentNetworkStatus());
    trySetupSession();
}

void PUSHNetworkController::onResumeFromInactive()
{
    if (clientSession_->isSetup())
        closeSession();
    trySetupSession();
}

void PUSHNetworkController::onEnterBackground()
{
    closeSession();
}

void PUSHNetworkController::closeSession()
{
    clientSession_->setIsConnectDisable(true);
    clientSession_->close();
    clientSession_->setIsConnectDisable(false);
}
