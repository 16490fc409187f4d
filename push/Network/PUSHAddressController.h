// Server address discovery: asks the address service over UDP which push server, UDP report
// address and alternative servers to use. The service's host is found by name (three built-in
// names, then a built-in IPv4 address); each host is asked on the main port and then once on
// the second port. Every wait keeps the calling thread's run loop turning, so the call is
// synchronous for the session on the push thread.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "platform/foundation/Value.h"
#include "push/Network/PUSHAddressStore.h"
#include "push/Network/PUSHHostResolver.h"
#include "push/Network/PUSHUdpSocket.h"

// The built-in addresses and the waits; the defaults are the service's own.
struct PUSHAddressConfiguration {
    std::array<std::string, 3> sisHosts { "sis1.push.brovik.org", "sis2.push.brovik.org", "sis3.push.brovik.org" };
    std::string sisFallbackAddress = "127.0.0.1";
    std::string pushDomain = "push.brovik.org";
    std::uint16_t pushDomainPort = 7000;
    std::uint16_t sisPort = 19000;
    double sisTimeout = 4;
    std::uint16_t sisSecondPort = 80;
    double sisSecondTimeout = 2;
    double dnsTimeout = 2;
    std::string userEndpoint = "http://user.push.brovik.org/v1/user/";
    std::string reportEndpoint = "http://report.push.brovik.org/v2/report";
    std::string appKey;
};

// An address with the URL of the endpoint it serves.
struct PUSHAddress {
    std::string host;
    std::uint16_t port = 0;
    std::string httpWrapAddress;
};

class PUSHAddressController : public NSObject, public PUSHUdpSocketDelegate {
public:
    static constexpr const char* kSisWaitIdentifier = "sisDefaultIdentifer";

    static std::shared_ptr<PUSHAddressController> create(PUSHAddressConfiguration configuration,
        std::shared_ptr<push::AddressStore> store,
        std::shared_ptr<push::HostResolver> resolver = push::systemHostResolver());

    // [push server, UDP report address, alternatives array], or absent.
    Value getAddressFromSis();
    Value sendSisRequest();
    Value sendSisRequest(const std::string& host, bool toDefaultPort);
    std::optional<std::string> getSisHostAddress(unsigned index);
    std::optional<std::string> getAddressByHostDomain(const std::string& name);
    // Reads a reply and ends the wait for it.
    void parse(const Bytes& data);

    void setUserReportAddress(const std::string& address);
    void setHttpReportAddress(const std::string& address);
    std::string userReportAddress() const;
    std::string httpReportAddress() const;
    std::string defaultReportAddress() const;
    std::string defaultConnectAddress() const;
    std::string defaultSisHostAddress() const;
    std::optional<std::string> defaultConnectDomainAddress();

    void stop();
    void resetUdpSocket();
    std::shared_ptr<PUSHUdpSocket> udpSocket() const { return udpSocket_; }
    const PUSHAddressConfiguration& configuration() const { return configuration_; }

    void didNotSendDataAtUdpSocket(const Bytes& data, const std::shared_ptr<PUSHUdpSocket>& socket) override;
    void didReceivedDataAtUdpSocket(const Bytes& data, const std::shared_ptr<PUSHUdpSocket>& socket) override;
    void didNotReceivedDataAtUdpSocketWithError(
        const std::shared_ptr<PUSHUdpSocket>& socket, const std::shared_ptr<NSError>& error) override;

    std::string className() const override { return "PUSHAddressController"; }

    PUSHAddressController(PUSHAddressConfiguration configuration, std::shared_ptr<push::AddressStore> store,
        std::shared_ptr<push::HostResolver> resolver);

private:
    std::optional<PUSHAddress> wrap(const std::string& address, const std::string& endpoint) const;

    PUSHAddressConfiguration configuration_;
    std::shared_ptr<push::AddressStore> store_;
    std::shared_ptr<push::HostResolver> resolver_;
    std::shared_ptr<PUSHUdpSocket> udpSocket_;
    std::optional<PUSHAddress> userReportAddress_;
    std::optional<PUSHAddress> httpReportAddress_;
};
