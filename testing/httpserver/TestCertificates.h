// Certificates made at test time: a test CA, leaves for the loopback names, faulty leaves
// (wrong host, expired, self-signed) and a leaf issued by an intermediate. Each is available as
// PEM and DER bytes and can be written to files (".cer" files hold DER).
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

typedef struct x509_st X509;
typedef struct evp_pkey_st EVP_PKEY;

namespace httpserver {

class Certificate {
public:
    explicit Certificate(std::shared_ptr<X509> certificate);

    std::string pem() const;
    std::vector<std::uint8_t> der() const;
    // DER of the SubjectPublicKeyInfo, what public-key pinning compares.
    std::vector<std::uint8_t> publicKeyDer() const;
    std::string subjectCommonName() const;
    void writePem(const std::filesystem::path& file) const;
    void writeDer(const std::filesystem::path& file) const;

    X509* x509() const { return certificate_.get(); }

private:
    std::shared_ptr<X509> certificate_;
};

class PrivateKey {
public:
    explicit PrivateKey(std::shared_ptr<EVP_PKEY> key);

    std::string pem() const; // PKCS#8, unencrypted
    void writePem(const std::filesystem::path& file) const;

    EVP_PKEY* pkey() const { return key_.get(); }

private:
    std::shared_ptr<EVP_PKEY> key_;
};

// What a TLS server presents: its certificate, its key, and the intermediates sent after it.
struct Identity {
    Certificate certificate;
    PrivateKey key;
    std::vector<Certificate> chain;

    // Leaf then intermediates, PEM.
    std::string chainPem() const;
};

struct LeafSpec {
    std::string commonName = "localhost";
    std::vector<std::string> dnsNames { "localhost" };
    std::vector<std::string> ipAddresses { "127.0.0.1", "::1" };
    long notBeforeDays = -1; // relative to now
    long notAfterDays = 365;
};

class TestCertificates {
public:
    // A fresh set: new keys, a new CA.
    TestCertificates();
    // One set per process, made on first use.
    static const TestCertificates& shared();

    const Certificate& ca() const { return ca_.certificate; }
    const Certificate& intermediate() const { return intermediate_.certificate; }

    const Identity& localhost() const { return localhost_; } // 127.0.0.1, ::1, localhost; CA-signed
    const Identity& wrongHost() const { return wrongHost_; } // only "wrong.example.invalid"; CA-signed
    const Identity& expired() const { return expired_; } // loopback names, expired yesterday; CA-signed
    const Identity& selfSigned() const { return selfSigned_; } // loopback names, its own issuer
    const Identity& chained() const { return chained_; } // loopback names, issued by the intermediate

    // Another leaf issued by the CA.
    Identity issue(const LeafSpec& spec) const;

private:
    Identity ca_;
    Identity intermediate_;
    Identity localhost_;
    Identity wrongHost_;
    Identity expired_;
    Identity selfSigned_;
    Identity chained_;
};

} // namespace httpserver
