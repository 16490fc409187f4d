// Datagram socket of the push client, with per-packet send time-outs.
#include "push/Network/PUSHUdpSocket.h"

#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "push/Network/SocketAddress.h"
#include "push/Network/SocketWatch.h"
#include "push/Utilities/PUSHLog.h"
#include "push/Utilities/PUSHUtilities.h"

// Packets -------------------------------------------------------------------------------------

PUSHUdpPacket::PUSHUdpPacket(
    int type, Bytes data, std::optional<Bytes> address, double timeout, std::weak_ptr<PUSHUdpSocket> udpSocket)
    : type_(type)
    , buffer_(std::move(data))
    , address_(std::move(address))
    , timeout_(timeout)
    , udpSocket_(std::move(udpSocket))
{
}

std::shared_ptr<PUSHUdpPacket> PUSHUdpPacket::initWithType(
    int type, Bytes data, std::optional<Bytes> address, double timeout, std::weak_ptr<PUSHUdpSocket> udpSocket)
{
    auto packet = std::make_shared<PUSHUdpPacket>(type, std::move(data), std::move(address), timeout, std::move(udpSocket));
    if (timeout <= 0.001)
        return packet;
    std::weak_ptr<PUSHUdpPacket> weak = packet;
    auto timer = NSTimer::scheduledTimerWithTimeInterval(timeout, false, [weak](const std::shared_ptr<NSTimer>& fired) {
        auto strong = weak.lock();
        if (!strong || strong->timeoutTimer() != fired)
            return;
        if (auto socket = strong->udpSocket_.lock())
            socket->timeoutWithUdpPacket(strong);
    });
    packet->timeoutTimer_ = timer;
    return packet;
}

void PUSHUdpPacket::invalidTimeoutTimer()
{
    if (auto timer = timeoutTimer_.lock())
        timer->invalidate();
    timeoutTimer_.reset();
}

// Socket --------------------------------------------------------------------------------------

PUSHUdpSocket::PUSHUdpSocket(std::weak_ptr<PUSHUdpSocketDelegate> delegate)
    : delegate_(std::move(delegate))
    , receiveBuffer_(kReceiveBufferSize)
{
}

std::shared_ptr<PUSHUdpSocket> PUSHUdpSocket::initWithDelegate(std::weak_ptr<PUSHUdpSocketDelegate> delegate)
{
    auto socket = std::make_shared<PUSHUdpSocket>(std::move(delegate));
    socket->setup();
    return socket;
}

PUSHUdpSocket::~PUSHUdpSocket()
{
    for (auto& packet : sendQueue_)
        packet->invalidTimeoutTimer();
    tearDown();
}

std::shared_ptr<PUSHUdpSocket> PUSHUdpSocket::self() { return std::static_pointer_cast<PUSHUdpSocket>(shared_from_this()); }

bool PUSHUdpSocket::setup()
{
    if (isConnected_ || isSetuped_)
        return false;
    sendQueue_.clear();
    destinations_.clear();
    fd_ = ::socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, IPPROTO_UDP);
    if (fd_ < 0) {
        PUSHLogError("create udp socket error: errocode %d", errno);
        return false;
    }
    auto watch = push::net::watchSocket(fd_, self(), &PUSHUdpSocket::doRecv, &PUSHUdpSocket::doSend);
    source_ = watch.source;
    loop_ = watch.loop;
    isSetuped_ = true;
    return true;
}

bool PUSHUdpSocket::connectToHost(const std::string& host, std::uint16_t port)
{
    if (isConnected_)
        return true;
    if (!doCheck())
        return false;
    auto address = PUSHSocketAddressData(host, port);
    auto native = address ? push::net::nativeAddress(*address) : std::nullopt;
    if (!native)
        return false;
    if (::connect(fd_, reinterpret_cast<const sockaddr*>(&*native), sizeof *native) != 0)
        return false;
    PUSHLogDebug("udp socket connected");
    isConnected_ = true;
    return true;
}

bool PUSHUdpSocket::sendData(const Bytes& data, const std::string& host, std::uint16_t port, double timeout)
{
    PUSHLogDebug("send udp data");
    if (!doCheck())
        return false;
    std::optional<Bytes> address;
    if (!host.empty() && port) {
        address = PUSHSocketAddressData(host, port);
        if (!address && !isConnected_)
            return false;
    } else if (!isConnected_) {
        return false;
    }
    if (address && std::find(destinations_.begin(), destinations_.end(), *address) == destinations_.end())
        destinations_.push_back(*address);
    sendQueue_.push_back(PUSHUdpPacket::initWithType(0, data, std::move(address), timeout, self()));
    reenableSocketCallbacks();
    PUSHLogDebug("send udp data succeed");
    return true;
}

