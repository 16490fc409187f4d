// The UDP report telling the push server, once per start, which remote-notification types the
// user allows: "apns_state", an integer bit set (badge 1, sound 2, alert 4).
#pragma once

#include <cstdint>
#include <memory>

#include "push/Session/PUSHUDPReport.h"

class PUSHAPNSStateReport : public PUSHUDPReport {
public:
    // Reads the allowed types now and puts them into the body. Sent with send().
    static std::shared_ptr<PUSHAPNSStateReport> init();
    // The types the application is allowed: its current user-notification settings from system
    // version 8.0 on, its enabled remote-notification types before.
    static std::uint32_t allowedNotificationTypes();

    std::string className() const override { return "PUSHAPNSStateReport"; }

protected:
    PUSHAPNSStateReport();
};

namespace push_local {

// The push facts' system version read as a number, as the platform reads one ("8.0.2" is 8.0,
// "" the latest known release; the missing version's "-1" the oldest).
double systemVersionNumber();

} // namespace push_local
