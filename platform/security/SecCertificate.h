// SecCertificate: an X.509 certificate made from DER bytes, and SecKey: the public key of one.
// Both are immutable objects shared through std::shared_ptr.
#pragma once

#include <memory>
#include <string>

#include "platform/foundation/NSObject.h"
#include "platform/foundation/Value.h"

typedef struct x509_st X509;
typedef struct evp_pkey_st EVP_PKEY;

class SecCertificate final : public NSObject {
public:
    // Takes over one reference to `certificate`.
    explicit SecCertificate(X509* certificate);
    ~SecCertificate() override;
    std::string className() const override { return "SecCertificate"; }
    std::string description() const override;
    // Two certificates are equal when their DER bytes are.
    bool isEqual(const NSObject& other) const override;
    std::size_t hash() const override;

    X509* x509() const { return certificate_; }
    const Bytes& der() const { return der_; }

private:
    X509* certificate_;
    Bytes der_;
};

class SecKey final : public NSObject {
public:
    // Takes over one reference to `key`.
    explicit SecKey(EVP_PKEY* key);
    ~SecKey() override;
    std::string className() const override { return "SecKey"; }
    // Equal exactly when both hold the same public key.
    bool isEqual(const NSObject& other) const override;
    std::size_t hash() const override;

    EVP_PKEY* pkey() const { return key_; }
    // The DER of the SubjectPublicKeyInfo.
    Bytes subjectPublicKeyInfo() const;

private:
    EVP_PKEY* key_;
};

using SecCertificateRef = std::shared_ptr<SecCertificate>;
using SecKeyRef = std::shared_ptr<SecKey>;

// nullptr when `der` is not exactly one DER certificate.
SecCertificateRef SecCertificateCreateWithData(const Bytes& der);
// The DER bytes; empty for nullptr.
Bytes SecCertificateCopyData(const SecCertificateRef& certificate);
// A short human-readable summary: the subject's common name, else its whole name.
std::string SecCertificateCopySubjectSummary(const SecCertificateRef& certificate);
// The certificate's public key; nullptr when it cannot be read.
SecKeyRef SecCertificateCopyKey(const SecCertificateRef& certificate);
