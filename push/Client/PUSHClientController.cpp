// The client controller's set-up, tear-down and the calls it passes on to its parts.
#include "push/Client/PUSHClientController.h"

#include <cmath>
#include <mutex>

#include "platform/persistence/NSUserDefaults.h"
#include "platform/threading/NSNotificationCenter.h"
#include "push/Client/PUSHMessageCenter.h"
#include "push/Client/PUSHNetworkController.h"
#include "push/Client/PUSHPushConfigController.h"
#include "push/Client/PUSHTagAlias.h"
#include "push/Network/PUSHThread.h"
#include "push/Report/PUSHHttpSessionController.h"
#include "push/Session/PUSHSessionController.h"
#include "push/Storage/PUSHFileCacheController.h"
#include "push/Storage/PUSHLocationInfoController.h"
#include "push/Storage/PUSHPageFlowSession.h"
#include "push/Storage/PUSHUserDefaultsController.h"
#include "push/Utilities/PUSHLog.h"
#include "push/Utilities/PUSHUtilities.h"

namespace {

std::mutex sharedMutex;
std::shared_ptr<PUSHClientController>& sharedSlot()
{
    static auto* slot = new std::shared_ptr<PUSHClientController>();
    return *slot;
}

} // namespace

// Instance --------------------------------------------------------------------------------------

std::shared_ptr<PUSHClientController> PUSHClientController::sharedClient()
{
    std::lock_guard lock(sharedMutex);
    auto& slot = sharedSlot();
    if (!slot)
        slot = std::make_shared<PUSHClientController>();
    return slot;
}

void PUSHClientController::resetSharedClientForTesting()
{
    std::shared_ptr<PUSHClientController> old;
    {
        std::lock_guard lock(sharedMutex);
        old = std::exchange(sharedSlot(), nullptr);
    }
    if (old)
        old->close();
}

PUSHClientController::~PUSHClientController()
{
    close();
}

std::shared_ptr<PUSHThreadController> PUSHClientController::pushThreadManager() const
{
    return PUSHThreadController::shareThreadInstance();
}

void PUSHClientController::perform(std::function<void(PUSHClientController&)> block)
{
    if (!block)
        return;
    auto self = sharedAs<PUSHClientController>();
    auto thread = std::dynamic_pointer_cast<PUSHThread>(pushThreadManager()->getThreadWithName(kPUSHClientThreadName));
    if (!thread) {
        block(*self);
        return;
    }
    thread->invokeBlock([self, block = std::move(block)] { block(*self); });
}

// Set-up ----------------------------------------------------------------------------------------

void PUSHClientController::setup()
{
    PUSHLogInfo("Action - setup");
    if (bundleIdentifier_.empty()) {
        PUSHLogError("no bundle id set");
        return;
    }
    if (!pushConfig_)
        pushConfig_ = PUSHPushConfigController::create();

    if (auto document = PUSHFileCacheController::startShareInstance("PUSHDocument", PUSHFileCacheTypeDocument, true))
        document->setAutoSynchronizeEnable(false);
    PUSHFileCacheController::startShareInstance("PUSHJSON", PUSHFileCacheTypeCache, false);

    clientNotificationCenter_ = NSNotificationCenter::create();
    std::weak_ptr<PUSHClientController> weak = sharedAs<PUSHClientController>();
    tagAliasMng_ = PUSHTagAlias::create(
        [weak]() -> std::shared_ptr<PUSHSessionController> {
            auto self = weak.lock();
            return self && self->networkService_ ? self->networkService_->clientSession() : nullptr;
        },
        [weak] {
            auto self = weak.lock();
            return self && self->pushConfig_ ? self->pushConfig_->applicationKey() : std::string();
        });
    messageCenter_ = PUSHMessageCenter::create();
    pageFlowController_ = PUSHPageFlowSession::create();

    loadApsEnvironment();
    {
        auto defaults = PUSHUserDefaultsController::initWithBundleIdentifier(
            bundleIdentifier_, pushConfig_->applicationKey(), clientNotificationCenter_);
        std::lock_guard lock(userDefaultsMutex_);
        userDefaults_ = std::move(defaults);
    }

    createNetworkService();
    pageFlowController_->trySetupSession();

    deviceTokenStatusCheckTimes_ = kDeviceTokenWarnings;
    startDeviceTokenUpdatedCheckTimer();
    reportLaunch(PUSHServerTimestamp());
    UDPReportAPNSState();
}

