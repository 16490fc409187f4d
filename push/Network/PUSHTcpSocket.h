// The push client's one TCP connection to its push server: a non-blocking IPv4 socket on the
// run loop of the thread that set it up. It sends queued packets in order and cuts the received
// stream into packets by their length field. Delegate calls other than received packets are
// posted to that run loop, so they run after the current callback returns.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <string>

#include "platform/foundation/NSObject.h"
#include "platform/foundation/Value.h"
#include "platform/threading/FileDescriptorSource.h"
#include "platform/threading/NSRunLoop.h"
#include "push/Network/PUSHPacketFramer.h"

class NSTimer;
class PUSHTcpSocket;
class PUSHReceivedPacketController;

class PUSHTcpSocketDelegate {
public:
    virtual ~PUSHTcpSocketDelegate() = default;
    virtual void connectionDidSetup(const std::shared_ptr<PUSHTcpSocket>&) {}
    virtual void connectionDidClose(const std::shared_ptr<PUSHTcpSocket>&) {}
    virtual void connectionDidFailed() {}
    virtual void connectionDidReceiveElement(
        const std::shared_ptr<PUSHTcpSocket>&, const std::shared_ptr<PUSHReceivedPacketController>&) {}
    virtual void connectionDidSendData(const std::shared_ptr<PUSHTcpSocket>&, const Bytes&) {}
    virtual void connectionSendQueueEmpty(const std::shared_ptr<PUSHTcpSocket>&) {}
};

enum PUSHTcpConnectionState : int {
    PUSHTcpIdle = 0,
    PUSHTcpConnecting = 1,
    PUSHTcpConnected = 2,
};

class PUSHTcpSocket : public NSObject {
public:
    static constexpr std::size_t ulDefaultReceiveBufferSize = 100240;
    // Seconds a connect may stay under way before the socket gives it up.
    static constexpr double kConnectTimeout = 5;

    // Nothing is opened yet.
    static std::shared_ptr<PUSHTcpSocket> initWithHost(
        const std::string& host, std::uint16_t port, std::weak_ptr<PUSHTcpSocketDelegate> delegate);
    ~PUSHTcpSocket() override;

    // Opens the socket and starts connecting without waiting for the peer; true when the
    // connection is under way (or the socket is not idle). The delegate hears
    // connectionDidSetup once it is established, connectionDidClose when it fails.
    bool setup();
    // Queues a packet; false (nothing queued) unless connected.
    bool sendData(const Bytes& data);
    void close();

    std::optional<std::string> localAddress() const;
    std::optional<std::string> remoteAddress() const;
    bool isConnected() const { return connectionState_ == PUSHTcpConnected; }
    int connectionState() const { return connectionState_; }
    bool isSetuped() const { return isSetuped_; }
    bool careAllDataSent() const { return careAllDataSent_; }
    void setCareAllDataSent(bool value);
    bool doCheck() const { return fd_ >= 0 && source_ && source_->isValid(); }
    const std::string& host() const { return host_; }
    std::uint16_t port() const { return port_; }
    std::shared_ptr<PUSHTcpSocketDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(std::weak_ptr<PUSHTcpSocketDelegate> delegate) { delegate_ = std::move(delegate); }
    // Packets waiting to be sent, the one being sent included.
    std::size_t sendQueueCount() const { return sendQueue_.size(); }

    std::string className() const override { return "PUSHTcpSocket"; }

    PUSHTcpSocket(std::string host, std::uint16_t port, std::weak_ptr<PUSHTcpSocketDelegate> delegate);

private:
    void onReadable();
    void onWritable();
    void onConnectedWithErrorCode(int error);
    void doRead();
    void doSend();
    void reenableSocketCallbacks();
    void tearDown();
    void startConnectTimer();
    void stopConnectTimer();
    void clearReceived();
    // Runs `call` with the delegate on the socket's run loop after the current callback.
    void post(std::function<void(PUSHTcpSocketDelegate&, const std::shared_ptr<PUSHTcpSocket>&)> call);
    std::shared_ptr<PUSHTcpSocket> self();

    const std::string host_;
    const std::uint16_t port_;
    std::weak_ptr<PUSHTcpSocketDelegate> delegate_;
    int fd_ = -1;
    std::shared_ptr<threading::FileDescriptorSource> source_;
    std::weak_ptr<NSRunLoop> loop_;
    std::weak_ptr<NSTimer> connectTimer_;
    Bytes receivingBuffer_;
    push::PacketFramer framer_;
    std::deque<Bytes> sendQueue_;
    std::size_t ulSendingDataSentLen_ = 0;
    bool isSetuped_ = false;
    bool careAllDataSent_ = false;
    int connectionState_ = PUSHTcpIdle;
};
