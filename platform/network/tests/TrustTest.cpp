// Certificates read from DER, and server trust as a connection's delegate sees it: the challenge
// comes after the handshake and before any request byte, and the delegate's answer (pinning
// style included) decides. Policies and chains: the HTTP stack's security-policy tests.
#include <gtest/gtest.h>

#include "platform/network/URLError.h"
#include "platform/network/tests/Recorder.h"
#include "platform/security/SecTrust.h"
#include "testing/httpserver/TestServer.h"

using namespace network::test;
using httpserver::Reply;
using httpserver::TestCertificates;
using httpserver::TestServer;

namespace {

SecCertificateRef certificate(const httpserver::Certificate& c) { return SecCertificateCreateWithData(c.der()); }

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
