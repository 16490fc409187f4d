// A fake push server for tests and local runs: a TCP server on 127.0.0.1 (port chosen by the
// kernel) with a thread of its own. It records every packet the client sends and answers
// registration, login, heartbeats, tags/alias and device-token reports as its Script says;
// tests can also push messages, send any bytes, delay replies, stop reading and drop the
// connection with a FIN or a reset. Every member may be called from any thread.
#pragma once

#include <array>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "tools/pushserver/ServerPackets.h"

namespace pushserver {

// How the automatic replies look.
struct Script {
    // Registration (command 0): a status other than 0 sends the status and an error text.
    std::uint16_t registrationStatus = 0;
    std::uint64_t assignedUid = 1000001;
    std::string password = "server-password";
    std::string registrationID = "server-registration-id";
    // Login (command 1); the server time is the real clock plus the offset, in seconds.
    std::uint16_t loginStatus = 0;
    std::uint32_t sessionID = 7;
    std::uint16_t serverVersion = 1;
    std::string sessionKey = "session-key";
    std::int64_t serverTimeOffset = 0;
    // Heartbeats (command 2) and tags/alias (command 10) get an acknowledgement (command 19);
    // tags/alias also gets its answer, a message of type 20 {"sequence":rid,"code":n}.
    bool ackHeartbeats = true;
    bool ackTagAlias = true;
    bool answerTagAlias = true;
    int tagAliasCode = 0;
    // Device-token reports (command 13): the reply status, or none for no reply.
    std::optional<std::uint16_t> deviceTokenStatus = 0;
    // Real seconds each automatic reply is held back.
    double replyDelay = 0;
};

enum class Drop {
    Fin, // an orderly close
    Reset, // a reset (linger 0)
};

class PushServer {
public:
    // Packets to send for a frame; none lets the script answer it.
    using FrameHandler = std::function<std::optional<std::vector<Bytes>>(const ClientFrame&)>;

    PushServer();
    ~PushServer();
    PushServer(const PushServer&) = delete;
    PushServer& operator=(const PushServer&) = delete;

    std::uint16_t port() const { return port_; }
    // "127.0.0.1:<port>", as the address service hands it out.
    std::string address() const;

    void setScript(Script script);
    Script script() const;
    void setFrameHandler(FrameHandler handler);
    // Connections are closed as soon as they are accepted (none: kept).
    void setCloseOnAccept(std::optional<Drop> how);
    // While false, nothing is read from the client (its sends pile up in the kernel).
    void setReading(bool reading);

    // Actions on the newest open connection; false when there is none.
    bool send(const Bytes& bytes);
    bool pushMessage(std::uint8_t type, std::uint64_t messageID, const std::string& content, std::uint8_t version = 1);
    // Closes the connection once everything queued for it was written.
    bool drop(Drop how = Drop::Fin);

    std::vector<ClientFrame> frames() const;
    std::vector<ClientFrame> framesWithCommand(std::uint8_t command) const;
    // Waits until `count` frames with `command` were received, or the time is up (false).
    bool waitForFrames(std::uint8_t command, std::size_t count, double timeoutSeconds) const;
    std::size_t acceptedCount() const;
    std::size_t openConnectionCount() const;
    // Connections closed because the client sent a length below the header.
    std::size_t malformedCount() const;
    // Connections the client closed (FIN or reset seen by the server).
    std::size_t clientClosedCount() const;
    void clearFrames();

private:
    struct Connection;
    void run();
    void acceptOne();
    void readFrom(Connection& connection);
    void writeTo(Connection& connection);
    void answer(Connection& connection, const ClientFrame& frame);
    std::vector<Bytes> scriptedReplies(const ClientFrame& frame);
    void queueReply(Connection& connection, Bytes bytes, double delay);
    void closeConnection(Connection& connection, Drop how);
    Connection* newestOpen();
    int pollTimeoutLocked() const;
    void releaseDueLocked();
    void wake();

    int listenFd_ = -1;
    int wakeFd_ = -1;
    std::uint16_t port_ = 0;
    mutable std::recursive_mutex mutex_; // recursive: a frame handler may call send()
    mutable std::condition_variable_any framesArrived_;
    Script script_;
    FrameHandler handler_;
    std::optional<Drop> closeOnAccept_;
    bool reading_ = true;
    bool stopping_ = false;
    std::vector<std::unique_ptr<Connection>> connections_;
    std::vector<ClientFrame> frames_;
    std::array<std::size_t, 256> commandCounts_ {}; // frames_ counted by command
    std::size_t accepted_ = 0;
    std::size_t malformed_ = 0;
    std::size_t clientClosed_ = 0;
    std::uint64_t messageRid_ = 1;
    std::thread thread_;
};

} // namespace pushserver
