// The allowed-types report.
#include "push/Local/PUSHAPNSStateReport.h"

#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UIScreen.h"

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
    if (UIDevice::currentDevice()->systemVersionNumber() >= 8.0) {
        auto settings = app->currentUserNotificationSettings();
        return settings ? settings->types() : 0;
    }
    return app->enabledRemoteNotificationTypes();
}
