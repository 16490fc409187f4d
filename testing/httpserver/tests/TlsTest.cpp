// HTTPS and the certificates made at test time: the names, dates and issuers each one claims,
// trust through the test CA, plain text and refused handshakes counted, faults over TLS. What
// a client makes of each bad certificate is in the platform's trust tests.
#include <gtest/gtest.h>

#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include "testing/httpserver/TestServer.h"
#include "testing/httpserver/tests/Support.h"

using namespace httpserver;
using namespace httpserver::test;

namespace {

const TestCertificates& certs()
{
    return TestCertificates::shared();
}

// A fetch that trusts the test CA alone.
CurlResult fetchTrusting(const std::string& url)
{
    return curlFetch(url, [](CURL* c) {
        const std::string& pem = certs().ca().pem();
        curl_blob blob { const_cast<char*>(pem.data()), pem.size(), CURL_BLOB_COPY };
        curl_easy_setopt(c, CURLOPT_CAINFO_BLOB, &blob);
        curl_easy_setopt(c, CURLOPT_CAPATH, nullptr);
    });
}

} // namespace

TEST(TestCertificates, EachLeafHasTheNamesDatesAndIssuerItClaims)
{
    X509* leaf = certs().localhost().certificate.x509();
    EXPECT_EQ(X509_check_ip_asc(leaf, "127.0.0.1", 0), 1);
    EXPECT_EQ(X509_check_ip_asc(leaf, "::1", 0), 1);
    EXPECT_EQ(X509_check_host(leaf, "localhost", 0, 0, nullptr), 1);
    EXPECT_EQ(X509_check_issued(certs().ca().x509(), leaf), X509_V_OK);

    X509* wrong = certs().wrongHost().certificate.x509();
    EXPECT_NE(X509_check_ip_asc(wrong, "127.0.0.1", 0), 1);
    EXPECT_NE(X509_check_host(wrong, "localhost", 0, 0, nullptr), 1);

    EXPECT_LT(X509_cmp_current_time(X509_get0_notAfter(certs().expired().certificate.x509())), 0);
    EXPECT_GT(X509_cmp_current_time(X509_get0_notAfter(leaf)), 0);

    X509* self = certs().selfSigned().certificate.x509();
    EXPECT_EQ(X509_NAME_cmp(X509_get_issuer_name(self), X509_get_subject_name(self)), 0);
    EXPECT_EQ(X509_verify(self, X509_get0_pubkey(self)), 1);
    EXPECT_NE(X509_check_issued(certs().ca().x509(), self), X509_V_OK);

    const Identity& chained = certs().chained();
    ASSERT_EQ(chained.chain.size(), 1u);
    EXPECT_EQ(X509_check_issued(certs().intermediate().x509(), chained.certificate.x509()), X509_V_OK);
    EXPECT_EQ(X509_check_issued(certs().ca().x509(), certs().intermediate().x509()), X509_V_OK);
    EXPECT_EQ(X509_check_ca(certs().intermediate().x509()), 1);
    EXPECT_EQ(X509_check_ca(leaf), 0);
    EXPECT_EQ(chained.chainPem(), chained.certificate.pem() + certs().intermediate().pem());
}

TEST(Tls, TrustedThroughTheTestCAByAddressAndByName)
{
    TestServer server(TestServer::https(certs().localhost()));
    server.on("/secure", Reply::text("over tls"));
    EXPECT_TRUE(server.isTls());
    EXPECT_TRUE(server.url("/secure").starts_with("https://127.0.0.1:"));
    for (const auto& url : { server.url("/secure"), server.urlWithHost("localhost", "/secure") }) {
        auto r = fetchTrusting(url);
        ASSERT_EQ(r.code, CURLE_OK) << url << ": " << r.error;
        EXPECT_EQ(r.body, "over tls");
    }
    EXPECT_TRUE(server.lastRequest()->tls);
}

TEST(Tls, ClientThatRejectsTheCertificateIsCountedAndPlainTextIsRefused)
{
    TestServer server(TestServer::https(certs().expired()));
    fetchTrusting(server.url("/"));
    EXPECT_TRUE(server.waitForOpenConnections(0));
    EXPECT_EQ(server.tlsHandshakeFailures(), 1u);

    RawClient raw(server.port());
    raw.send("GET / HTTP/1.1\r\n\r\n");
    std::string reply = raw.readAll();
    EXPECT_EQ(reply.find("HTTP/1.1"), std::string::npos);
    EXPECT_TRUE(server.waitForOpenConnections(0));
    EXPECT_EQ(server.tlsHandshakeFailures(), 2u);
    EXPECT_EQ(server.requestCount(), 0u);
}

TEST(Tls, FaultsWorkOverTlsToo)
{
    TestServer server(TestServer::https(certs().localhost()));
    server.on("/cut", Reply::text(std::string(1000, 'x')).closeAfter(100));
    server.on("/chunked", Reply::text(std::string(5000, 'y')).chunked(1000));
    server.on("/eof", Reply::text("close-delimited").closeDelimited());
    EXPECT_NE(fetchTrusting(server.url("/cut")).code, CURLE_OK);
    EXPECT_EQ(fetchTrusting(server.url("/chunked")).body, std::string(5000, 'y'));
    auto eof = fetchTrusting(server.url("/eof"));
    EXPECT_EQ(eof.code, CURLE_OK) << eof.error;
    EXPECT_EQ(eof.body, "close-delimited");
}
