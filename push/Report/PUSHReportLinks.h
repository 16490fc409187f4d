// What the report code needs from the rest of the push client, wired by the client controller:
// the persisted identity and backup addresses, the addresses learnt by address discovery, the
// page-flow session, the network status, whether crash reporting is on, and the two endpoints.
// Process-wide; safe to read from any thread.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

class PUSHUserDefaultsController;
class PUSHAddressController;
class PUSHPageFlowSession;

namespace push {

inline constexpr const char* kDefaultReportEndpoint = "http://report.push.brovik.org/v2/report";
inline constexpr const char* kDefaultUserEndpoint = "http://user.push.brovik.org/v1/user/";

struct ReportLinks {
    std::shared_ptr<PUSHUserDefaultsController> userDefaults;
    std::shared_ptr<PUSHAddressController> addressController;
    std::shared_ptr<PUSHPageFlowSession> pageFlowSession;
    // The network service's current status (0: no network). None: a network is assumed.
    std::function<std::int32_t()> networkStatus;
    // Whether the client reports crashes. None: it does not.
    std::function<bool()> isReportCrash;
    std::string reportEndpoint = kDefaultReportEndpoint;
    std::string userEndpoint = kDefaultUserEndpoint;
};

void setReportLinks(ReportLinks links);
ReportLinks reportLinks();

// The identity reports are signed with; zero and empty before registration.
struct ReportIdentity {
    std::uint64_t uid = 0;
    std::optional<std::string> password;
    std::string appKey;
    std::string openUdid;
};
ReportIdentity reportIdentity();

// The network service's status through the link.
std::int32_t reportNetworkStatus();

} // namespace push
