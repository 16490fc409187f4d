// Fuzz target: arbitrary bytes as the stream the push server sends to a session. Every packet
// cut from it is handed to the session as a received one (registration and login replies,
// acknowledgements, messages); whatever arrives, the session's queues stay bounded and a
// failed login never leaves it logged in.
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "platform/persistence/NSUserDefaults.h"
#include "push/Network/PUSHPacketFramer.h"
#include "push/Network/PUSHReceivedPacket.h"
#include "push/Session/PUSHSessionController.h"
#include "push/Storage/PUSHFileCacheController.h"
#include "push/Storage/PUSHUserDefaultsController.h"
#include "push/Utilities/PUSHLog.h"

namespace {

std::shared_ptr<PUSHUserDefaultsController> identity()
{
    static auto* held = [] {
        // A memory file system when there is one: every identity write is synchronised to disk.
        std::error_code ec;
        const bool shm = std::filesystem::is_directory("/dev/shm", ec);
        static std::string pattern = std::string(shm ? "/dev/shm" : "/tmp") + "/quillmark-fuzz-session-XXXXXX";
        if (!::mkdtemp(pattern.data()))
            std::abort();
        std::atexit([] {
            std::error_code ignored;
            std::filesystem::remove_all(pattern, ignored);
        });
        ::setenv("QUILLMARK_HOME", pattern.c_str(), 1);
        NSUserDefaults::resetStandardUserDefaults();
        PUSHFileCacheController::startShareInstance("PUSHDocument", PUSHFileCacheTypeDocument, true);
        PUSHFileCacheController::startShareInstance("PUSHJSON", PUSHFileCacheTypeCache, false);
        return new std::shared_ptr<PUSHUserDefaultsController>(
            PUSHUserDefaultsController::initWithBundleIdentifier("com.quillmark.fuzz", "0123456789abcdef01234567"));
    }();
    return *held;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    push_session::SessionEnvironment environment;
    environment.userDefaults = identity();
    auto session = PUSHSessionController::create(environment);

    push::PacketFramer framer;
    framer.append(data, size);
    Bytes frame;
    while (framer.next(frame) == push::PacketFramer::Status::Packet) {
        push::DecodeError error = push::DecodeError::None;
        auto packet = PUSHReceivedPacketController::decode(frame.data(), frame.size(), error);
        if (!packet)
            continue;
        const bool wasLogin = session->isLogin();
        packet->handleReceipt();
        auto login = std::dynamic_pointer_cast<PUSHLoginResponse>(packet);
        if (login && !wasLogin && login->statusCode() != 0 && session->isLogin())
            std::abort();
        if (session->sendingRequestCount() > PUSHSessionController::kQueueLimit
            || session->blockedRequestCount() > PUSHSessionController::kQueueLimit + 1)
            std::abort();
    }
    return 0;
}
