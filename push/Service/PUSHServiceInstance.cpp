// The shared service: creation of the client and its thread, the hooks the client calls, the
// forwarding to the client thread, and the application-state handlers.
#include "push/Service/PUSHServiceInstance.h"

#include <chrono>
#include <future>

#include "platform/persistence/NSBundle.h"
#include "platform/threading/NSNotificationCenter.h"
#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UIScreen.h"
#include "push/Client/PUSHTagAlias.h"
#include "push/Crash/PUSHCaughtExceptionHandlerController.h"
#include "push/Local/PUSHAPNSStateReport.h"
#include "push/Local/PUSHBadgeNumberController.h"
#include "push/Network/PUSHThread.h"
#include "push/Storage/PUSHFileCacheController.h"
#include "push/Storage/PUSHUserDefaultsController.h"
#include "push/Utilities/PUSHLog.h"
#include "push/Utilities/PUSHUtilities.h"

namespace push_service {

namespace {

std::mutex sharedMutex;
std::shared_ptr<Service>& sharedSlot()
{
    static auto* slot = new std::shared_ptr<Service>; // outlives the client thread's last block
    return *slot;
}

std::mutex optionsMutex;
std::optional<push_client::ClientOptions>& optionsSlot()
{
    static auto* slot = new std::optional<push_client::ClientOptions>;
    return *slot;
}

// The device and bundle values the client is given before its set-up.
struct DeviceValues {
    std::string systemVersion;
    std::string bundleIdentifier;
    Value bundleVersion;
    std::optional<std::string> provisionUrl;
    std::string modelName;
};

DeviceValues deviceValues()
{
    DeviceValues values;
    values.systemVersion = UIDevice::currentDevice()->systemVersion();
    auto bundle = NSBundle::mainBundle();
    values.bundleIdentifier = bundle->bundleIdentifier().value_or("");
    const Value& version = bundle->objectForInfoDictionaryKey("CFBundleVersion");
    if (version.isNumber() || version.isString())
        values.bundleVersion = Value(version.doubleValue());
    values.provisionUrl = bundle->pathForResource("embedded", "mobileprovision");
    values.modelName = PUSHHardwareMachine();
    return values;
}

// How long a reset or a synchronous read waits for the client thread before giving up.
constexpr auto kClientThreadWait = std::chrono::seconds(5);

} // namespace

void setClientOptions(std::optional<push_client::ClientOptions> options)
{
    std::lock_guard lock(optionsMutex);
    optionsSlot() = std::move(options);
}

std::shared_ptr<Service> Service::sharedService()
{
    std::lock_guard lock(sharedMutex);
    auto& slot = sharedSlot();
    if (!slot) {
        slot = std::make_shared<Service>();
        slot->build();
    }
    return slot;
}

void Service::resetShared()
{
    std::shared_ptr<Service> old;
    {
        std::lock_guard lock(sharedMutex);
        old = std::exchange(sharedSlot(), nullptr);
    }
    if (!old)
        return;
    old->removeAppStateNotifications();
    push_crash::setCrashLinks({});
    if (old->clientThread_ && !old->clientThread_->isFinished()) {
        auto done = std::make_shared<std::promise<void>>();
        auto finished = done->get_future();
        old->clientThread_->invokeBlock([client = old->client_, done] {
            client->close();
            client->closePUSHThread();
            done->set_value();
        });
        finished.wait_for(kClientThreadWait);
    }
    PUSHThreadController::shareThreadInstance()->deleteThread(kPUSHClientThreadName);
    PUSHClientController::resetSharedClientForTesting();
    PUSHFileCacheController::resetSharedInstancesForTesting();
}

Service::Service() = default;

Service::~Service()
{
    removeAppStateNotifications();
}

void Service::build()
{
    client_ = PUSHClientController::sharedClient();
    clientThread_ = PUSHThread::builder(PUSHThreadAliveMode)->setThreadName(kPUSHClientThreadName)->build();
    PUSHThreadController::shareThreadInstance()->addThread(clientThread_);
    wireHooks();
    addAppStateNotifications();
}

void Service::wireHooks()
{
    auto badge = PUSHBadgeNumberController::init();
    push_client::ClientHooks hooks;
    hooks.badgeManager = badge;
    hooks.setBadge = [badge](const Value& number) { badge->setBadge(number); };
    hooks.reportAPNSState = [] { PUSHAPNSStateReport::init()->send(); };
    hooks.installCrashReport = [] { PUSHInstallCrashHandlers(); };
    hooks.removeCrashReport = [] { PUSHRemoveCrashHandlers(); };
    client_->setHooks(std::move(hooks));

    std::weak_ptr<PUSHClientController> weak = client_;
    push_crash::CrashLinks links;
    links.reportInactive = [weak](double time) {
        if (auto client = weak.lock())
            client->reportInactive(time);
    };
    links.synchronizeData = [weak] {
        if (auto client = weak.lock())
            client->synchronizeData();
    };
    push_crash::setCrashLinks(std::move(links));
}

void Service::perform(std::function<void(PUSHClientController&)> block)
{
    client_->perform(std::move(block));
}

bool Service::isFromBackground() const
{
    std::lock_guard lock(mutex_);
    return isFromBackground_;
}

// Set-up ----------------------------------------------------------------------------------------

void Service::setupClient()
{
    auto device = deviceValues();
    std::optional<push_client::ClientOptions> options;
    {
        std::lock_guard lock(optionsMutex);
        options = optionsSlot();
    }
    if (options)
        perform([options = std::move(*options)](PUSHClientController& c) { c.setOptions(options); });
    perform([v = device.systemVersion](PUSHClientController& c) { c.setSystemVersion(v); });
    perform([v = device.bundleIdentifier](PUSHClientController& c) { c.setBundleIdentifier(v); });
    perform([v = device.bundleVersion](PUSHClientController& c) { c.setBundleVersion(v); });
    perform([v = device.provisionUrl](PUSHClientController& c) { c.setEmProvisionUrl(v); });
    perform([v = device.modelName](PUSHClientController& c) { c.setModelName(v); });
    perform([](PUSHClientController& c) { c.setup(); });
}

void Service::updateDeviceToken(const Bytes& token)
{
    perform([token](PUSHClientController& c) { c.updateDeviceToken(token); });
}

void Service::setTagAlias(
    std::shared_ptr<PUSHSetTagAliasArg> argument, std::function<void(PUSHSetTagAliasArg&)> checkCallback)
{
    // The identity is read on the client thread, after the set-up that loads it. A request that
    // is dropped has nothing of its callback checked.
    perform([argument = std::move(argument), checkCallback = std::move(checkCallback)](PUSHClientController& c) {
        if (!c.userDefaults() || !c.userDefaults()->isAppRegisted()) {
            PUSHLogError("app not registed, give up set tag:%@ alias:%@", argument->tags, argument->alias);
            return;
        }
        if (checkCallback)
            checkCallback(*argument);
        c.setTagAlias(argument);
    });
}

std::string Service::registrationID()
{
    // The stored identity is read on the caller's thread: a busy client thread must not hold
    // the caller up, nor turn a registered device's identifier into "".
    return client_->readRegistrationID().value_or("");
}

// Reports and application state -----------------------------------------------------------------

void Service::reportLaunch()
{
    perform([time = PUSHServerTimestamp()](PUSHClientController& c) { c.reportLaunch(time); });
}

void Service::reportInactive()
{
    perform([time = PUSHServerTimestamp()](PUSHClientController& c) { c.reportInactive(time); });
}

void Service::synchronize()
{
    perform([](PUSHClientController& c) { c.synchronizeData(); });
}

void Service::applicationWillTerminate()
{
    reportInactive();
    synchronize();
}

void Service::applicationDidBecomeActive()
{
    std::lock_guard lock(mutex_);
    isFromBackground_ = false;
}

void Service::applicationDidEnterBackground()
{
    {
        std::lock_guard lock(mutex_);
        isFromBackground_ = true;
    }
    reportInactive();
    synchronize();
    perform([](PUSHClientController& c) { c.onEnterBackground(); });
}

void Service::applicationWillEnterForeground()
{
    perform([](PUSHClientController& c) { c.onDidBecomeActive(); });
    reportLaunch();
}

void Service::addAppStateNotifications()
{
    auto center = NSNotificationCenter::defaultCenter();
    std::weak_ptr<Service> weak = weak_from_this();
    auto observe = [&](const std::string& name, void (Service::*handler)()) {
        observers_.push_back(center->addObserverForName(name, nullptr, nullptr, [weak, handler](const auto&) {
            if (auto self = weak.lock())
                ((*self).*handler)();
        }));
    };
    observe(UIApplicationWillTerminateNotification, &Service::applicationWillTerminate);
    observe(UIApplicationWillResignActiveNotification, &Service::applicationWillResignActive);
    observe(UIApplicationDidBecomeActiveNotification, &Service::applicationDidBecomeActive);
    observe(UIApplicationDidEnterBackgroundNotification, &Service::applicationDidEnterBackground);
    observe(UIApplicationWillEnterForegroundNotification, &Service::applicationWillEnterForeground);
}

void Service::removeAppStateNotifications()
{
    auto center = NSNotificationCenter::defaultCenter();
    for (auto& observer : observers_)
        center->removeObserver(observer.get());
    observers_.clear();
}

} // namespace push_service
