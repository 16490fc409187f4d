// The fake push server's connections, its script and its thread.
#include "tools/pushserver/PushServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <deque>
#include <stdexcept>

namespace pushserver {

namespace {

using SteadyClock = std::chrono::steady_clock;

std::uint64_t wallSeconds()
{
    return static_cast<std::uint64_t>(
        std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch()).count());
}

} // namespace

struct PushServer::Connection {
    int fd = -1;
    Bytes input;
    Bytes output;
    std::size_t outputSent = 0;
    std::deque<std::pair<SteadyClock::time_point, Bytes>> delayed;
    std::optional<Drop> closeWhenWritten;
    std::uint64_t uid = 0;
};

PushServer::PushServer()
{
    listenFd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    wakeFd_ = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (listenFd_ < 0 || wakeFd_ < 0)
        throw std::runtime_error("push server: no socket");
    sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (::bind(listenFd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || ::listen(listenFd_, 16) != 0
        || ::getsockname(listenFd_, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        throw std::runtime_error("push server: cannot listen on loopback");
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this] { run(); });
}

PushServer::~PushServer()
{
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake();
    thread_.join();
    for (auto& connection : connections_)
        if (connection->fd >= 0)
            ::close(connection->fd);
    ::close(listenFd_);
    ::close(wakeFd_);
}

std::string PushServer::address() const { return "127.0.0.1:" + std::to_string(port_); }

void PushServer::wake()
{
    const std::uint64_t one = 1;
    [[maybe_unused]] auto written = ::write(wakeFd_, &one, sizeof one);
}

void PushServer::setScript(Script script)
{
    std::lock_guard lock(mutex_);
    script_ = std::move(script);
}

Script PushServer::script() const
{
    std::lock_guard lock(mutex_);
    return script_;
}

void PushServer::setFrameHandler(FrameHandler handler)
{
    std::lock_guard lock(mutex_);
    handler_ = std::move(handler);
}

void PushServer::setCloseOnAccept(std::optional<Drop> how)
{
    std::lock_guard lock(mutex_);
    closeOnAccept_ = how;
}

void PushServer::setReading(bool reading)
{
    {
        std::lock_guard lock(mutex_);
        reading_ = reading;
    }
    wake();
}

PushServer::Connection* PushServer::newestOpen()
{
    for (auto it = connections_.rbegin(); it != connections_.rend(); ++it)
        if ((*it)->fd >= 0 && !(*it)->closeWhenWritten)
            return it->get();
    return nullptr;
}

bool PushServer::send(const Bytes& bytes)
{
    {
        std::lock_guard lock(mutex_);
        Connection* connection = newestOpen();
        if (!connection)
            return false;
        connection->output.insert(connection->output.end(), bytes.begin(), bytes.end());
    }
    wake();
    return true;
}

bool PushServer::pushMessage(std::uint8_t type, std::uint64_t messageID, const std::string& content, std::uint8_t version)
{
    std::lock_guard lock(mutex_);
    Connection* connection = newestOpen();
    if (!connection)
        return false;
    return send(packets::message(version, messageRid_++, connection->uid, type, messageID, content));
}

bool PushServer::drop(Drop how)
{
    {
        std::lock_guard lock(mutex_);
        Connection* connection = newestOpen();
        if (!connection)
            return false;
        connection->closeWhenWritten = how;
    }
    wake();
    return true;
}

std::vector<ClientFrame> PushServer::frames() const
{
    std::lock_guard lock(mutex_);
    return frames_;
}

std::vector<ClientFrame> PushServer::framesWithCommand(std::uint8_t command) const
{
    std::lock_guard lock(mutex_);
    std::vector<ClientFrame> found;
    for (const auto& frame : frames_)
        if (frame.command == command)
            found.push_back(frame);
    return found;
}

bool PushServer::waitForFrames(std::uint8_t command, std::size_t count, double timeoutSeconds) const
{
    std::unique_lock lock(mutex_);
    return framesArrived_.wait_for(
        lock, std::chrono::duration<double>(timeoutSeconds), [&] { return commandCounts_[command] >= count; });
}

std::size_t PushServer::acceptedCount() const
{
    std::lock_guard lock(mutex_);
    return accepted_;
}

std::size_t PushServer::openConnectionCount() const
{
    std::lock_guard lock(mutex_);
    std::size_t open = 0;
    for (const auto& connection : connections_)
        open += connection->fd >= 0;
    return open;
}

std::size_t PushServer::malformedCount() const
{
    std::lock_guard lock(mutex_);
    return malformed_;
}

std::size_t PushServer::clientClosedCount() const
{
    std::lock_guard lock(mutex_);
    return clientClosed_;
}

void PushServer::clearFrames()
{
    std::lock_guard lock(mutex_);
    frames_.clear();
    commandCounts_ = {};
}

// The server thread ----------------------------------------------------------------------------

void PushServer::run()
{
    std::vector<pollfd> polled;
    std::vector<Connection*> polledConnections;
    for (;;) {
        int timeout = -1;
        {
            std::lock_guard lock(mutex_);
            if (stopping_)
                return;
            releaseDueLocked();
            polled.assign({ { wakeFd_, POLLIN, 0 }, { listenFd_, POLLIN, 0 } });
            polledConnections.clear();
            for (auto& connection : connections_) {
                if (connection->fd < 0)
                    continue;
                const bool pending = connection->output.size() > connection->outputSent;
                if (!pending && connection->closeWhenWritten) {
                    closeConnection(*connection, *connection->closeWhenWritten);
                    continue;
                }
                const short events = static_cast<short>((reading_ ? POLLIN : 0) | (pending ? POLLOUT : 0));
                if (!events)
                    continue; // a hung-up peer would otherwise wake the poll over and over
                polled.push_back({ connection->fd, events, 0 });
                polledConnections.push_back(connection.get());
            }
            timeout = pollTimeoutLocked();
        }
        const int ready = ::poll(polled.data(), polled.size(), timeout);
        if (ready < 0 && errno != EINTR)
            return;
        std::lock_guard lock(mutex_);
        if (polled[0].revents & POLLIN) {
            std::uint64_t count = 0;
            [[maybe_unused]] auto got = ::read(wakeFd_, &count, sizeof count);
        }
        if (polled[1].revents & POLLIN)
            acceptOne();
        for (std::size_t i = 2; i < polled.size(); ++i) {
            Connection& connection = *polledConnections[i - 2];
            if (connection.fd >= 0 && (polled[i].revents & POLLOUT))
                writeTo(connection);
            if (connection.fd >= 0 && reading_ && (polled[i].revents & (POLLIN | POLLHUP | POLLERR)))
                readFrom(connection);
        }
    }
}

void PushServer::acceptOne()
{
    const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd < 0)
        return;
    ++accepted_;
    const int one = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    auto connection = std::make_unique<Connection>();
    connection->fd = fd;
    if (closeOnAccept_)
        closeConnection(*connection, *closeOnAccept_);
    connections_.push_back(std::move(connection));
}

