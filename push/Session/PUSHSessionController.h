// The push client's TCP session with its push server. It finds an address, connects over TCP
// and opens the UDP report socket, registers the device or logs in, keeps the connection alive
// with heartbeats, holds requests until they may be sent, matches acknowledgements to sent
// requests and reconnects with a growing back-off. Everything runs on the thread that calls
// setup (the push thread): connect turns that thread's run loop while it waits. The session
// installs itself as the current link of the packet classes.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/foundation/NSObject.h"
#include "platform/foundation/Value.h"
#include "push/Network/PUSHAddressController.h"
#include "push/Network/PUSHRequestIdCounter.h"
#include "push/Utilities/PUSHUtilities.h"
#include "push/Network/PUSHRequests.h"
#include "push/Network/PUSHSessionLink.h"
#include "push/Network/PUSHTcpSocket.h"
#include "push/Network/PUSHUdpSocket.h"
#include "push/Session/PUSHSessionEnvironment.h"
#include "push/Storage/PUSHFIFOQueue.h"

class NSTimer;
class PUSHUDPReport;

inline constexpr const char* kPUSHFNetworkIsConnectingNotification = "kPUSHFNetworkIsConnectingNotification";
inline constexpr const char* kPUSHNetworkDidSetupNotification = "kPUSHNetworkDidSetupNotification";
inline constexpr const char* kPUSHNetworkDidCloseNotification = "kPUSHNetworkDidCloseNotification";
inline constexpr const char* kPUSHNetworkDidLoginNotification = "kPUSHNetworkDidLoginNotification";
inline constexpr const char* kPUSHNetworkDidRegisterNotification = "kPUSHNetworkDidRegisterNotification";

inline constexpr const char* kPUSHLocalTimeKey = push_utilities::kStoredLocalTimeKey;
inline constexpr const char* kPUSHServerTimeKey = push_utilities::kStoredServerTimeKey;

