// The push connection's TCP socket: connect, send queue and stream reassembly.
#include "push/Network/PUSHTcpSocket.h"

#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <mutex>
#include <utility>

#include "platform/threading/NSTimer.h"
#include "push/Network/PUSHReceivedPacket.h"
#include "push/Network/SocketAddress.h"
#include "push/Network/SocketWatch.h"
#include "push/Utilities/PUSHLog.h"
#include "push/Utilities/PUSHUtilities.h"

namespace {

// Socket callbacks of every push connection run one at a time.
std::recursive_mutex& callbackLock()
{
    static auto* lock = new std::recursive_mutex;
    return *lock;
}

int pendingError(int fd)
{
    int error = 0;
    socklen_t length = sizeof error;
    if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0)
        return errno;
    return error;
}

void setNativeOptions(int fd)
{
    timeval receiveTimeout { 1, 500000 };
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &receiveTimeout, sizeof receiveTimeout);
    const int size = static_cast<int>(PUSHTcpSocket::ulDefaultReceiveBufferSize);
    ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &size, sizeof size);
    ::setsockopt(fd, SOL_SOCKET, SO_SNDBUF, &size, sizeof size);
}

// Starts a non-blocking connect; false when the kernel refused it at once. Whether it went
// through is the socket's first event on the run loop.
bool startConnect(int fd, const sockaddr_in& address)
{
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0)
        return true;
    return errno == EINPROGRESS || errno == EINTR;
}

} // namespace

PUSHTcpSocket::PUSHTcpSocket(std::string host, std::uint16_t port, std::weak_ptr<PUSHTcpSocketDelegate> delegate)
    : host_(std::move(host))
    , port_(port)
    , delegate_(std::move(delegate))
    , receivingBuffer_(ulDefaultReceiveBufferSize)
{
}

std::shared_ptr<PUSHTcpSocket> PUSHTcpSocket::initWithHost(
    const std::string& host, std::uint16_t port, std::weak_ptr<PUSHTcpSocketDelegate> delegate)
{
    return std::make_shared<PUSHTcpSocket>(host, port, std::move(delegate));
}

PUSHTcpSocket::~PUSHTcpSocket() { tearDown(); }

std::shared_ptr<PUSHTcpSocket> PUSHTcpSocket::self() { return std::static_pointer_cast<PUSHTcpSocket>(shared_from_this()); }

bool PUSHTcpSocket::setup()
{
    if (connectionState_ != PUSHTcpIdle)
        return true;
    if (isSetuped_)
        return false;
    fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, IPPROTO_TCP);
    if (fd_ < 0) {
        PUSHLogError("create tcp socket error: errocode %d", errno);
        return false;
    }
    auto watch = push::net::watchSocket(fd_, self(), &PUSHTcpSocket::onReadable, &PUSHTcpSocket::onWritable);
    source_ = watch.source;
    loop_ = watch.loop;
    setNativeOptions(fd_);

    auto address = PUSHSocketAddressData(host_, port_);
    auto native = address ? push::net::nativeAddress(*address) : std::nullopt;
    if (!native) {
        PUSHLogError("connect failed with get remote address");
        tearDown();
        return false;
    }
    if (!startConnect(fd_, *native)) {
        PUSHLogError("connect failed with %@", std::string("socket error"));
        tearDown();
        return false;
    }
    isSetuped_ = true;
    connectionState_ = PUSHTcpConnecting;
    source_->enableWriteOnce();
    startConnectTimer();
    return true;
}

// The thread goes on with its run loop while the connect is under way; a connect that is
// neither accepted nor refused in time is given up here.
void PUSHTcpSocket::startConnectTimer()
{
    std::weak_ptr<PUSHTcpSocket> weak = self();
    connectTimer_ = NSTimer::scheduledTimerWithTimeInterval(kConnectTimeout, false, [weak](const std::shared_ptr<NSTimer>&) {
        auto socket = weak.lock();
        if (!socket || socket->connectionState_ != PUSHTcpConnecting)
            return;
        std::lock_guard lock(callbackLock());
        PUSHLogError("connect failed with %@", std::string("socket timeout"));
        socket->close();
    });
}

void PUSHTcpSocket::stopConnectTimer()
{
    if (auto timer = std::exchange(connectTimer_, {}).lock())
        timer->invalidate();
}

// The first event of a connecting socket, readable or writable, is its connect event.
void PUSHTcpSocket::onReadable()
{
    std::lock_guard lock(callbackLock());
    auto keep = self();
    if (connectionState_ == PUSHTcpConnecting)
        onConnectedWithErrorCode(pendingError(fd_));
    else if (connectionState_ == PUSHTcpConnected)
        doRead();
}

void PUSHTcpSocket::onWritable()
{
    std::lock_guard lock(callbackLock());
    auto keep = self();
    if (connectionState_ == PUSHTcpConnecting)
        onConnectedWithErrorCode(pendingError(fd_));
    else if (connectionState_ == PUSHTcpConnected)
        doSend();
}

void PUSHTcpSocket::onConnectedWithErrorCode(int error)
{
    stopConnectTimer();
    if (error == 0 && connectionState_ == PUSHTcpConnecting) {
        connectionState_ = PUSHTcpConnected;
        PUSHLogDebug("连接主机成功");
        post([](PUSHTcpSocketDelegate& delegate, const std::shared_ptr<PUSHTcpSocket>& socket) {
            delegate.connectionDidSetup(socket);
        });
        reenableSocketCallbacks();
        return;
    }
    PUSHLogError("连接主机失败: %d", error);
    close();
    post([](PUSHTcpSocketDelegate& delegate, const std::shared_ptr<PUSHTcpSocket>&) { delegate.connectionDidFailed(); });
}

