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
