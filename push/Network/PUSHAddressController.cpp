// Address discovery over UDP: the host order, the two ports, the reply and what is kept of it.
#include "push/Network/PUSHAddressController.h"

#include <cstdlib>

#include "push/Network/PUSHAddressMessages.h"
#include "push/Storage/PUSHDelegateSynchronize.h"
#include "push/Utilities/PUSHLog.h"
#include "push/Utilities/PUSHUtilities.h"

namespace {

// The resource path of an endpoint URL ("/v1/user/" of "http://host/v1/user/").
std::string resourcePath(const std::string& url)
{
    const auto scheme = url.find("://");
    const auto start = url.find('/', scheme == std::string::npos ? 0 : scheme + 3);
    return start == std::string::npos ? "/" : url.substr(start);
}

} // namespace

PUSHAddressController::PUSHAddressController(PUSHAddressConfiguration configuration,
    std::shared_ptr<push::AddressStore> store, std::shared_ptr<push::HostResolver> resolver)
    : configuration_(std::move(configuration))
    , store_(std::move(store))
    , resolver_(std::move(resolver))
{
    // QUILLMARK_PUSH_ADDRESS_SERVICE ("a.b.c.d:port") stands for every address-service host
    // and port, for running the app against a local push service.
    const char* local = std::getenv("QUILLMARK_PUSH_ADDRESS_SERVICE");
    if (auto parts = local ? push::splitAddress(local) : std::nullopt) {
        configuration_.sisHosts = { parts->first, parts->first, parts->first };
        configuration_.sisFallbackAddress = parts->first;
        configuration_.sisPort = configuration_.sisSecondPort = parts->second;
    }
}

std::shared_ptr<PUSHAddressController> PUSHAddressController::create(PUSHAddressConfiguration configuration,
    std::shared_ptr<push::AddressStore> store, std::shared_ptr<push::HostResolver> resolver)
{
    if (!store)
        store = std::make_shared<push::MemoryAddressStore>();
    if (!resolver)
        resolver = push::systemHostResolver();
    return std::make_shared<PUSHAddressController>(std::move(configuration), std::move(store), std::move(resolver));
}

Value PUSHAddressController::getAddressFromSis()
{
    PUSHLogDebug("开始Sis解析");
    resetUdpSocket();
    return sendSisRequest();
}

Value PUSHAddressController::sendSisRequest()
{
    PUSHLogInfo("Action - sendSisRequest");
    for (unsigned index = 0; index < 3; ++index) {
        auto host = getSisHostAddress(index);
        if (!host)
            continue;
        Value content = sendSisRequest(*host, true);
        if (content.isArray())
            return content;
    }
    return sendSisRequest(configuration_.sisFallbackAddress, true);
}

Value PUSHAddressController::sendSisRequest(const std::string& host, bool toDefaultPort)
{
    resetUdpSocket();
    const std::string carrier = PUSHCarrierName();
    const Bytes request = push::addressRequestData(
        configuration_.appKey, carrier, PUSHNetworkType(carrier), store_->uid(), PUSHSDKVersionString());
    const std::uint16_t port = toDefaultPort ? configuration_.sisPort : configuration_.sisSecondPort;
    const double timeout = toDefaultPort ? configuration_.sisTimeout : configuration_.sisSecondTimeout;
    Value content;
    if (udpSocket_ && udpSocket_->sendData(request, host, port, timeout))
        content = PUSHDelegateSynchronize::runMethodBlockThread([] {}, timeout, Value(kSisWaitIdentifier));
    if (!content.isArray() && toDefaultPort) {
        resetUdpSocket();
        return sendSisRequest(host, false);
    }
    return content.isArray() ? content : Value();
}

std::optional<std::string> PUSHAddressController::getSisHostAddress(unsigned index)
{
    PUSHLogDebug("Action - getSisHostAddress :");
    return getAddressByHostDomain(configuration_.sisHosts[index % 3]);
}

std::optional<std::string> PUSHAddressController::getAddressByHostDomain(const std::string& name)
{
    if (name.empty())
        return std::nullopt;
    return resolver_->resolve(name, configuration_.dnsTimeout);
}