bool PUSHTcpSocket::sendData(const Bytes& data)
{
    if (connectionState_ != PUSHTcpConnected)
        return false;
    sendQueue_.push_back(data);
    reenableSocketCallbacks();
    return true;
}

void PUSHTcpSocket::setCareAllDataSent(bool value)
{
    careAllDataSent_ = value;
    if (value)
        reenableSocketCallbacks();
}

void PUSHTcpSocket::reenableSocketCallbacks()
{
    if (!doCheck())
        return;
    if (careAllDataSent_ || !sendQueue_.empty())
        source_->enableWriteOnce();
}

void PUSHTcpSocket::doRead()
{
    const ssize_t got = ::recv(fd_, receivingBuffer_.data(), receivingBuffer_.size(), MSG_DONTWAIT);
    if (got < 0) {
        const int error = errno;
        if (error == EAGAIN || error == EWOULDBLOCK || error == EINTR || error == ENOTCONN)
            return;
        PUSHLogError("tcp read error occured: errocode %d", error);
        clearReceived();
        close();
        return;
    }
    if (got == 0) {
        PUSHLogDebug("tcp connection closed by remote");
        clearReceived();
        close();
        return;
    }
    framer_.append(receivingBuffer_.data(), static_cast<std::size_t>(got));
    const auto source = source_;
    Bytes frame;
    for (;;) {
        const auto status = framer_.next(frame);
        if (status == push::PacketFramer::Status::NeedMore)
            break;
        if (status == push::PacketFramer::Status::BadLength) {
            // A length of 0 cannot be followed: the stream is lost.
            PUSHLogError("tcp packet length invalid, close");
            clearReceived();
            close();
            return;
        }
        auto packet = PUSHReceivedPacketController::packetWithBuffer(frame.data(), frame.size());
        PUSHLogDebug("Got tcp command");
        if (!packet)
            continue;
        if (auto delegate = delegate_.lock())
            delegate->connectionDidReceiveElement(self(), packet);
        // The delegate may have closed (or even reopened) the connection.
        if (source_ != source || connectionState_ != PUSHTcpConnected)
            return;
    }
    reenableSocketCallbacks();
}

void PUSHTcpSocket::doSend()
{
    if (sendQueue_.empty()) {
        reenableSocketCallbacks();
        post([](PUSHTcpSocketDelegate& delegate, const std::shared_ptr<PUSHTcpSocket>& socket) {
            delegate.connectionSendQueueEmpty(socket);
        });
        return;
    }
    const Bytes& first = sendQueue_.front();
    if (first.size() < ulSendingDataSentLen_) {
        PUSHLogError("send data error: data len %zu < sent len %lu", first.size(), static_cast<unsigned long>(ulSendingDataSentLen_));
        close();
        return;
    }
    const ssize_t sent = ::send(fd_, first.data() + ulSendingDataSentLen_, first.size() - ulSendingDataSentLen_,
        MSG_NOSIGNAL | MSG_DONTWAIT);
    if (sent < 0) {
        const int error = errno;
        // A full send buffer or an interrupted call is not a broken connection: try again.
        if (error == EAGAIN || error == EWOULDBLOCK || error == EINTR) {
            source_->enableWriteOnce();
            return;
        }
        PUSHLogDebug("tcp send data error :%d", error);
        close();
        return;
    }
    reenableSocketCallbacks();
    ulSendingDataSentLen_ += static_cast<std::size_t>(sent);
    if (ulSendingDataSentLen_ < first.size())
        return;
    ulSendingDataSentLen_ = 0;
    Bytes done = std::move(sendQueue_.front());
    sendQueue_.pop_front();
    post([done = std::move(done)](PUSHTcpSocketDelegate& delegate, const std::shared_ptr<PUSHTcpSocket>& socket) {
        delegate.connectionDidSendData(socket, done);
    });
}

void PUSHTcpSocket::close()
{
    if (!isSetuped_)
        return;
    PUSHLogDebug("关闭TCP连接");
    isSetuped_ = false;
    connectionState_ = PUSHTcpIdle;
    tearDown();
    clearReceived();
    ulSendingDataSentLen_ = 0;
    sendQueue_.clear();
    post([](PUSHTcpSocketDelegate& delegate, const std::shared_ptr<PUSHTcpSocket>& socket) {
        delegate.connectionDidClose(socket);
    });
}

void PUSHTcpSocket::tearDown()
{
    stopConnectTimer();
    push::net::unwatchSocket(source_, fd_);
}

void PUSHTcpSocket::clearReceived() { framer_.reset(); }

std::optional<std::string> PUSHTcpSocket::localAddress() const
{
    return isConnected() ? push::net::socketEndText(fd_, false) : std::nullopt;
}

std::optional<std::string> PUSHTcpSocket::remoteAddress() const
{
    return isConnected() ? push::net::socketEndText(fd_, true) : std::nullopt;
}

void PUSHTcpSocket::post(std::function<void(PUSHTcpSocketDelegate&, const std::shared_ptr<PUSHTcpSocket>&)> call)
{
    auto loop = loop_.lock();
    if (!loop)
        return;
    loop->performInModes({ NSDefaultRunLoopMode }, [socket = self(), call = std::move(call)] {
        if (auto delegate = socket->delegate())
            call(*delegate, socket);
    });
}
