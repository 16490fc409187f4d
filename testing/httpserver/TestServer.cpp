// Listening, accepting and the test-facing queries of the test server.
#include "testing/httpserver/TestServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

#include "testing/httpserver/ServerState.h"

namespace httpserver {

namespace {

int listenOn(int family, std::uint16_t port)
{
    int fd = ::socket(family, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    int one = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    int rc = -1;
    if (family == AF_INET) {
        sockaddr_in addr {};
        addr.sin_family = AF_INET;
        addr.sin_port = htons(port);
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        rc = ::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    } else {
        ::setsockopt(fd, IPPROTO_IPV6, IPV6_V6ONLY, &one, sizeof one);
        sockaddr_in6 addr {};
        addr.sin6_family = AF_INET6;
        addr.sin6_port = htons(port);
        addr.sin6_addr = in6addr_loopback;
        rc = ::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    }
    if (rc != 0 || ::listen(fd, 256) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

std::uint16_t boundPort(int fd)
{
    sockaddr_in addr {};
    socklen_t len = sizeof addr;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
    return ntohs(addr.sin_port);
}

Handler constant(Reply reply)
{
    return [reply = std::move(reply)](const Request&) { return reply; };
}

} // namespace

TestServer::TestServer(ServerOptions options)
    : state_(std::make_shared<ServerState>(std::move(options)))
{
    // With ::1 as well, the same port must be free on both; retry with another port if not.
    for (int attempt = 0; attempt < 20 && listeners_.empty(); ++attempt) {
        int v4 = listenOn(AF_INET, 0);
        if (v4 < 0)
            throw std::runtime_error(std::string("cannot listen on 127.0.0.1: ") + std::strerror(errno));
        port_ = boundPort(v4);
        listeners_.push_back(v4);
        if (!state_->options().ipv6)
            break;
        int v6 = listenOn(AF_INET6, port_);
        if (v6 >= 0) {
            listeners_.push_back(v6);
            break;
        }
        ::close(v4);
        listeners_.clear();
    }
    if (listeners_.empty())
        throw std::runtime_error("cannot listen on ::1");
    wakeFd_ = ::eventfd(0, EFD_CLOEXEC);
    acceptThread_ = std::thread(&TestServer::acceptLoop, this);
}

ServerOptions TestServer::https(const Identity& identity)
{
    ServerOptions options;
    options.tls = identity;
    return options;
}

TestServer::~TestServer()
{
    stop();
}

void TestServer::stop()
{
    if (!acceptThread_.joinable())
        return;
    state_->requestStop();
    std::uint64_t one = 1;
    [[maybe_unused]] auto n = ::write(wakeFd_, &one, sizeof one);
    acceptThread_.join();
    for (int fd : listeners_)
        ::close(fd);
    listeners_.clear();
    state_->joinAll();
    ::close(wakeFd_);
    wakeFd_ = -1;
}

void TestServer::acceptLoop()
{
    std::vector<pollfd> fds;
    fds.push_back({ wakeFd_, POLLIN, 0 });
    for (int fd : listeners_)
        fds.push_back({ fd, POLLIN, 0 });
    while (true) {
        int rc = ::poll(fds.data(), fds.size(), -1);
        if (rc < 0 && errno != EINTR)
            return;
        if (fds[0].revents != 0 || state_->stopping())
            return;
        for (std::size_t i = 1; i < fds.size(); ++i) {
            if (!(fds[i].revents & POLLIN))
                continue;
            int fd = ::accept4(fds[i].fd, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd < 0)
                continue;
            int one = 1;
            ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
            if (state_->options().uploadReadBytes > 0) {
                int small = 4096;
                ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &small, sizeof small);
            }
            state_->start(fd);
        }
        state_->joinFinished();
    }
}

bool TestServer::isTls() const
{
    return state_->tlsContext() != nullptr;
}

std::string TestServer::origin() const
{
    return urlWithHost("127.0.0.1", "");
}

std::string TestServer::url(std::string_view path) const
{
    return urlWithHost("127.0.0.1", path);
}

std::string TestServer::urlWithHost(std::string_view host, std::string_view path) const
{
    std::string out = isTls() ? "https://" : "http://";
    out += host;
    out += ":" + std::to_string(port_);
    if (!path.empty() && path.front() != '/')
        out += "/";
    out += path;
    return out;
}

void TestServer::on(std::string path, Handler handler)
{
    state_->routes().exact(std::move(path), std::move(handler));
}

void TestServer::on(std::string path, Reply reply)
{
    on(std::move(path), constant(std::move(reply)));
}

void TestServer::onPrefix(std::string prefix, Handler handler)
{
    state_->routes().prefix(std::move(prefix), std::move(handler));
}

void TestServer::onPrefix(std::string prefix, Reply reply)
{
    onPrefix(std::move(prefix), constant(std::move(reply)));
}

void TestServer::setDefault(Handler handler)
{
    state_->routes().setDefault(std::move(handler));
}

void TestServer::clearRoutes()
{
    state_->routes().clear();
}

Routes& TestServer::routes()
{
    return state_->routes();
}

std::vector<Request> TestServer::requests() const
{
    std::lock_guard lock(state_->mutex);
    return state_->requests;
}

std::vector<Request> TestServer::requestsFor(std::string_view path) const
{
    std::vector<Request> out;
    std::lock_guard lock(state_->mutex);
    for (const auto& r : state_->requests) {
        if (r.path == path)
            out.push_back(r);
    }
    return out;
}

std::size_t TestServer::requestCount() const
{
    std::lock_guard lock(state_->mutex);
    return state_->recorded;
}

std::size_t TestServer::requestCount(std::string_view path) const
{
    return requestsFor(path).size();
}

std::optional<Request> TestServer::lastRequest() const
{
    std::lock_guard lock(state_->mutex);
    if (state_->requests.empty())
        return std::nullopt;
    return state_->requests.back();
}

bool TestServer::waitForRequests(std::size_t count, std::chrono::milliseconds timeout) const
{
    std::unique_lock lock(state_->mutex);
    return state_->changed.wait_for(lock, timeout, [&] { return state_->recorded >= count; });
}

void TestServer::clearRequests()
{
    std::lock_guard lock(state_->mutex);
    state_->requests.clear();
    state_->recorded = 0;
}

std::size_t TestServer::openConnections() const
{
    std::lock_guard lock(state_->mutex);
    return state_->open;
}

std::uint64_t TestServer::connectionsAccepted() const
{
    std::lock_guard lock(state_->mutex);
    return state_->accepted;
}

bool TestServer::waitForOpenConnections(std::size_t count, std::chrono::milliseconds timeout) const
{
    std::unique_lock lock(state_->mutex);
    return state_->changed.wait_for(lock, timeout, [&] { return state_->open == count; });
}

std::size_t TestServer::tlsHandshakeFailures() const
{
    std::lock_guard lock(state_->mutex);
    return state_->handshakeFailures;
}

std::size_t TestServer::badRequests() const
{
    std::lock_guard lock(state_->mutex);
    return state_->badRequests;
}

} // namespace httpserver