void PUSHAddressController::parse(const Bytes& data)
{
    PUSHLogDebug("Action - parse");
    const push::AddressReply reply = push::parseAddressReply(data);
    Value content;
    if (reply.isObject) {
        if (reply.user)
            setUserReportAddress(*reply.user);
        if (reply.ips) {
            if (!(*reply.ips)[1].empty())
                store_->setDefaultConAddress((*reply.ips)[1]);
            setHttpReportAddress((*reply.ips)[2]);
        }
        if (reply.udpReport)
            store_->setBackupUdpReportAddress(*reply.udpReport);
        if (reply.complete()) {
            Value alternatives = Value::array();
            for (const auto& entry : *reply.opConns)
                alternatives.append(Value(entry));
            content = Value::array({ Value((*reply.ips)[0]), Value(*reply.udpReport), alternatives });
        }
    }
    PUSHDelegateSynchronize::continueThread(content.isArray(), content, Value(kSisWaitIdentifier));
    stop();
}

std::optional<PUSHAddress> PUSHAddressController::wrap(const std::string& address, const std::string& endpoint) const
{
    auto parts = push::splitAddress(address);
    if (!parts)
        return std::nullopt;
    return PUSHAddress { parts->first, parts->second, "http://" + address + resourcePath(endpoint) };
}

void PUSHAddressController::setUserReportAddress(const std::string& address)
{
    auto wrapped = wrap(address, configuration_.userEndpoint);
    if (!wrapped)
        return;
    userReportAddress_ = wrapped;
    store_->setBackupUserReportAddress(wrapped->httpWrapAddress);
}

void PUSHAddressController::setHttpReportAddress(const std::string& address)
{
    auto wrapped = wrap(address, configuration_.reportEndpoint);
    if (!wrapped)
        return;
    httpReportAddress_ = wrapped;
    store_->setBackupHttpReportAddress(wrapped->httpWrapAddress);
}

std::string PUSHAddressController::userReportAddress() const
{
    return userReportAddress_ ? userReportAddress_->httpWrapAddress : store_->backupUserReportAddress();
}

std::string PUSHAddressController::httpReportAddress() const
{
    return httpReportAddress_ ? httpReportAddress_->httpWrapAddress : std::string();
}

std::string PUSHAddressController::defaultReportAddress() const { return store_->backupUdpReportAddress(); }
std::string PUSHAddressController::defaultConnectAddress() const { return store_->defaultConAddress(); }
std::string PUSHAddressController::defaultSisHostAddress() const { return configuration_.sisFallbackAddress; }

std::optional<std::string> PUSHAddressController::defaultConnectDomainAddress()
{
    auto address = getAddressByHostDomain(configuration_.pushDomain);
    if (!address)
        return std::nullopt;
    return *address + ":" + std::to_string(static_cast<unsigned>(configuration_.pushDomainPort));
}

void PUSHAddressController::stop()
{
    if (!udpSocket_)
        return;
    udpSocket_->close();
    udpSocket_.reset();
}

void PUSHAddressController::resetUdpSocket()
{
    stop();
    udpSocket_ = PUSHUdpSocket::initWithDelegate(std::static_pointer_cast<PUSHAddressController>(shared_from_this()));
}

// Socket delegate: only the current socket counts --------------------------------------------------

void PUSHAddressController::didReceivedDataAtUdpSocket(const Bytes& data, const std::shared_ptr<PUSHUdpSocket>& socket)
{
    if (socket != udpSocket_)
        return;
    parse(data);
}

void PUSHAddressController::didNotSendDataAtUdpSocket(const Bytes&, const std::shared_ptr<PUSHUdpSocket>& socket)
{
    if (socket != udpSocket_)
        return;
    PUSHDelegateSynchronize::continueThread(false, Value(), Value(kSisWaitIdentifier));
}

void PUSHAddressController::didNotReceivedDataAtUdpSocketWithError(
    const std::shared_ptr<PUSHUdpSocket>& socket, const std::shared_ptr<NSError>&)
{
    if (socket != udpSocket_)
        return;
    PUSHDelegateSynchronize::continueThread(false, Value(), Value(kSisWaitIdentifier));
}
