// The allowed-types report and the system-version reading it shares with local notifications.
#include "push/Local/PUSHAPNSStateReport.h"

#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UIScreen.h"
#include "push/Utilities/PUSHUtilities.h"

namespace push_local {

double systemVersionNumber() { return UIDevice::releaseNumber(PUSHSystemVersion()); }

} // namespace push_local

PUSHAPNSStateReport::PUSHAPNSStateReport()
{
    reportBody().set("apns_state", Value(allowedNotificationTypes()));
}

std::shared_ptr<PUSHAPNSStateReport> PUSHAPNSStateReport::init()
{
    return std::shared_ptr<PUSHAPNSStateReport>(new PUSHAPNSStateReport());
}

std::uint32_t PUSHAPNSStateReport::allowedNotificationTypes()
{
    auto app = UIApplication::sharedApplication();
    if (!app)
        return 0;
    if (push_local::systemVersionNumber() >= 8.0) {
        auto settings = app->currentUserNotificationSettings();
        return settings ? settings->types() : 0;
    }
    return app->enabledRemoteNotificationTypes();
}