class PUSHSessionController : public NSObject,
                              public PUSHTcpSocketDelegate,
                              public PUSHUdpSocketDelegate,
                              public push::SessionLink {
public:
    using Observer = std::function<void()>;
    using MessageHandler = std::function<void(const std::shared_ptr<PUSHMessageDispatchController>&)>;

    static constexpr std::size_t kQueueLimit = 20;
    static constexpr std::size_t kUdpBacklogLimit = 8;
    static constexpr double kTcpConnectWait = 2;
    static constexpr double kSisProtectSeconds = 180;
    static constexpr double kHeartbeatInterval = 290;
    static constexpr double kHeartbeatLockSeconds = 5;
    static constexpr double kNoNetworkDelay = 500;
    static constexpr const char* kTcpConnectIdentifier = "TCPConnectIdentifier";

    // init: queues, a new address controller, not set up; installs itself as the current link
    // and reads the clock offset of the stored login times (proofTimeInterval).
    static std::shared_ptr<PUSHSessionController> create(push_session::SessionEnvironment environment);
    // The installed session, if the current link is one.
    static std::shared_ptr<PUSHSessionController> currentSession();
    ~PUSHSessionController() override;

    void setup();
    bool close();
    std::uint64_t getRId(int kind) override;

    // Routing and queues.
    void sendRequest(const std::shared_ptr<PUSHRequest>& request) override;
    void doSendTcpRequest(const std::shared_ptr<PUSHRequest>& request);
    void enqueueRequest(const std::shared_ptr<PUSHRequest>& request);
    void dequeueRequest(std::uint64_t rid);
    std::shared_ptr<PUSHRequest> findBlockedRequest(std::uint64_t rid) const;
    void reenqueueSendingRequests();

    // Replies and time-outs.
    void onRegisterRespond(const std::shared_ptr<PUSHRegistrationResponse>& response) override;
    void onLoginRespond(const std::shared_ptr<PUSHLoginResponse>& response) override;
    void onAckOrRespReceived(const std::shared_ptr<PUSHReceivedPacketController>& packet) override;
    void onAckTimeoutForRequest(const std::shared_ptr<PUSHRequest>& request) override;
    std::optional<std::string> onDeviceTokenUploaded() override;
    void onMessageReceived(const std::shared_ptr<PUSHMessageDispatchController>& message) override;

    // UDP reports.
    void sendUdpReport(const std::shared_ptr<PUSHUDPReport>& report);
    void sendAllBlockedUdpReports();

    // Heartbeats; the lock is process-wide.
    void startHeartbeatTimer();
    void stopHeartbeatTimer();
    void fireHeartBeat();
    static void removeHeartBeatLock();
    static bool heartBeatLocked();

    // Back-off.
    void startDelaySetupTimer();
    void stopDelaySetupTimer();
    void resetDelaySetupIndex() { delaySetupTimeIntervalIndex_ = 0; }

    // Server minus local clock in whole seconds from the persisted login times; 0 when none or
    // more than a year apart.
    std::int32_t proofTimeInterval();

    // Hooks for the client: called after each successful login and when a logged-in session
    // closes (the report session sends its blocked reports on login, the tags/alias manager
    // resends failed requests).
    void addLoginObserver(Observer observer) { loginObservers_.push_back(std::move(observer)); }
    void addLogoutObserver(Observer observer) { logoutObservers_.push_back(std::move(observer)); }
    // Where received server messages go (message dispatch).
    void setMessageHandler(MessageHandler handler) { messageHandler_ = std::move(handler); }

    // State.
    bool isSetup() const { return isSetup_; }
    bool isLogin() const override { return isLogin_; }
    bool isConnected() const { return isConnected_; }
    bool isConnecting() const { return isConnecting_; }
    bool isConnectDisable() const { return isConnectDisable_; }
    void setIsConnectDisable(bool disable) { isConnectDisable_ = disable; }
    std::uint32_t sessionID() const { return sessionID_; }
    std::uint32_t currentSessionID() const override { return sessionID_; }
    std::uint64_t currentUid() const override;
    std::uint16_t serverVersion() const { return serverVersion_; }
    const std::string& sessionKey() const { return sessionKey_; }
    std::uint64_t rId() const { return rIdCounter_.storedCounter(); }
    std::uint64_t delaySetupTimeIntervalIndex() const { return delaySetupTimeIntervalIndex_; }
    std::shared_ptr<PUSHAddressController> addressController() const { return addressController_; }
    const Value& sisContent() const { return sisContent_; }
    std::shared_ptr<PUSHTcpSocket> tcpConnectionSocket() const { return tcpConnectionSocket_; }
    std::shared_ptr<PUSHUdpSocket> udpReportSocket() const { return udpReportSocket_; }
    std::shared_ptr<NSTimer> heartbeatTimer() const;
    std::shared_ptr<NSTimer> delaySetupTimer() const;
    std::size_t blockedRequestCount() const { return tcpBlockedQueue_.count(); }
    std::size_t sendingRequestCount() const { return tcpSendingQueue_.count(); }
    std::size_t blockedUdpReportCount() const { return udpBlockedQueue_.size(); }
    std::vector<std::shared_ptr<PUSHRequest>> blockedRequests() const;

    // TCP socket delegate.
    void connectionDidSetup(const std::shared_ptr<PUSHTcpSocket>& socket) override;
    void connectionDidClose(const std::shared_ptr<PUSHTcpSocket>& socket) override;
    void connectionDidReceiveElement(
        const std::shared_ptr<PUSHTcpSocket>& socket, const std::shared_ptr<PUSHReceivedPacketController>& element) override;
    void connectionSendQueueEmpty(const std::shared_ptr<PUSHTcpSocket>& socket) override;

    // UDP report socket delegate.
    void didNotSendDataAtUdpSocket(const Bytes& data, const std::shared_ptr<PUSHUdpSocket>& socket) override;
    void didNotReceivedDataAtUdpSocketWithError(
        const std::shared_ptr<PUSHUdpSocket>& socket, const std::shared_ptr<NSError>& error) override;

    std::string className() const override { return "PUSHSessionController"; }

    explicit PUSHSessionController(push_session::SessionEnvironment environment);

private:
    std::shared_ptr<PUSHSessionController> self();

    // Connecting.
    bool connect();
    bool connectTcp(const std::string& tcpAddress, const std::string& udpAddress);
    bool connectWithTcpCoreAddress(const std::string& tcpAddress);
    void connectUdp(const std::string& udpAddress);
    bool isSisOnProtect();
    bool isNetworkChanged() const;
    bool isLastSisTooLong() const;
    void resetSisCache();

    // Register and log in.
    void doRegisterOrLogin();
    void doRegister();
    void doLogin();
    bool canErrorStopPushServer(std::uint16_t status) const;
    void storeLoginTimes(std::uint32_t serverTime);

    void doHeartbeat(const std::shared_ptr<NSTimer>& timer);
    void doDelaySetup(const std::shared_ptr<NSTimer>& timer);
    void doSendUdpReport(const std::shared_ptr<PUSHUDPReport>& report);
    void closeSockets();
    static void notify(const std::vector<Observer>& observers);

    push_session::SessionEnvironment environment_;
    std::shared_ptr<PUSHAddressController> addressController_;
    Value sisContent_;
    double lastSucceedSisTime_ = 0;
    std::int32_t status_ = 0;

    std::shared_ptr<PUSHTcpSocket> tcpConnectionSocket_;
    std::shared_ptr<PUSHUdpSocket> udpReportSocket_;
    PUSHFIFOQueue tcpBlockedQueue_ { kQueueLimit, "rid" };
    PUSHFIFOQueue tcpSendingQueue_ { kQueueLimit, "rid" };
    std::deque<std::shared_ptr<PUSHUDPReport>> udpBlockedQueue_;
    std::shared_ptr<PUSHLoginRequest> loginRequest_;

    std::uint32_t sessionID_ = 0;
    std::uint16_t serverVersion_ = 0;
    std::string sessionKey_;
    std::int32_t proofTimeInterval_ = 0;
    push::RequestIdCounter rIdCounter_;

    std::weak_ptr<NSTimer> heartbeatTimer_;
    std::weak_ptr<NSTimer> delaySetupTimer_;
    std::uint64_t delaySetupTimeIntervalIndex_ = 0;

    bool isConnecting_ = false;
    bool hasCloseSession_ = false;
    bool isSetup_ = false;
    bool isLogin_ = false;
    bool isConnected_ = false;
    bool isConnectDisable_ = false;

    std::vector<Observer> loginObservers_;
    std::vector<Observer> logoutObservers_;
    MessageHandler messageHandler_;
};