push_session::ClientInfo PUSHClientController::clientInfo() const
{
    push_session::ClientInfo info;
    info.bundleIdentifier = bundleIdentifier_;
    info.bundleVersion = bundleVersion_.isNil() ? std::string() : bundleVersion_.stringValue();
    info.systemVersion = systemVersion_;
    info.modelName = modelName_;
    if (pushConfig_) {
        info.pushChanel = pushConfig_->pushChanel();
        info.configApsEnvironment = static_cast<std::uint8_t>(pushConfig_->configApsEnvironment());
    }
    // A negative environment goes out unchanged, as its byte.
    info.apsEnvironment = static_cast<std::uint8_t>(apsEvironment_);
    return info;
}

void PUSHClientController::createNetworkService()
{
    std::weak_ptr<PUSHClientController> weak = sharedAs<PUSHClientController>();
    push_client::NetworkEnvironment environment;
    environment.center = clientNotificationCenter_;
    environment.userDefaults = userDefaults_;
    environment.deviceTokenUpdated = [weak] {
        auto self = weak.lock();
        return self && self->deviceTokenUpdated_;
    };
    environment.addressConfiguration = options_.addressConfiguration;
    environment.addressConfiguration.appKey = pushConfig_->applicationKey();
    environment.addressConfiguration.reportEndpoint = options_.reportEndpoint;
    environment.addressConfiguration.userEndpoint = options_.userEndpoint;
    environment.resolver = options_.resolver;
    environment.clientInfo = [weak] {
        auto self = weak.lock();
        return self ? self->clientInfo() : push_session::ClientInfo {};
    };
    networkService_ = PUSHNetworkController::create(std::move(environment));
    wireSession();
    networkService_->reportSession()->locationInfoChangeViaNetworkState(networkService_->currentNetworkStatus());
}

void PUSHClientController::wireSession()
{
    std::weak_ptr<PUSHClientController> weak = sharedAs<PUSHClientController>();
    std::weak_ptr<PUSHNetworkController> network = networkService_;
    auto session = networkService_->clientSession();
    auto report = networkService_->reportSession();

    push::ReportLinks links;
    links.userDefaults = userDefaults_;
    links.addressController = session->addressController();
    links.pageFlowSession = pageFlowController_;
    links.networkStatus = [network] {
        auto service = network.lock();
        return service ? service->currentNetworkStatus() : std::int32_t(0);
    };
    links.isReportCrash = [weak] {
        auto self = weak.lock();
        return self && self->isReportCrash_;
    };
    links.reportEndpoint = options_.reportEndpoint;
    links.userEndpoint = options_.userEndpoint;
    push_utilities::setReachabilityStatusProvider(links.networkStatus);
    push::setReportLinks(std::move(links));
    std::weak_ptr<PUSHPushConfigController> config = pushConfig_;
    push_utilities::setChannelProvider([config] {
        auto held = config.lock();
        return held ? held->pushChanel() : std::string();
    });
    if (hooks_.badgeManager)
        report->setBadgeNumberManager(hooks_.badgeManager);

    std::weak_ptr<PUSHHttpSessionController> weakReport = report;
    session->addLoginObserver([weakReport, weak] {
        if (auto held = weakReport.lock())
            held->sendAllBlockedHttpReports();
        auto self = weak.lock();
        if (self && self->tagAliasMng_)
            self->tagAliasMng_->sendFailedTagAlias();
    });
    std::weak_ptr<PUSHSessionController> weakSession = session;
    session->setMessageHandler([weak, weakSession](const std::shared_ptr<PUSHMessageDispatchController>& message) {
        auto self = weak.lock();
        if (!self || !self->messageCenter_)
            return;
        auto tagAlias = self->tagAliasMng_;
        push_client::handleReceivedMessage(message, *self->messageCenter_, weakSession.lock(),
            self->userDefaults_ ? self->userDefaults_->uid() : 0, [tagAlias](const std::string& json) {
                if (tagAlias)
                    tagAlias->doSetTagsAliasCallbackWithRetJson(json);
            });
    });
}