void PushServer::closeConnection(Connection& connection, Drop how)
{
    if (connection.fd < 0)
        return;
    if (how == Drop::Reset) {
        linger abort { 1, 0 };
        ::setsockopt(connection.fd, SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
    }
    ::close(connection.fd);
    connection.fd = -1;
    connection.delayed.clear();
}

void PushServer::readFrom(Connection& connection)
{
    std::uint8_t buffer[65536];
    const ssize_t got = ::recv(connection.fd, buffer, sizeof buffer, MSG_DONTWAIT);
    if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR))
        return;
    if (got <= 0) {
        ++clientClosed_;
        closeConnection(connection, Drop::Fin);
        return;
    }
    connection.input.insert(connection.input.end(), buffer, buffer + got);
    std::size_t used = 0;
    while (connection.fd >= 0) {
        bool malformed = false;
        auto frame = parseClientFrame(connection.input.data() + used, connection.input.size() - used, malformed);
        if (malformed) {
            ++malformed_;
            closeConnection(connection, Drop::Fin);
            return;
        }
        if (!frame)
            break;
        used += frame->length;
        if (frame->uid)
            connection.uid = frame->uid;
        frames_.push_back(*frame);
        ++commandCounts_[frame->command];
        answer(connection, *frame);
        framesArrived_.notify_all();
    }
    connection.input.erase(connection.input.begin(), connection.input.begin() + static_cast<std::ptrdiff_t>(used));
}

