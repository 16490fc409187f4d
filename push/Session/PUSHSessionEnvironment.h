// What the session needs from the client around it: the persisted identity, the address
// discovery set-up, the network status, whether the device token has been handled, and the
// client facts that go into a registration. The client controller fills it in; tests give
// their own.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "push/Network/PUSHAddressController.h"
#include "push/Network/PUSHHostResolver.h"
#include "push/Utilities/PUSHUtilities.h"

class PUSHUserDefaultsController;

namespace push_session {

// The client's own facts sent with a registration.
struct ClientInfo {
    std::string bundleIdentifier;
    std::string bundleVersion;
    std::string systemVersion;
    std::string modelName;
    std::string pushChanel;
    std::uint8_t configApsEnvironment = 0;
    std::uint8_t apsEnvironment = 0;
};

struct SessionEnvironment {
    // The persisted identity and addresses; required.
    std::shared_ptr<PUSHUserDefaultsController> userDefaults;
    PUSHAddressConfiguration addressConfiguration;
    // Name look-ups of address discovery and of the push domain; the system resolver when none.
    std::shared_ptr<push::HostResolver> resolver;
    // The network controller's status: 0 none, 2 Wi-Fi, 3 cellular.
    std::function<std::int32_t()> networkStatus = [] { return push_utilities::kStatusWiFi; };
    // Whether the device token has been handled (registration waits for it).
    std::function<bool()> deviceTokenUpdated = [] { return true; };
    std::function<ClientInfo()> clientInfo = [] { return ClientInfo {}; };
};

} // namespace push_session
