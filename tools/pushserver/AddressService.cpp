// The fake address service's socket, replies and thread.
#include "tools/pushserver/AddressService.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <nlohmann/json.hpp>
#include <stdexcept>

namespace pushserver {

namespace {

int boundLoopbackSocket(std::uint16_t& port)
{
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0)
        throw std::runtime_error("address service: no socket");
    sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0
        || ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        ::close(fd);
        throw std::runtime_error("address service: cannot bind loopback");
    }
    port = ntohs(address.sin_port);
    return fd;
}

Bytes toBytes(const std::string& text) { return Bytes(text.begin(), text.end()); }

} // namespace

AddressReply AddressReply::pointingAt(const std::string& pushServer)
{
    AddressReply reply;
    reply.user = "127.0.0.1:8081";
    reply.ips = { pushServer, pushServer, "127.0.0.1:8082" };
    reply.udpReport = { "127.0.0.1:9001" };
    return reply;
}

std::string AddressReply::json() const
{
    nlohmann::json object = nlohmann::json::object();
    if (!user.empty())
        object["user"] = user;
    if (!ips.empty())
        object["ips"] = ips;
    if (!udpReport.empty())
        object["udp_report"] = udpReport;
    if (!opConns.empty() || includeOpConns)
        object["op_conns"] = opConns;
    return object.dump();
}

AddressService::AddressService()
{
    fd_ = boundLoopbackSocket(port_);
    std::uint16_t otherPort = 0;
    otherFd_ = boundLoopbackSocket(otherPort);
    wakeFd_ = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    reply_ = toBytes(AddressReply::pointingAt("127.0.0.1:7000").json());
    thread_ = std::thread([this] { run(); });
}

AddressService::~AddressService()
{
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    const std::uint64_t one = 1;
    [[maybe_unused]] auto written = ::write(wakeFd_, &one, sizeof one);
    thread_.join();
    ::close(fd_);
    ::close(otherFd_);
    ::close(wakeFd_);
}

void AddressService::setReply(const AddressReply& reply) { setReplyBytes(toBytes(reply.json())); }

void AddressService::setReplyBytes(Bytes bytes)
{
    std::lock_guard lock(mutex_);
    reply_ = std::move(bytes);
}

void AddressService::setSilent(bool silent)
{
    std::lock_guard lock(mutex_);
    silent_ = silent;
}

void AddressService::setAnswerFromOtherPort(bool other)
{
    std::lock_guard lock(mutex_);
    otherPort_ = other;
}

std::vector<Bytes> AddressService::datagrams() const
{
    std::lock_guard lock(mutex_);
    return datagrams_;
}

std::vector<DiscoveryRequest> AddressService::requests() const
{
    std::lock_guard lock(mutex_);
    return requests_;
}

std::vector<std::string> AddressService::reports() const
{
    std::vector<std::string> texts;
    for (const Bytes& datagram : datagrams()) {
        if (datagram.size() < 5 || datagram[2] != 'U' || datagram[3] != 'F' || datagram[4] != '{')
            continue;
        texts.emplace_back(datagram.begin() + 4, datagram.end());
    }
    return texts;
}

std::size_t AddressService::answeredCount() const
{
    std::lock_guard lock(mutex_);
    return answered_;
}

void AddressService::run()
{
    // Big enough for any datagram, so an over-long one is recorded whole.
    Bytes buffer(65536);
    for (;;) {
        pollfd polled[2] = { { wakeFd_, POLLIN, 0 }, { fd_, POLLIN, 0 } };
        if (::poll(polled, 2, -1) < 0 && errno != EINTR)
            return;
        std::lock_guard lock(mutex_);
        if (stopping_)
            return;
        if (!(polled[1].revents & POLLIN))
            continue;
        sockaddr_in sender {};
        socklen_t senderLength = sizeof sender;
        const ssize_t got = ::recvfrom(fd_, buffer.data(), buffer.size(), MSG_DONTWAIT,
            reinterpret_cast<sockaddr*>(&sender), &senderLength);
        if (got < 0)
            continue;
        datagrams_.emplace_back(buffer.begin(), buffer.begin() + got);
        auto request = parseDiscoveryRequest(buffer.data(), static_cast<std::size_t>(got));
        if (!request)
            continue;
        requests_.push_back(*request);
        if (silent_)
            continue;
        const int from = otherPort_ ? otherFd_ : fd_;
        if (::sendto(from, reply_.data(), reply_.size(), MSG_NOSIGNAL, reinterpret_cast<sockaddr*>(&sender), senderLength) >= 0)
            ++answered_;
    }
}

} // namespace pushserver