void PushServer::writeTo(Connection& connection)
{
    const ssize_t sent = ::send(connection.fd, connection.output.data() + connection.outputSent,
        connection.output.size() - connection.outputSent, MSG_NOSIGNAL | MSG_DONTWAIT);
    if (sent < 0) {
        if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)
            closeConnection(connection, Drop::Fin);
        return;
    }
    connection.outputSent += static_cast<std::size_t>(sent);
    if (connection.outputSent == connection.output.size()) {
        connection.output.clear();
        connection.outputSent = 0;
    }
}

void PushServer::answer(Connection& connection, const ClientFrame& frame)
{
    if (handler_) {
        FrameHandler handler = handler_;
        if (auto replies = handler(frame)) {
            for (auto& reply : *replies)
                queueReply(connection, std::move(reply), 0);
            return;
        }
    }
    for (auto& reply : scriptedReplies(frame))
        queueReply(connection, std::move(reply), script_.replyDelay);
}

std::vector<Bytes> PushServer::scriptedReplies(const ClientFrame& frame)
{
    const Script& s = script_;
    switch (frame.command) {
    case 0:
        return { packets::registrationReply(frame.rid, s.registrationStatus, s.assignedUid, s.password, s.registrationID) };
    case 1:
        return { packets::loginReply(frame.rid, frame.uid, s.loginStatus, s.sessionID, s.serverVersion, s.sessionKey,
            static_cast<std::uint32_t>(static_cast<std::int64_t>(wallSeconds()) + s.serverTimeOffset)) };
    case 2:
        if (!s.ackHeartbeats)
            return {};
        return { packets::ack(frame.rid, frame.uid, frame.command, 0, 0, wallSeconds() * 1000) };
    case 10: {
        std::vector<Bytes> replies;
        if (s.ackTagAlias)
            replies.push_back(packets::ack(frame.rid, frame.uid, frame.command, 0, 0, wallSeconds() * 1000));
        if (s.answerTagAlias) {
            const std::string answer = "{\"sequence\":" + std::to_string(frame.rid) + ",\"code\":" + std::to_string(s.tagAliasCode) + "}";
            const std::uint64_t rid = messageRid_++;
            replies.push_back(packets::message(1, rid, frame.uid, 20, rid, answer));
        }
        return replies;
    }
    case 13:
        if (!s.deviceTokenStatus)
            return {};
        return { packets::deviceTokenReply(frame.rid, frame.uid, *s.deviceTokenStatus) };
    default:
        return {}; // receipts and anything else are only recorded
    }
}

void PushServer::queueReply(Connection& connection, Bytes bytes, double delay)
{
    if (delay <= 0 && connection.delayed.empty()) {
        connection.output.insert(connection.output.end(), bytes.begin(), bytes.end());
        return;
    }
    const auto due = SteadyClock::now() + std::chrono::duration_cast<SteadyClock::duration>(std::chrono::duration<double>(delay));
    connection.delayed.emplace_back(due, std::move(bytes));
}

void PushServer::releaseDueLocked()
{
    const auto now = SteadyClock::now();
    for (auto& connection : connections_) {
        while (!connection->delayed.empty() && connection->delayed.front().first <= now) {
            Bytes& bytes = connection->delayed.front().second;
            connection->output.insert(connection->output.end(), bytes.begin(), bytes.end());
            connection->delayed.pop_front();
        }
    }
}

int PushServer::pollTimeoutLocked() const
{
    std::optional<SteadyClock::time_point> earliest;
    for (const auto& connection : connections_)
        if (connection->fd >= 0 && !connection->delayed.empty())
            if (!earliest || connection->delayed.front().first < *earliest)
                earliest = connection->delayed.front().first;
    if (!earliest)
        return -1;
    const auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(*earliest - SteadyClock::now()).count();
    return wait <= 0 ? 0 : static_cast<int>(wait) + 1;
}

} // namespace pushserver
