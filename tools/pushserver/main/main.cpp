// quillmark-pushserver: runs the fake push server and its address service on loopback until
// SIGINT or SIGTERM, for running the app by hand against a push service.
//
//   quillmark-pushserver [--message JSON]
//
// Once both listen it prints "address-port N" (UDP, where the client asks for its push server)
// and "push-port N" (TCP) on standard output, one line each. After each login of a client it
// pushes the message (content JSON, by default a notice whose "extras" carry a notification
// payload for the phone), and it prints a line for every packet the client sends and for every
// UDP report it receives ("udp report" and the report's JSON, such as the allowed types).
#include "tools/pushserver/AddressService.h"
#include "tools/pushserver/PushServer.h"

#include <pthread.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <ctime>
#include <exception>
#include <string>
#include <thread>

namespace {

constexpr const char* kDefaultMessage
    = R"({"title":"Quillmark","message":"今日新增号码已上线","content_type":"text",)"
      R"("extras":{"aps":{"alert":"今日新增号码已上线"},"title":"新号码上线","addTime":"2026-12-07 09:00","pushType":0,"_j_msgid":20261207}})";

int usage()
{
    std::fprintf(stderr, "usage: quillmark-pushserver [--message JSON]\n");
    return 2;
}

// Pushes `message` once, after the first login the server answers, and reports what arrives.
void watch(pushserver::PushServer& server, const pushserver::AddressService& service, const std::string& message,
    const std::atomic<bool>& stopping)
{
    std::size_t seenFrames = 0;
    std::size_t seenReports = 0;
    const std::uint64_t messageId = static_cast<std::uint64_t>(std::time(nullptr)) * 1000;
    bool pushed = false;
    while (!stopping) {
        auto frames = server.frames();
        for (; seenFrames < frames.size(); ++seenFrames) {
            const auto& frame = frames[seenFrames];
            std::printf("packet command %u rid %llu uid %llu\n", static_cast<unsigned>(frame.command),
                static_cast<unsigned long long>(frame.rid), static_cast<unsigned long long>(frame.uid));
            if (frame.command == 1 && !pushed && server.pushMessage(1, messageId, message)) {
                pushed = true;
                std::printf("pushed message %llu\n", static_cast<unsigned long long>(messageId));
            }
        }
        auto reports = service.reports();
        for (; seenReports < reports.size(); ++seenReports)
            std::printf("udp report %s\n", reports[seenReports].c_str());
        std::fflush(stdout);
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
}

} // namespace

int main(int argc, char** argv)
{
    std::string message = kDefaultMessage;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--message" && i + 1 < argc)
            message = argv[++i];
        else
            return usage();
    }

    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    try {
        pushserver::PushServer server;
        pushserver::AddressService service;
        auto reply = pushserver::AddressReply::pointingAt(server.address());
        reply.udpReport = { "127.0.0.1:" + std::to_string(service.port()) };
        service.setReply(reply);
        std::printf("address-port %u\npush-port %u\n", static_cast<unsigned>(service.port()), static_cast<unsigned>(server.port()));
        std::fflush(stdout);
        std::atomic<bool> stopping = false;
        std::thread watcher([&] { watch(server, service, message, stopping); });
        int signal = 0;
        sigwait(&stopSignals, &signal);
        stopping = true;
        watcher.join();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "quillmark-pushserver: %s\n", e.what());
        return 1;
    }
    return 0;
}
