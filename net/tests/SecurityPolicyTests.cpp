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

TEST_F(SecurityPolicy, EachModeAcceptsOnlyTheChainsItShould)
{
    // A pinned certificate that is not self-signed still ends the chain; the host name and the
    // dates are checked as always. Only accepting an invalid chain while checking the host name
    // without pinning warns.
    const auto none = NKSSLPinningModeNone, certificate = NKSSLPinningModeCertificate, key = NKSSLPinningModePublicKey;
    const Bytes ca = certs.ca().der(), leaf = certs.localhost().certificate.der(), own = certs.selfSigned().certificate.der();
    struct Case {
        const char* name;
        std::uint64_t mode;
        bool allowInvalid, validatesDomain;
        std::vector<Bytes> pinned;
        const httpserver::Identity& server;
        std::optional<std::string> host;
        bool accepted;
        bool warns = false;
        std::vector<SecCertificateRef> appended = {};
    };
    const Case cases[] = {
        { "valid", none, false, true, {}, certs.localhost(), "localhost", true },
        { "valid chain by address", none, false, true, {}, certs.chained(), "127.0.0.1", true },
        { "self-signed", none, false, true, {}, certs.selfSigned(), "localhost", false },
        { "expired", none, false, true, {}, certs.expired(), "localhost", false },
        { "other host", none, false, true, {}, certs.wrongHost(), "localhost", false },
        { "other host, no name asked", none, false, true, {}, certs.wrongHost(), std::nullopt, true },
        { "invalid allowed, host checked", none, true, true, {}, certs.selfSigned(), "localhost", false, true },
        { "invalid allowed, host not checked", none, true, false, {}, certs.selfSigned(), "localhost", true },
        { "pinned root, twice", certificate, false, true, { ca, ca }, certs.localhost(), "localhost", true },
        { "pinned unrelated", certificate, false, true, { own }, certs.localhost(), "localhost", false },
        { "unknown mode", 9, false, true, { ca }, certs.localhost(), "localhost", false },
        { "pinned leaf", certificate, false, true, { leaf }, certs.localhost(), "localhost", true },
        { "pinned intermediate", certificate, false, true, { certs.intermediate().der() }, certs.chained(), "localhost", true },
        { "pinned chained leaf", certificate, false, true, { certs.chained().certificate.der() }, certs.chained(), "127.0.0.1",
            true },
        { "pinned leaf, other host", certificate, false, true, { leaf }, certs.localhost(), "other.invalid", false },
        { "pinned intermediate, other chain", certificate, false, true, { certs.intermediate().der() }, certs.localhost(),
            "localhost", false },
        { "pinned key", key, false, true, { leaf }, certs.localhost(), "localhost", true },
        { "pinned key, other chain", key, false, true, { leaf }, certs.chained(), "localhost", false },
        { "pinned key, self-signed", key, true, true, { own }, certs.selfSigned(), "localhost", true },
        // Appending a pinned certificate to an unrelated chain proves nothing.
        { "pinned key appended", key, true, true, { leaf }, certs.selfSigned(), "localhost", false, false,
            { certificateOf(certs.localhost().certificate) } },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        logged.clear();
        auto policy = NKSecurityPolicy::defaultPolicy();
        policy->setSSLPinningMode(c.mode);
        policy->setAllowInvalidCertificates(c.allowInvalid);
        policy->setValidatesDomainName(c.validatesDomain);
        if (!c.pinned.empty())
            policy->setPinnedCertificates(c.pinned);
        auto trust = trustFor(c.server, c.appended);
        EXPECT_EQ(c.host ? policy->evaluateServerTrust(trust, c.host) : policy->evaluateServerTrust(trust), c.accepted);
        EXPECT_EQ(logged, c.warns ? std::vector<std::string> { "In order to validate a domain name for self signed certificates, "
                                                              "you MUST use pinning." }
                                  : std::vector<std::string> {});
    }
}

TEST_F(SecurityPolicy, PinnedCertificatesAreKeptOnceAndAnnouncedWithTheirKeys)
{
    auto policy = NKSecurityPolicy::defaultPolicy();
    std::vector<std::string> seen;
    auto record = [&](const std::string& keyPath, NSObject*, const Value& change) {
        seen.push_back(keyPath + " " + std::to_string(change[NSKeyValueChangeNewKey].count()));
    };
    auto keys = policy->observe("pinnedPublicKeys", NSKeyValueObservingOptionNew, record);
    auto certificates = policy->observe("pinnedCertificates", NSKeyValueObservingOptionNew, record);
    const Bytes ca = certs.ca().der();
    policy->setPinnedCertificates(std::vector<Bytes> { ca, certs.localhost().certificate.der(), ca });
    EXPECT_EQ(policy->pinnedCertificates()->size(), 2u);
    EXPECT_EQ(policy->pinnedPublicKeys()->size(), 2u);
    policy->setPinnedCertificates(std::nullopt);
    EXPECT_FALSE(policy->pinnedPublicKeys());
    EXPECT_EQ(seen, (std::vector<std::string> { "pinnedPublicKeys 2", "pinnedCertificates 2", "pinnedPublicKeys 0",
                        "pinnedCertificates 0" }));
}

} // namespace
