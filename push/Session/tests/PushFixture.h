// Fixture parts shared by the session, client and service tests: a temporary home, virtual time
// at the real date (the fake push server stamps logins with the real clock), the fake push
// server with its address service and a UDP report sink, a resolver that knows the test's host
// names, and the waits that pump the main run loop.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <functional>
#include <map>
#include <optional>
#include <string>

#include "push/Network/PUSHAddressController.h"
#include "push/Network/PUSHHostResolver.h"
#include "push/Session/PUSHSessionController.h"
#include "push/Storage/PUSHFileCacheController.h"
#include "push/Utilities/PUSHUtilities.h"
#include "testing/RunLoopPump.h"
#include "testing/TempHome.h"
#include "testing/VirtualTime.h"
#include "tools/pushserver/AddressService.h"
#include "tools/pushserver/PushServer.h"

namespace push_tests {

inline constexpr const char* kAppKey = "0123456789abcdef01234567";

struct FakeResolver : push::HostResolver {
    std::map<std::string, std::string> answers;
    std::function<void()> onResolve;
    std::optional<std::string> resolve(const std::string& name, double) override
    {
        if (onResolve)
            onResolve();
        auto found = answers.find(name);
        return found == answers.end() ? std::nullopt : std::optional<std::string>(found->second);
    }
};

class PushFixture : public ::testing::Test {
protected:
    // Clears what a previous test may have left in the process-wide push state.
    void resetPushState()
    {
        testing_support::runUntil([] { return true; }); // the test thread is the main thread
        PUSHFileCacheController::resetSharedInstancesForTesting();
        PUSHSessionController::removeHeartBeatLock();
        push_utilities::setServerClockCorrection(0);
        resolver->answers = { { "sis1.test", "127.0.0.1" } };
    }
    void endPushState()
    {
        testing_support::settle(2);
        PUSHFileCacheController::resetSharedInstancesForTesting();
        push_utilities::setServerClockCorrection(0);
    }
    // The discovery reply: `pushServer`, the UDP sink, and the HTTP server when there is one.
    pushserver::AddressReply addressReply(const std::string& pushServer, std::optional<std::uint16_t> httpPort = {}) const
    {
        auto reply = pushserver::AddressReply::pointingAt(pushServer);
        reply.udpReport = { "127.0.0.1:" + std::to_string(sink.port()) };
        if (httpPort)
            reply.user = reply.ips[2] = "127.0.0.1:" + std::to_string(*httpPort);
        return reply;
    }
    // Host names and ports of the test's address discovery.
    void configureAddresses(PUSHAddressConfiguration& configuration) const
    {
        configuration.sisHosts = { "sis1.test", "sis2.test", "sis3.test" };
        configuration.pushDomain = "push.test";
        configuration.sisPort = configuration.sisSecondPort = service.port();
    }
    void script(const std::function<void(pushserver::Script&)>& change) { auto s = server.script(); change(s), server.setScript(s); }
    bool waitFor(const std::function<bool()>& predicate) { return testing_support::runUntil(predicate); }
    std::size_t framesOf(std::uint8_t command) const { return server.framesWithCommand(command).size(); }
    // Moves virtual time on and lets the main loop run what became due.
    void advance(double seconds) { clock.advance(seconds), testing_support::settle(2); }

    testing_support::TempHome home;
    testing_support::VirtualTime clock { std::floor(std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count()) };
    pushserver::PushServer server;
    pushserver::AddressService service;
    pushserver::AddressService sink;
    std::shared_ptr<FakeResolver> resolver = std::make_shared<FakeResolver>();
};

} // namespace push_tests