void PUSHUdpSocket::close()
{
    if (!isSetuped_)
        return;
    PUSHLogDebug("close udp socket,info:%@", std::string());
    for (auto& packet : sendQueue_)
        packet->invalidTimeoutTimer();
    sendQueue_.clear();
    tearDown();
    isSetuped_ = false;
    isConnected_ = false;
}

void PUSHUdpSocket::tearDown() { push::net::unwatchSocket(source_, fd_); }

void PUSHUdpSocket::reenableSocketCallbacks()
{
    if (doCheck() && !sendQueue_.empty())
        source_->enableWriteOnce();
}

void PUSHUdpSocket::timeoutWithUdpPacket(const std::shared_ptr<PUSHUdpPacket>& packet)
{
    auto found = std::find(sendQueue_.begin(), sendQueue_.end(), packet);
    if (found == sendQueue_.end())
        return;
    sendQueue_.erase(found);
    packet->invalidTimeoutTimer();
    if (auto delegate = delegate_.lock())
        delegate->didNotSendDataAtUdpSocket(packet->buffer(), self());
}

void PUSHUdpSocket::doSend()
{
    auto keep = self();
    if (sendQueue_.empty() || !doCheck())
        return;
    auto packet = sendQueue_.front();
    PUSHLogDebug("udp socket begin send behavior");
    const Bytes& buffer = packet->buffer();
    ssize_t sent = -1;
    auto native = packet->address() ? push::net::nativeAddress(*packet->address()) : std::nullopt;
    if (isConnected_ || !native)
        sent = ::send(fd_, buffer.data(), buffer.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
    else
        sent = ::sendto(fd_, buffer.data(), buffer.size(), MSG_NOSIGNAL | MSG_DONTWAIT,
            reinterpret_cast<const sockaddr*>(&*native), sizeof *native);
    if (sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) {
        // Not sent yet: the packet stays first and its time-out keeps running.
        source_->enableWriteOnce();
        return;
    }
    sendQueue_.pop_front();
    packet->invalidTimeoutTimer();
    if (sent < 0) {
        PUSHLogError("udp send error occured: errocode %d", errno);
        close();
        return;
    }
    if (static_cast<std::size_t>(sent) != buffer.size())
        PUSHLogWarn("upd send bytes length not expected");
    else
        post([data = buffer](PUSHUdpSocketDelegate& delegate, const std::shared_ptr<PUSHUdpSocket>& socket) {
            delegate.didSendDataAtUdpSocket(data, socket);
        });
    reenableSocketCallbacks();
}

bool PUSHUdpSocket::fromExpectedSender(const Bytes& sender) const
{
    if (isConnected_)
        return true; // the kernel takes datagrams from the connected peer only
    return std::find(destinations_.begin(), destinations_.end(), sender) != destinations_.end();
}

void PUSHUdpSocket::doRecv()
{
    auto keep = self();
    if (!doCheck())
        return;
    sockaddr_in sender {};
    socklen_t senderLength = sizeof sender;
    const ssize_t got = ::recvfrom(fd_, receiveBuffer_.data(), receiveBuffer_.size(), MSG_DONTWAIT,
        reinterpret_cast<sockaddr*>(&sender), &senderLength);
    if (got < 0) {
        const int error = errno;
        if (error == EAGAIN || error == EWOULDBLOCK || error == EINTR)
            return;
        PUSHLogError("udp read error occured: errocode %d", error);
        close();
        auto failure = NSError::errorWithDomain(PUSHUdpSysErrorDomain, error);
        post([failure](PUSHUdpSocketDelegate& delegate, const std::shared_ptr<PUSHUdpSocket>& socket) {
            delegate.didNotReceivedDataAtUdpSocketWithError(socket, failure);
        });
        return;
    }
    // Only the address a request went to may answer it; anyone else could redirect the client.
    if (!fromExpectedSender(push::net::addressBytes(sender))) {
        PUSHLogWarn("udp data from unexpected sender %@ dropped", push::net::addressText(sender));
        return;
    }
    Bytes data(receiveBuffer_.begin(), receiveBuffer_.begin() + got);
    post([data = std::move(data)](PUSHUdpSocketDelegate& delegate, const std::shared_ptr<PUSHUdpSocket>& socket) {
        delegate.didReceivedDataAtUdpSocket(data, socket);
    });
    reenableSocketCallbacks();
}

std::optional<std::uint16_t> PUSHUdpSocket::localPort() const
{
    if (fd_ < 0)
        return std::nullopt;
    sockaddr_in address {};
    socklen_t length = sizeof address;
    if (::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        return std::nullopt;
    return ntohs(address.sin_port);
}

void PUSHUdpSocket::post(std::function<void(PUSHUdpSocketDelegate&, const std::shared_ptr<PUSHUdpSocket>&)> call)
{
    auto loop = loop_.lock();
    if (!loop)
        return;
    loop->performInModes({ NSDefaultRunLoopMode }, [socket = self(), call = std::move(call)] {
        if (auto delegate = socket->delegate())
            call(*delegate, socket);
    });
}
