// Certificates, policies and trust evaluation, and server trust as a connection's delegate sees
// it: the challenge comes after the handshake and before any request byte, and the delegate's
// answer (pinning style included) decides.
#include <gtest/gtest.h>

#include "platform/network/URLError.h"
#include "platform/network/tests/Recorder.h"
#include "platform/security/SecTrust.h"
#include "testing/TempHome.h"
#include "testing/httpserver/TestServer.h"

using namespace network::test;
using httpserver::Reply;
using httpserver::TestCertificates;
using httpserver::TestServer;

namespace {

SecCertificateRef certificate(const httpserver::Certificate& c) { return SecCertificateCreateWithData(c.der()); }

std::vector<SecCertificateRef> chainOf(const httpserver::Identity& identity)
{
    std::vector<SecCertificateRef> result { certificate(identity.certificate) };
    for (const auto& c : identity.chain)
        result.push_back(certificate(c));
    return result;
}

SecTrustResultType evaluate(const httpserver::Identity& identity, SecPolicyRef policy)
{
    SecTrustRef trust;
    EXPECT_EQ(SecTrustCreateWithCertificates(chainOf(identity), { policy }, &trust), errSecSuccess);
    SecTrustResultType result = kSecTrustResultInvalid;
    EXPECT_EQ(SecTrustEvaluate(trust, &result), errSecSuccess);
    return result;
}

class Trust : public ::testing::Test {
protected:
    void SetUp() override
    {
        threading::becomeMainThread();
        security::setSystemAnchorCertificates({ certificate(certs.ca()) });
        NSURLCache::setSharedURLCache(std::make_shared<NSURLCache>(0, 0, ""));
    }
    void TearDown() override { security::resetSystemAnchorCertificates(); }
    const TestCertificates& certs = TestCertificates::shared();
};

TEST_F(Trust, CertificatesRoundTripDerAndRefuseGarbage)
{
    auto der = certs.localhost().certificate.der();
    auto c = SecCertificateCreateWithData(der);
    ASSERT_TRUE(c);
    EXPECT_EQ(SecCertificateCopyData(c), der);
    EXPECT_EQ(SecCertificateCopySubjectSummary(c), "localhost");
    EXPECT_FALSE(SecCertificateCreateWithData({}));
    EXPECT_FALSE(SecCertificateCreateWithData(Bytes(der.begin(), der.begin() + der.size() / 2)));
    Bytes trailing = der;
    trailing.push_back(0);
    EXPECT_FALSE(SecCertificateCreateWithData(trailing));
}

TEST_F(Trust, SslPolicyChecksRootDatesAndHostName)
{
    EXPECT_EQ(evaluate(certs.localhost(), SecPolicyCreateSSL(true, "localhost")), kSecTrustResultUnspecified);
    EXPECT_EQ(evaluate(certs.localhost(), SecPolicyCreateSSL(true, "127.0.0.1")), kSecTrustResultUnspecified);
    EXPECT_EQ(evaluate(certs.wrongHost(), SecPolicyCreateSSL(true, "localhost")), kSecTrustResultRecoverableTrustFailure);
    EXPECT_EQ(evaluate(certs.wrongHost(), SecPolicyCreateSSL(true, std::nullopt)), kSecTrustResultUnspecified);
    EXPECT_EQ(evaluate(certs.expired(), SecPolicyCreateSSL(true, "localhost")), kSecTrustResultRecoverableTrustFailure);
    EXPECT_EQ(evaluate(certs.selfSigned(), SecPolicyCreateBasicX509()), kSecTrustResultRecoverableTrustFailure);
    EXPECT_EQ(evaluate(certs.chained(), SecPolicyCreateSSL(true, "localhost")), kSecTrustResultUnspecified);
    security::resetSystemAnchorCertificates();
    EXPECT_EQ(evaluate(certs.localhost(), SecPolicyCreateBasicX509()), kSecTrustResultRecoverableTrustFailure);
}

TEST_F(Trust, BuiltChainReachesTheAnchorAndAnchorsCanBeReplaced)
{
    SecTrustRef trust;
    ASSERT_EQ(SecTrustCreateWithCertificates(chainOf(certs.chained()), { SecPolicyCreateBasicX509() }, &trust), errSecSuccess);
    ASSERT_EQ(SecTrustGetCertificateCount(trust), 3);
    EXPECT_EQ(SecCertificateCopyData(SecTrustGetCertificateAtIndex(trust, 0)), certs.chained().certificate.der());
    EXPECT_EQ(SecCertificateCopyData(SecTrustGetCertificateAtIndex(trust, 2)), certs.ca().der());
    EXPECT_FALSE(SecTrustGetCertificateAtIndex(trust, 3));

    // Only the self-signed leaf as anchor: it passes, and the CA-signed chain no longer does.
    SecTrustRef pinned;
    SecTrustCreateWithCertificates({ certificate(certs.selfSigned().certificate) }, { SecPolicyCreateBasicX509() }, &pinned);
    SecTrustSetAnchorCertificates(pinned, { certificate(certs.selfSigned().certificate) });
    SecTrustResultType result;
    SecTrustEvaluate(pinned, &result);
    EXPECT_EQ(result, kSecTrustResultUnspecified);
    SecTrustSetAnchorCertificates(trust, { certificate(certs.selfSigned().certificate) });
    SecTrustEvaluate(trust, &result);
    EXPECT_EQ(result, kSecTrustResultRecoverableTrustFailure);
    SecTrustSetAnchorCertificatesOnly(trust, false);
    SecTrustEvaluate(trust, &result);
    EXPECT_EQ(result, kSecTrustResultUnspecified);
}

TEST_F(Trust, PublicKeysCompareByKey)
{
    SecTrustRef a, b, c;
    SecTrustCreateWithCertificates({ certificate(certs.localhost().certificate) }, { SecPolicyCreateBasicX509() }, &a);
    SecTrustCreateWithCertificates({ certificate(certs.localhost().certificate) }, { SecPolicyCreateBasicX509() }, &b);
    SecTrustCreateWithCertificates({ certificate(certs.wrongHost().certificate) }, { SecPolicyCreateBasicX509() }, &c);
    auto ka = SecTrustCopyPublicKey(a);
    ASSERT_TRUE(ka);
    EXPECT_TRUE(ka->isEqual(*SecTrustCopyPublicKey(b)));
    EXPECT_FALSE(ka->isEqual(*SecTrustCopyPublicKey(c)));
    EXPECT_EQ(ka->subjectPublicKeyInfo(), certs.localhost().certificate.publicKeyDer());
}

TEST_F(Trust, DefaultHandlingAcceptsAGoodServerAndRefusesBadOnesWith1202)
{
    struct Case {
        const httpserver::Identity* identity;
        bool good;
    };
    for (auto [identity, good] : { Case { &certs.localhost(), true }, Case { &certs.wrongHost(), false },
             Case { &certs.expired(), false }, Case { &certs.selfSigned(), false }, Case { &certs.chained(), true } }) {
        TestServer server(TestServer::https(*identity));
        server.on("/", Reply::text("secure"));
        auto r = load(requestFor(server.url("/")));
        if (good) {
            EXPECT_EQ(r->text(), "secure");
            EXPECT_EQ(r->order(), "willSend useStorage trust response data finish");
        } else {
            ASSERT_TRUE(r->error);
            EXPECT_EQ(r->error->code(), NSURLErrorServerCertificateUntrusted);
            EXPECT_EQ(server.requestCount(), 0u);
        }
    }
}

TEST_F(Trust, ThePinningDelegateDecidesBeforeAnyRequestByteIsSent)
{
    TestServer server(TestServer::https(certs.selfSigned()));
    server.on("/", Reply::text("pinned"));
    auto pinnedKey = certs.selfSigned().certificate.publicKeyDer();
    std::size_t requestsSeenDuringChallenge = 99;
    auto r = std::make_shared<Recorder>();
    r->challenge = [&](const std::shared_ptr<NSURLAuthenticationChallenge>& c) {
        requestsSeenDuringChallenge = server.requestCount();
        auto trust = c->protectionSpace()->serverTrust();
        auto key = SecTrustCopyPublicKey(trust);
        if (key && key->subjectPublicKeyInfo() == pinnedKey)
            c->sender()->useCredential(NSURLCredential::credentialForTrust(trust), c);
        else
            c->sender()->cancelAuthenticationChallenge(c);
    };
    load(requestFor(server.url("/")), r);
    EXPECT_EQ(requestsSeenDuringChallenge, 0u);
    EXPECT_EQ(r->text(), "pinned");

    // The same delegate refuses a server with another key: no request reaches it.
    TestServer other(TestServer::https(certs.localhost()));
    other.on("/", Reply::text("nope"));
    auto refused = std::make_shared<Recorder>();
    refused->challenge = r->challenge;
    load(requestFor(other.url("/")), refused);
    ASSERT_TRUE(refused->error);
    EXPECT_EQ(refused->error->code(), NSURLErrorUserCancelledAuthentication);
    EXPECT_EQ(other.requestCount(), 0u);
}

TEST_F(Trust, AnAnswerGivenLaterFromAnotherThreadStillCounts)
{
    TestServer server(TestServer::https(certs.localhost()));
    server.on("/", Reply::text("late"));
    auto r = std::make_shared<Recorder>();
    std::thread answerer;
    r->challenge = [&](const std::shared_ptr<NSURLAuthenticationChallenge>& c) {
        answerer = std::thread([c] { c->sender()->useCredential(NSURLCredential::credentialForTrust(c->protectionSpace()->serverTrust()), c); });
    };
    load(requestFor(server.url("/")), r);
    answerer.join();
    EXPECT_EQ(r->text(), "late");
}

} // namespace
