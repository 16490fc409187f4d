// Datagrams of the push client: address requests and UDP reports. PUSHUdpSocket is a
// non-blocking IPv4 UDP socket on the run loop of the thread that set it up; each queued
// PUSHUdpPacket carries its own send time-out. Delegate calls are posted to that run loop.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/foundation/NSError.h"
#include "platform/foundation/NSObject.h"
#include "platform/foundation/Value.h"
#include "platform/threading/FileDescriptorSource.h"
#include "platform/threading/NSRunLoop.h"
#include "platform/threading/NSTimer.h"

class PUSHUdpSocket;

class PUSHUdpSocketDelegate {
public:
    virtual ~PUSHUdpSocketDelegate() = default;
    virtual void didSendDataAtUdpSocket(const Bytes&, const std::shared_ptr<PUSHUdpSocket>&) {}
    virtual void didNotSendDataAtUdpSocket(const Bytes&, const std::shared_ptr<PUSHUdpSocket>&) {}
    virtual void didReceivedDataAtUdpSocket(const Bytes&, const std::shared_ptr<PUSHUdpSocket>&) {}
    virtual void didNotReceivedDataAtUdpSocketWithError(const std::shared_ptr<PUSHUdpSocket>&, const std::shared_ptr<NSError>&) {}
};

// Error domain of a failed receive; the code is the errno.
inline constexpr const char* PUSHUdpSysErrorDomain = "udp sys error";

class PUSHUdpPacket : public NSObject {
public:
    // With a time-out above 0.001 s a one-shot timer starts on the current run loop; when it
    // fires the socket reports the datagram as not sent and drops it.
    static std::shared_ptr<PUSHUdpPacket> initWithType(int type, Bytes data, std::optional<Bytes> address,
        double timeout, std::weak_ptr<PUSHUdpSocket> udpSocket);

    int type() const { return type_; }
    const Bytes& buffer() const { return buffer_; }
    const std::optional<Bytes>& address() const { return address_; }
    double timeout() const { return timeout_; }
    std::shared_ptr<NSTimer> timeoutTimer() const { return timeoutTimer_.lock(); }
    void invalidTimeoutTimer();
    std::string className() const override { return "PUSHUdpPacket"; }

    PUSHUdpPacket(int type, Bytes data, std::optional<Bytes> address, double timeout, std::weak_ptr<PUSHUdpSocket> udpSocket);

private:
    const int type_;
    const Bytes buffer_;
    const std::optional<Bytes> address_;
    const double timeout_;
    std::weak_ptr<NSTimer> timeoutTimer_;
    std::weak_ptr<PUSHUdpSocket> udpSocket_;
};

class PUSHUdpSocket : public NSObject {
public:
    static constexpr std::size_t kReceiveBufferSize = 16384;

    // Stores the delegate and sets the socket up on the current run loop.
    static std::shared_ptr<PUSHUdpSocket> initWithDelegate(std::weak_ptr<PUSHUdpSocketDelegate> delegate);
    ~PUSHUdpSocket() override;

    bool setup();
    // Fixes the peer of every later datagram (once).
    bool connectToHost(const std::string& host, std::uint16_t port);
    // Queues a datagram to host:port (or to the connected peer when host is empty).
    bool sendData(const Bytes& data, const std::string& host, std::uint16_t port, double timeout);
    void close();

    bool isSetuped() const { return isSetuped_; }
    bool isConnected() const { return isConnected_; }
    bool doCheck() const { return fd_ >= 0 && source_ && source_->isValid(); }
    std::size_t sendQueueCount() const { return sendQueue_.size(); }
    // The port of the socket's own end, for tests and logs.
    std::optional<std::uint16_t> localPort() const;
    std::shared_ptr<PUSHUdpSocketDelegate> delegate() const { return delegate_.lock(); }

    // The packet's time-out passed before it was sent.
    void timeoutWithUdpPacket(const std::shared_ptr<PUSHUdpPacket>& packet);

    std::string className() const override { return "PUSHUdpSocket"; }
    explicit PUSHUdpSocket(std::weak_ptr<PUSHUdpSocketDelegate> delegate);

private:
    void doSend();
    void doRecv();
    void reenableSocketCallbacks();
    void tearDown();
    bool fromExpectedSender(const Bytes& sender) const;
    void post(std::function<void(PUSHUdpSocketDelegate&, const std::shared_ptr<PUSHUdpSocket>&)> call);
    std::shared_ptr<PUSHUdpSocket> self();

    std::weak_ptr<PUSHUdpSocketDelegate> delegate_;
    int fd_ = -1;
    std::shared_ptr<threading::FileDescriptorSource> source_;
    std::weak_ptr<NSRunLoop> loop_;
    std::deque<std::shared_ptr<PUSHUdpPacket>> sendQueue_;
    // Where datagrams went; replies from anywhere else are not taken.
    std::vector<Bytes> destinations_;
    Bytes receiveBuffer_;
    bool isSetuped_ = false;
    bool isConnected_ = false;
};
