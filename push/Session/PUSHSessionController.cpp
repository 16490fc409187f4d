// The session's life: creation, setup, the connect chain over the discovered addresses, close,
// and the socket events.
#include "push/Session/PUSHSessionController.h"

#include "platform/persistence/NSUserDefaults.h"
#include "platform/threading/NSNotificationCenter.h"
#include "platform/threading/NSTimer.h"
#include "push/Network/PUSHAddressMessages.h"
#include "push/Network/PUSHReceivedPacket.h"
#include "push/Storage/PUSHDelegateSynchronize.h"
#include "push/Storage/PUSHUserDefaultsController.h"
#include "push/Utilities/PUSHLog.h"
#include "push/Utilities/PUSHUtilities.h"

namespace {

std::shared_ptr<push::AddressStore> addressStoreFor(const std::shared_ptr<PUSHUserDefaultsController>& defaults)
{
    if (!defaults)
        return std::make_shared<push::MemoryAddressStore>();
    return std::make_shared<push::UserDefaultsAddressStore>(defaults);
}

} // namespace

PUSHSessionController::PUSHSessionController(push_session::SessionEnvironment environment)
    : environment_(std::move(environment))
    , rIdCounter_(NSUserDefaults::standardUserDefaults())
{
    if (!environment_.networkStatus)
        environment_.networkStatus = [] { return push_utilities::kStatusWiFi; };
    if (!environment_.deviceTokenUpdated)
        environment_.deviceTokenUpdated = [] { return true; };
    if (!environment_.clientInfo)
        environment_.clientInfo = [] { return push_session::ClientInfo {}; };
    addressController_ = PUSHAddressController::create(environment_.addressConfiguration,
        addressStoreFor(environment_.userDefaults), environment_.resolver);
}

std::shared_ptr<PUSHSessionController> PUSHSessionController::create(push_session::SessionEnvironment environment)
{
    auto session = std::make_shared<PUSHSessionController>(std::move(environment));
    push::setCurrentSessionLink(session);
    // The stored login times are read from the start, before any login: times more than a
    // year apart are wiped now rather than kept until the next login overwrites them.
    session->proofTimeInterval();
    return session;
}

std::shared_ptr<PUSHSessionController> PUSHSessionController::currentSession()
{
    return std::dynamic_pointer_cast<PUSHSessionController>(push::currentSessionLink());
}

PUSHSessionController::~PUSHSessionController()
{
    // Going away: close without scheduling another attempt or calling out to observers,
    // whose captures may already be gone.
    loginObservers_.clear();
    logoutObservers_.clear();
    messageHandler_ = nullptr;
    isConnectDisable_ = true;
    isConnecting_ = false;
    close();
    stopHeartbeatTimer();
    stopDelaySetupTimer();
}

std::shared_ptr<PUSHSessionController> PUSHSessionController::self()
{
    return std::static_pointer_cast<PUSHSessionController>(shared_from_this());
}

std::uint64_t PUSHSessionController::getRId(int) { return rIdCounter_.next(); }

std::uint64_t PUSHSessionController::currentUid() const
{
    return environment_.userDefaults ? environment_.userDefaults->uid() : 0;
}

// Setup and close -----------------------------------------------------------------------------

void PUSHSessionController::setup()
{
    if (isSetup_ || isConnectDisable_)
        return;
    auto keep = self();
    isSetup_ = true;
    stopDelaySetupTimer();
    NSNotificationCenter::defaultCenter()->postNotificationName(kPUSHFNetworkIsConnectingNotification);
    if (environment_.networkStatus() == push_utilities::kStatusNotReachable) {
        PUSHLogInfo("当前网络不可用");
        close();
        return;
    }
    isConnecting_ = true;
    const bool connected = connect();
    isConnecting_ = false;
    if (connected && !hasCloseSession_) {
        // The back-off starts again only at login: a server that accepts and then drops the
        // connection must not be hammered every two seconds.
        doRegisterOrLogin();
        return;
    }
    hasCloseSession_ = false;
    close();
}

bool PUSHSessionController::close()
{
    if (isConnecting_) {
        hasCloseSession_ = true;
        return true;
    }
    if (!isSetup_)
        return false;
    PUSHLogInfo("Action - close Session");
    isSetup_ = false;
    if (isConnected_) {
        PUSHPostNotification(kPUSHNetworkDidCloseNotification);
        isConnected_ = false;
    }
    const bool wasLogin = isLogin_;
    isLogin_ = false;
    sessionID_ = 0;
    serverVersion_ = 0;
    stopHeartbeatTimer();
    reenqueueSendingRequests();
    closeSockets();
    addressController_->stop();
    if (wasLogin)
        notify(logoutObservers_);
    if (!isConnectDisable_)
        startDelaySetupTimer();
    return true;
}

void PUSHSessionController::closeSockets()
{
    if (auto tcp = std::exchange(tcpConnectionSocket_, nullptr))
        tcp->close();
    if (auto udp = std::exchange(udpReportSocket_, nullptr))
        udp->close();
}

void PUSHSessionController::notify(const std::vector<Observer>& observers)
{
    // A copy: an observer may add another.
    const auto calls = observers;
    for (const auto& call : calls) {
        if (call)
            call();
    }
}

// Connecting ------------------------------------------------------------------------------------

