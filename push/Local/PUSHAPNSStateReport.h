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
