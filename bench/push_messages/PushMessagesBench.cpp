// 3,000 messages pushed by the fake push server through the push client, set up as the
// application sets it up (PUSHService: its thread, its loggers, its file caches), timed until
// the server has read the last receipt; against a raw loopback echo of packets of the same size.
#include <benchmark/benchmark.h>

#include <map>

#include "RawEcho.h"
#include "platform/sysconfig/SCNetworkReachability.h"
#include "push/Client/PUSHClientController.h"
#include "push/Network/PUSHHostResolver.h"
#include "push/Service/PUSHService.h"
#include "push/Service/PUSHServiceInstance.h"
#include "testing/RunLoopPump.h"
#include "testing/TempHome.h"
#include "testing/httpserver/TestServer.h"
#include "tools/pushserver/AddressService.h"
#include "tools/pushserver/PushServer.h"

namespace {

constexpr std::size_t kMessages = 3000;
constexpr std::uint8_t kLoginCommand = 1;
constexpr std::uint8_t kReceiptCommand = 4; // the message command plus one
constexpr const char* kAppKey = "0123456789abcdef01234567";
const std::string kContent
    = R"({"message":"新消息","title":"Quillmark","content_type":"text","extras":{"from":"bench","n":1}})";

struct Resolver : push::HostResolver {
    std::optional<std::string> resolve(const std::string& name, double) override
    {
        return name == "sis.bench" ? std::optional<std::string>("127.0.0.1") : std::nullopt;
    }
};

// The push client of the application, logged in to the fake server; made once for the run.
struct LoggedInClient {
    LoggedInClient()
    {
        home.useMainBundle("Bench.app",
            "<key>CFBundleIdentifier</key><string>com.quillmark.bench</string>"
            "<key>CFBundleVersion</key><string>1</string>");
        sysconfig::injectFlags(kSCNetworkReachabilityFlagsReachable);
        reports.setDefault([](const httpserver::Request&) { return httpserver::Reply(200); });
        auto reply = pushserver::AddressReply::pointingAt(server.address());
        reply.udpReport = { "127.0.0.1:" + std::to_string(service.port()) };
        service.setReply(reply);

        push_client::ClientOptions options;
        options.addressConfiguration.sisHosts = { "sis.bench" };
        options.addressConfiguration.pushDomain = "push.bench";
        options.addressConfiguration.sisPort = options.addressConfiguration.sisSecondPort = service.port();
        options.resolver = std::make_shared<Resolver>();
        options.reportEndpoint = reports.url("/v2/report");
        options.userEndpoint = reports.url("/v1/user/");
        push_service::setClientOptions(options);
        PUSHService::setupWithOption(Value::dictionary(), kAppKey, "chan", false);
        PUSHService::registerDeviceToken(Bytes { 0xAB, 0x01, 0xFF });
        loggedIn = server.waitForFrames(kLoginCommand, 1, 30) && pushAndWait(1);
        runMainQueue();
    }

    // Pushes `count` messages and waits for their receipts; false when they did not all come.
    bool pushAndWait(std::size_t count)
    {
        for (std::size_t i = 0; i < count; ++i)
            server.pushMessage(1, ++messageID, kContent);
        receipts += count;
        return server.waitForFrames(kReceiptCommand, receipts, 120);
    }
    // What the client posted to the main queue, handled between rounds as a main thread would
    // have handled it meanwhile.
    static void runMainQueue() { testing_support::settle(1); }

    testing_support::TempHome home;
    pushserver::PushServer server;
    pushserver::AddressService service;
    httpserver::TestServer reports;
    std::uint64_t messageID = 1000;
    std::size_t receipts = 0;
    bool loggedIn = false;
};

LoggedInClient& client()
{
    static auto* instance = new LoggedInClient(); // the client thread outlives the run
    return *instance;
}

void BM_PushMessagesToLastReceipt(benchmark::State& state)
{
    auto& c = client();
    if (!c.loggedIn) {
        state.SkipWithError("the push client did not log in");
        return;
    }
    for (auto _ : state) {
        if (!c.pushAndWait(kMessages)) {
            state.SkipWithError("receipts missing");
            return;
        }
        state.PauseTiming();
        LoggedInClient::runMainQueue();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * kMessages));
}
BENCHMARK(BM_PushMessagesToLastReceipt)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

// Baseline: the same number of packets of the same size, each answered, over raw loopback TCP.
void BM_RawLoopbackEcho(benchmark::State& state)
{
    const std::size_t packetBytes = 20 + 1 + 8 + 2 + kContent.size();
    for (auto _ : state) {
        if (!push_bench::rawEcho(kMessages, packetBytes)) {
            state.SkipWithError("echo failed");
            return;
        }
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * kMessages));
}
BENCHMARK(BM_RawLoopbackEcho)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