bool PUSHSessionController::connect()
{
    PUSHLogDebug("Action - connect");
    Value content = isSisOnProtect() ? sisContent_ : addressController_->getAddressFromSis();
    if (content.isArray() && content.count() >= 3) {
        sisContent_ = content;
        status_ = environment_.networkStatus();
        lastSucceedSisTime_ = PUSHServerTimestamp();
        const std::string udp = content[1].isString() ? content[1].asString() : std::string();
        if (content[0].isString() && connectTcp(content[0].asString(), udp))
            return true;
        for (const Value& alternative : content[2].isArray() ? content[2].asArray() : Value::Array {}) {
            if (alternative.isString() && connectTcp(alternative.asString(), udp))
                return true;
        }
    }
    const std::string backupUdp = addressController_->defaultReportAddress();
    const std::string lastSucceed = environment_.userDefaults ? environment_.userDefaults->lastSucceedConnectionAddress() : "";
    if (connectTcp(lastSucceed, backupUdp))
        return true;
    if (connectTcp(addressController_->defaultConnectAddress(), backupUdp))
        return true;
    const auto domain = addressController_->defaultConnectDomainAddress();
    return connectTcp(domain.value_or(""), backupUdp);
}

bool PUSHSessionController::connectTcp(const std::string& tcpAddress, const std::string& udpAddress)
{
    if (hasCloseSession_)
        return false;
    if (!connectWithTcpCoreAddress(tcpAddress))
        return false;
    connectUdp(udpAddress);
    if (environment_.userDefaults)
        environment_.userDefaults->setLastSucceedConnectionAddress(Value(tcpAddress));
    return true;
}

bool PUSHSessionController::connectWithTcpCoreAddress(const std::string& tcpAddress)
{
    const auto address = push::splitAddress(tcpAddress);
    if (!address)
        return false;
    auto socket = PUSHTcpSocket::initWithHost(address->first, address->second, self());
    tcpConnectionSocket_ = socket;
    if (!socket->setup()) {
        PUSHLogError("连接服务器失败");
        if (tcpConnectionSocket_ == socket)
            tcpConnectionSocket_.reset();
        return false;
    }
    const Value identifier(kTcpConnectIdentifier);
    bool succeeded = false;
    PUSHDelegateSynchronize::runMethodBlockThread(
        [] {}, [&succeeded](const Value&) { succeeded = true; }, nullptr, identifier, kTcpConnectWait);
    // A close of the session meanwhile may already have dropped the socket.
    if (succeeded && tcpConnectionSocket_ == socket && socket->isConnected())
        return true;
    socket->close();
    if (tcpConnectionSocket_ == socket)
        tcpConnectionSocket_.reset();
    isConnected_ = false;
    return false;
}

void PUSHSessionController::connectUdp(const std::string& udpAddress)
{
    if (auto old = std::exchange(udpReportSocket_, nullptr))
        old->close();
    const std::string target = udpAddress.empty() ? addressController_->defaultReportAddress() : udpAddress;
    udpReportSocket_ = PUSHUdpSocket::initWithDelegate(self());
    if (const auto address = push::splitAddress(target))
        udpReportSocket_->connectToHost(address->first, address->second);
}

bool PUSHSessionController::isNetworkChanged() const
{
    return status_ != 0 && status_ != environment_.networkStatus();
}

bool PUSHSessionController::isLastSisTooLong() const
{
    // A clock that went backwards cannot vouch for the result's age either.
    const double age = PUSHServerTimestamp() - lastSucceedSisTime_;
    return age < 0 || age > kSisProtectSeconds;
}

bool PUSHSessionController::isSisOnProtect()
{
    if (sisContent_.isArray() && !isNetworkChanged() && !isLastSisTooLong()) {
        PUSHLogDebug("sis is on protect");
        return true;
    }
    PUSHLogInfo("sis is not on protect");
    resetSisCache();
    return false;
}

void PUSHSessionController::resetSisCache()
{
    PUSHLogDebug("Action - reset sis cache");
    sisContent_ = Value();
    status_ = 0;
    lastSucceedSisTime_ = 0;
}

// TCP events ------------------------------------------------------------------------------------

void PUSHSessionController::connectionDidSetup(const std::shared_ptr<PUSHTcpSocket>& socket)
{
    if (socket != tcpConnectionSocket_)
        return;
    isConnected_ = true;
    PUSHDelegateSynchronize::continueThread(true, Value(true), Value(kTcpConnectIdentifier));
    PUSHPostNotification(kPUSHNetworkDidSetupNotification);
}

void PUSHSessionController::connectionDidClose(const std::shared_ptr<PUSHTcpSocket>& socket)
{
    if (socket != tcpConnectionSocket_)
        return;
    PUSHLogWarn("连接被关闭");
    if (PUSHDelegateSynchronize::continueThread(false, Value(), Value(kTcpConnectIdentifier)))
        return;
    PUSHLogWarn("conect close by remote");
    auto keep = self();
    close();
}

void PUSHSessionController::connectionDidReceiveElement(
    const std::shared_ptr<PUSHTcpSocket>& socket, const std::shared_ptr<PUSHReceivedPacketController>& element)
{
    if (socket != tcpConnectionSocket_ || !element)
        return;
    auto keep = self();
    element->handleReceipt();
}

// UDP report socket events ----------------------------------------------------------------------

void PUSHSessionController::didNotSendDataAtUdpSocket(const Bytes&, const std::shared_ptr<PUSHUdpSocket>& socket)
{
    if (socket != udpReportSocket_)
        return;
    PUSHLogError("did not send udp data");
}

void PUSHSessionController::didNotReceivedDataAtUdpSocketWithError(
    const std::shared_ptr<PUSHUdpSocket>& socket, const std::shared_ptr<NSError>& error)
{
    if (socket != udpReportSocket_)
        return;
    PUSHLogError("did not receive udp data with error %ld", static_cast<long>(error ? error->code() : 0));
}
