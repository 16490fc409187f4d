// Certificates and public keys over OpenSSL.
#include "platform/security/SecCertificate.h"

#include <functional>
#include <string_view>

#include <openssl/evp.h>
#include <openssl/x509.h>

SecCertificate::SecCertificate(X509* certificate)
    : certificate_(certificate)
{
    unsigned char* out = nullptr;
    int length = i2d_X509(certificate_, &out);
    if (length > 0)
        der_.assign(out, out + length);
    OPENSSL_free(out);
}

SecCertificate::~SecCertificate() { X509_free(certificate_); }

namespace {

std::string summaryOf(X509* certificate)
{
    X509_NAME* name = X509_get_subject_name(certificate);
    char buffer[256] = {};
    if (X509_NAME_get_text_by_NID(name, NID_commonName, buffer, sizeof buffer) > 0)
        return buffer;
    char* line = X509_NAME_oneline(name, nullptr, 0);
    std::string result = line ? line : "";
    OPENSSL_free(line);
    return result;
}

} // namespace

std::string SecCertificate::description() const { return "<SecCertificate: " + summaryOf(certificate_) + ">"; }

bool SecCertificate::isEqual(const NSObject& other) const
{
    auto* certificate = dynamic_cast<const SecCertificate*>(&other);
    return certificate && certificate->der_ == der_;
}

std::size_t SecCertificate::hash() const
{
    return std::hash<std::string_view>()(std::string_view(reinterpret_cast<const char*>(der_.data()), der_.size()));
}

SecKey::SecKey(EVP_PKEY* key)
    : key_(key)
{
}

SecKey::~SecKey() { EVP_PKEY_free(key_); }

bool SecKey::isEqual(const NSObject& other) const
{
    auto* key = dynamic_cast<const SecKey*>(&other);
    return key && EVP_PKEY_eq(key->key_, key_) == 1;
}

std::size_t SecKey::hash() const
{
    Bytes spki = subjectPublicKeyInfo();
    return std::hash<std::string_view>()(std::string_view(reinterpret_cast<const char*>(spki.data()), spki.size()));
}

Bytes SecKey::subjectPublicKeyInfo() const
{
    unsigned char* out = nullptr;
    int length = i2d_PUBKEY(key_, &out);
    Bytes result;
    if (length > 0)
        result.assign(out, out + length);
    OPENSSL_free(out);
    return result;
}

SecCertificateRef SecCertificateCreateWithData(const Bytes& der)
{
    if (der.empty())
        return nullptr;
    const unsigned char* cursor = der.data();
    X509* certificate = d2i_X509(nullptr, &cursor, static_cast<long>(der.size()));
    if (!certificate)
        return nullptr;
    if (cursor != der.data() + der.size()) { // trailing bytes: not one certificate
        X509_free(certificate);
        return nullptr;
    }
    return std::make_shared<SecCertificate>(certificate);
}

Bytes SecCertificateCopyData(const SecCertificateRef& certificate)
{
    return certificate ? certificate->der() : Bytes {};
}

std::string SecCertificateCopySubjectSummary(const SecCertificateRef& certificate)
{
    return certificate ? summaryOf(certificate->x509()) : std::string {};
}

SecKeyRef SecCertificateCopyKey(const SecCertificateRef& certificate)
{
    if (!certificate)
        return nullptr;
    EVP_PKEY* key = X509_get_pubkey(certificate->x509());
    return key ? std::make_shared<SecKey>(key) : nullptr;
}
