// The security policy's three modes against test certificates: chain and host-name checks, the
// warning for unpinned self-signed acceptance, pinned certificates and pinned keys.
#include "net/NKSecurityPolicy.h"
#include "net/tests/NetTestSupport.h"
#include "platform/foundation/NSLog.h"

using namespace net::test;

namespace {

class SecurityPolicy : public NetTest {
protected:
    SecTrustRef trustFor(const httpserver::Identity& identity, std::vector<SecCertificateRef> extra = {})
    {
        std::vector<SecCertificateRef> chain { certificateOf(identity.certificate) };
        for (const auto& c : identity.chain)
            chain.push_back(certificateOf(c));
        for (auto& c : extra)
            chain.push_back(std::move(c));
        SecTrustRef trust;
        EXPECT_EQ(SecTrustCreateWithCertificates(chain, { SecPolicyCreateBasicX509() }, &trust), errSecSuccess);
        return trust;
    }
    std::vector<std::string> logged;
    void SetUp() override
    {
        NetTest::SetUp();
        foundation::setLogSink([this](const std::string& line) { logged.push_back(line); });
    }
    void TearDown() override
    {
        foundation::setLogSink(nullptr);
        NetTest::TearDown();
    }
};

TEST_F(SecurityPolicy, TheDefaultPolicyChecksTheChainAndTheHostName)
{
    auto policy = NKSecurityPolicy::defaultPolicy();
    EXPECT_TRUE(policy->evaluateServerTrust(trustFor(certs.localhost()), std::string("localhost")));
    EXPECT_TRUE(policy->evaluateServerTrust(trustFor(certs.chained()), std::string("127.0.0.1")));
    EXPECT_FALSE(policy->evaluateServerTrust(trustFor(certs.selfSigned()), std::string("localhost")));
    EXPECT_FALSE(policy->evaluateServerTrust(trustFor(certs.expired()), std::string("localhost")));
    EXPECT_FALSE(policy->evaluateServerTrust(trustFor(certs.wrongHost()), std::string("localhost")));
    EXPECT_TRUE(policy->evaluateServerTrust(trustFor(certs.wrongHost())));
    EXPECT_TRUE(logged.empty());
}

TEST_F(SecurityPolicy, InvalidCertificatesNeedPinningWhenTheHostNameIsChecked)
{
    auto policy = NKSecurityPolicy::defaultPolicy();
    policy->setAllowInvalidCertificates(true);
    EXPECT_FALSE(policy->evaluateServerTrust(trustFor(certs.selfSigned()), std::string("localhost")));
    ASSERT_EQ(logged.size(), 1u);
    EXPECT_EQ(logged[0], "In order to validate a domain name for self signed certificates, you MUST use pinning.");
    policy->setValidatesDomainName(false);
    EXPECT_TRUE(policy->evaluateServerTrust(trustFor(certs.selfSigned()), std::string("localhost")));
    EXPECT_TRUE(policy->evaluateServerTrust(trustFor(certs.wrongHost()), std::string("other")));
    EXPECT_EQ(logged.size(), 1u);
}

TEST_F(SecurityPolicy, CertificatePinningAcceptsOnlyChainsWithAPinnedCertificate)
{
    auto policy = NKSecurityPolicy::policyWithPinningMode(NKSSLPinningModeCertificate);
    policy->setPinnedCertificates(std::vector<Bytes> { certs.ca().der(), certs.ca().der() });
    EXPECT_EQ(policy->pinnedCertificates()->size(), 1u);
    EXPECT_EQ(policy->pinnedPublicKeys()->size(), 1u);
    EXPECT_TRUE(policy->evaluateServerTrust(trustFor(certs.localhost()), std::string("localhost")));
    policy->setPinnedCertificates(std::vector<Bytes> { certs.selfSigned().certificate.der() });
    EXPECT_FALSE(policy->evaluateServerTrust(trustFor(certs.localhost()), std::string("localhost")));
    policy->setPinnedCertificates(std::nullopt);
    EXPECT_FALSE(policy->pinnedPublicKeys());
    policy->setSSLPinningMode(9);
    policy->setPinnedCertificates(std::vector<Bytes> { certs.ca().der() });
    EXPECT_FALSE(policy->evaluateServerTrust(trustFor(certs.localhost()), std::string("localhost")));
}

TEST_F(SecurityPolicy, PinningTheServersOwnCertificateOrAnIntermediateAcceptsItsChain)
{
    // A pinned certificate that is not self-signed still ends the chain; the host name and
    // the dates are checked as always.
    struct Case {
        const char* name;
        const httpserver::Identity& server;
        Bytes pinned;
        std::string host;
        bool accepted;
    };
    const Case cases[] = {
        { "leaf", certs.localhost(), certs.localhost().certificate.der(), "localhost", true },
        { "intermediate", certs.chained(), certs.intermediate().der(), "localhost", true },
        { "chained leaf", certs.chained(), certs.chained().certificate.der(), "127.0.0.1", true },
        { "leaf, other host", certs.localhost(), certs.localhost().certificate.der(), "other.invalid", false },
        { "intermediate, other chain", certs.localhost(), certs.intermediate().der(), "localhost", false },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto policy = NKSecurityPolicy::defaultPolicy();
        policy->setSSLPinningMode(NKSSLPinningModeCertificate);
        policy->setPinnedCertificates(std::vector<Bytes> { c.pinned });
        EXPECT_EQ(policy->evaluateServerTrust(trustFor(c.server), c.host), c.accepted);
    }
}

TEST_F(SecurityPolicy, SettingThePinnedCertificatesAnnouncesThemAndTheirKeys)
{
    auto policy = NKSecurityPolicy::defaultPolicy();
    std::vector<std::string> seen;
    auto record = [&](const std::string& keyPath, NSObject*, const Value& change) {
        seen.push_back(keyPath + " " + std::to_string(change[NSKeyValueChangeNewKey].count()));
    };
    auto keys = policy->observe("pinnedPublicKeys", NSKeyValueObservingOptionNew, record);
    auto certificates = policy->observe("pinnedCertificates", NSKeyValueObservingOptionNew, record);
    policy->setPinnedCertificates(std::vector<Bytes> { certs.ca().der(), certs.localhost().certificate.der() });
    policy->setPinnedCertificates(std::nullopt);
    EXPECT_EQ(seen, (std::vector<std::string> { "pinnedPublicKeys 2", "pinnedCertificates 2", "pinnedPublicKeys 0",
                        "pinnedCertificates 0" }));
}

TEST_F(SecurityPolicy, PublicKeyPinningNeedsTheKeyInAChainThatVerifies)
{
    auto policy = NKSecurityPolicy::policyWithPinningMode(NKSSLPinningModePublicKey);
    policy->setPinnedCertificates(std::vector<Bytes> { certs.localhost().certificate.der() });
    EXPECT_TRUE(policy->evaluateServerTrust(trustFor(certs.localhost()), std::string("localhost")));
    EXPECT_FALSE(policy->evaluateServerTrust(trustFor(certs.chained()), std::string("localhost")));

    // A self-signed server is accepted when its own certificate is pinned...
    policy->setAllowInvalidCertificates(true);
    policy->setPinnedCertificates(std::vector<Bytes> { certs.selfSigned().certificate.der() });
    EXPECT_TRUE(policy->evaluateServerTrust(trustFor(certs.selfSigned()), std::string("localhost")));
    // ...but appending a pinned certificate to an unrelated chain proves nothing.
    policy->setPinnedCertificates(std::vector<Bytes> { certs.localhost().certificate.der() });
    EXPECT_FALSE(policy->evaluateServerTrust(
        trustFor(certs.selfSigned(), { certificateOf(certs.localhost().certificate) }), std::string("localhost")));
}

} // namespace