void PUSHClientController::close()
{
    stopDeviceTokenUpdatedCheckTimer();
    if (networkService_) {
        networkService_.reset();
        push::setReportLinks({});
        push_utilities::setReachabilityStatusProvider(nullptr);
        push_utilities::setChannelProvider(nullptr);
    }
    {
        std::lock_guard lock(userDefaultsMutex_);
        userDefaults_.reset();
    }
    pushConfig_.reset();
    messageCenter_.reset();
    pageFlowController_.reset();
    tagAliasMng_.reset();
}

// Passing on ------------------------------------------------------------------------------------

void PUSHClientController::setTagAlias(const std::shared_ptr<PUSHSetTagAliasArg>& argument)
{
    if (tagAliasMng_)
        tagAliasMng_->setTagsAlias(argument);
}

void PUSHClientController::reportLaunch(double time)
{
    becomeActiveTime_ = std::trunc(time);
    if (networkService_ && networkService_->reportSession())
        networkService_->reportSession()->prepareActive(becomeActiveTime_);
}

void PUSHClientController::reportInactive(double time)
{
    if (networkService_ && networkService_->reportSession())
        networkService_->reportSession()->reportInactive(time);
}

void PUSHClientController::UDPReportAPNSState()
{
    if (hooks_.reportAPNSState)
        hooks_.reportAPNSState();
}

void PUSHClientController::setBadgeNumberReport(const Value& number)
{
    if (hooks_.setBadge)
        hooks_.setBadge(number);
}

void PUSHClientController::handleRemoteNotification(const Value& codeAndNotification)
{
    if (!codeAndNotification.isArray() || codeAndNotification.count() == 0)
        return;
    if (!networkService_ || !networkService_->reportSession())
        return;
    const Value& notification = codeAndNotification[1];
    const Value& flag = notification["_j_flag"];
    networkService_->reportSession()->reportMsgStatus(codeAndNotification[0].intValue(),
        notification["_j_msgid"].unsignedValue(), flag.isNil() ? -10000 : flag.intValue());
}

void PUSHClientController::setLatitude(const Value& location)
{
    if (networkService_ && networkService_->reportSession() && networkService_->reportSession()->locationInfo())
        networkService_->reportSession()->locationInfo()->addGpsInfo(location);
}

void PUSHClientController::setViewStart(const Value& pageName)
{
    if (!pageName.isString() || pageName.asString().empty()) {
        PUSHLogError("参数错误，pageName不能为空");
        return;
    }
    if (pageFlowController_)
        pageFlowController_->setViewStart(pageName.asString());
}

void PUSHClientController::setViewStop(const Value& pageName)
{
    if (!pageName.isString() || pageName.asString().empty()) {
        PUSHLogError("参数错误，pageName不能为空");
        return;
    }
    if (pageFlowController_)
        pageFlowController_->setViewStop(pageName.asString());
}

void PUSHClientController::setViewLogSecond(const Value& nameAndSeconds)
{
    if (pageFlowController_)
        pageFlowController_->setViewLogSecond(nameAndSeconds);
}

void PUSHClientController::onDidBecomeActive()
{
    if (networkService_)
        networkService_->onResumeFromInactive();
}

void PUSHClientController::onEnterBackground()
{
    if (networkService_)
        networkService_->onEnterBackground();
}

std::optional<std::string> PUSHClientController::readRegistrationID() const
{
    std::shared_ptr<PUSHUserDefaultsController> defaults;
    {
        std::lock_guard lock(userDefaultsMutex_);
        defaults = userDefaults_;
    }
    if (!defaults)
        return std::nullopt;
    const Value persisted = defaults->infoDictionary()[kRegistrationId];
    if (persisted.isString() && !persisted.asString().empty())
        return persisted.asString();
    auto held = defaults->registrationID();
    if (held && !held->empty())
        return held;
    return std::nullopt;
}

void PUSHClientController::synchronizeData()
{
    if (userDefaults_)
        userDefaults_->synchronize();
    NSUserDefaults::standardUserDefaults()->synchronize();
}

void PUSHClientController::setCrashLogON()
{
    if (isReportCrash_)
        return;
    isReportCrash_ = true;
    InitCrashReport();
}

void PUSHClientController::InitCrashReport()
{
    if (hooks_.installCrashReport)
        hooks_.installCrashReport();
}

void PUSHClientController::removeCrashReport()
{
    if (hooks_.removeCrashReport)
        hooks_.removeCrashReport();
}

void PUSHClientController::closePUSHThread()
{
    if (auto thread = std::dynamic_pointer_cast<PUSHThread>(NSThread::currentThread()))
        thread->close();
}
