// Certificate generation with the OpenSSL API: P-256 keys, SHA-256 signatures, X.509 v3.
#include "testing/httpserver/TestCertificates.h"

#include <fstream>
#include <stdexcept>

#include <openssl/bio.h>
#include <openssl/bn.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/rand.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

namespace httpserver {

namespace {

constexpr long kDay = 24L * 60 * 60;

[[noreturn]] void fail(const char* what)
{
    throw std::runtime_error(std::string("certificate generation failed: ") + what);
}

std::string bioText(BIO* bio)
{
    char* data = nullptr;
    long n = BIO_get_mem_data(bio, &data);
    return std::string(data, static_cast<std::size_t>(n));
}

void writeFile(const std::filesystem::path& file, const void* data, std::size_t size)
{
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(static_cast<const char*>(data), static_cast<std::streamsize>(size));
    if (!out)
        throw std::runtime_error("cannot write " + file.string());
}

std::shared_ptr<EVP_PKEY> newKey()
{
    EVP_PKEY* key = EVP_EC_gen("P-256");
    if (!key)
        fail("key");
    return std::shared_ptr<EVP_PKEY>(key, EVP_PKEY_free);
}

void addExtension(X509* cert, X509* issuer, int nid, const std::string& value)
{
    X509V3_CTX ctx;
    X509V3_set_ctx_nodb(&ctx);
    X509V3_set_ctx(&ctx, issuer, cert, nullptr, nullptr, 0);
    X509_EXTENSION* ext = X509V3_EXT_conf_nid(nullptr, &ctx, nid, value.c_str());
    if (!ext)
        fail("extension");
    X509_add_ext(cert, ext, -1);
    X509_EXTENSION_free(ext);
}

struct Spec {
    std::string commonName;
    std::string subjectAltName; // "DNS:a,IP:b"; empty for none
    bool isCa = false;
    long notBeforeDays = -1;
    long notAfterDays = 365;
};

// Signs a new certificate for `key` with `issuerKey`; a null issuer makes it self-issued.
std::shared_ptr<X509> makeCertificate(const Spec& spec, EVP_PKEY* key, X509* issuer, EVP_PKEY* issuerKey)
{
    std::shared_ptr<X509> cert(X509_new(), X509_free);
    if (!cert)
        fail("allocation");
    X509* x = cert.get();
    X509_set_version(x, 2);

    BIGNUM* serial = BN_new();
    BN_rand(serial, 63, BN_RAND_TOP_ANY, BN_RAND_BOTTOM_ANY);
    BN_to_ASN1_INTEGER(serial, X509_get_serialNumber(x));
    BN_free(serial);

    X509_gmtime_adj(X509_getm_notBefore(x), spec.notBeforeDays * kDay);
    X509_gmtime_adj(X509_getm_notAfter(x), spec.notAfterDays * kDay);
    X509_set_pubkey(x, key);

    X509_NAME* name = X509_get_subject_name(x);
    X509_NAME_add_entry_by_txt(
        name, "O", MBSTRING_ASC, reinterpret_cast<const unsigned char*>("Quillmark Tests"), -1, -1, 0);
    X509_NAME_add_entry_by_txt(
        name, "CN", MBSTRING_ASC, reinterpret_cast<const unsigned char*>(spec.commonName.c_str()), -1, -1, 0);
    X509* signer = issuer ? issuer : x;
    X509_set_issuer_name(x, X509_get_subject_name(signer));

    if (spec.isCa) {
        addExtension(x, signer, NID_basic_constraints, "critical,CA:TRUE");
        addExtension(x, signer, NID_key_usage, "critical,keyCertSign,cRLSign");
    } else {
        addExtension(x, signer, NID_basic_constraints, "critical,CA:FALSE");
        addExtension(x, signer, NID_key_usage, "critical,digitalSignature,keyEncipherment");
        addExtension(x, signer, NID_ext_key_usage, "serverAuth");
    }
    addExtension(x, signer, NID_subject_key_identifier, "hash");
    if (issuer)
        addExtension(x, signer, NID_authority_key_identifier, "keyid:always");
    if (!spec.subjectAltName.empty())
        addExtension(x, signer, NID_subject_alt_name, spec.subjectAltName);

    if (!X509_sign(x, issuerKey ? issuerKey : key, EVP_sha256()))
        fail("signature");
    return cert;
}

std::string altNames(const LeafSpec& spec)
{
    std::string out;
    for (const auto& dns : spec.dnsNames)
        out += (out.empty() ? "" : ",") + std::string("DNS:") + dns;
    for (const auto& ip : spec.ipAddresses)
        out += (out.empty() ? "" : ",") + std::string("IP:") + ip;
    return out;
}

Identity makeAuthority(const std::string& commonName, const Identity* parent)
{
    auto key = newKey();
    Spec spec { commonName, "", true, -1, 3650 };
    auto cert = parent ? makeCertificate(spec, key.get(), parent->certificate.x509(), parent->key.pkey())
                       : makeCertificate(spec, key.get(), nullptr, nullptr);
    return Identity { Certificate(cert), PrivateKey(key), {} };
}

Identity makeLeaf(const LeafSpec& leaf, const Identity* issuer)
{
    auto key = newKey();
    Spec spec { leaf.commonName, altNames(leaf), false, leaf.notBeforeDays, leaf.notAfterDays };
    auto cert = issuer ? makeCertificate(spec, key.get(), issuer->certificate.x509(), issuer->key.pkey())
                       : makeCertificate(spec, key.get(), nullptr, nullptr);
    return Identity { Certificate(cert), PrivateKey(key), {} };
}

LeafSpec wrongHostSpec()
{
    LeafSpec spec;
    spec.commonName = "wrong.example.invalid";
    spec.dnsNames = { "wrong.example.invalid" };
    spec.ipAddresses = { "192.0.2.1" };
    return spec;
}

LeafSpec expiredSpec()
{
    LeafSpec spec;
    spec.notBeforeDays = -30;
    spec.notAfterDays = -1;
    return spec;
}

Identity makeChained(const Identity& intermediate)
{
    Identity leaf = makeLeaf(LeafSpec(), &intermediate);
    leaf.chain.push_back(intermediate.certificate);
    return leaf;
}

} // namespace

Certificate::Certificate(std::shared_ptr<X509> certificate)
    : certificate_(std::move(certificate))
{
}

std::string Certificate::pem() const
{
    std::unique_ptr<BIO, decltype(&BIO_free)> bio(BIO_new(BIO_s_mem()), BIO_free);
    PEM_write_bio_X509(bio.get(), certificate_.get());
    return bioText(bio.get());
}

std::vector<std::uint8_t> Certificate::der() const
{
    int n = i2d_X509(certificate_.get(), nullptr);
    if (n <= 0)
        return {};
    std::vector<std::uint8_t> out(static_cast<std::size_t>(n));
    unsigned char* p = out.data();
    i2d_X509(certificate_.get(), &p);
    return out;
}

std::vector<std::uint8_t> Certificate::publicKeyDer() const
{
    X509_PUBKEY* pub = X509_get_X509_PUBKEY(certificate_.get());
    int n = i2d_X509_PUBKEY(pub, nullptr);
    if (n <= 0)
        return {};
    std::vector<std::uint8_t> out(static_cast<std::size_t>(n));
    unsigned char* p = out.data();
    i2d_X509_PUBKEY(pub, &p);
    return out;
}

std::string Certificate::subjectCommonName() const
{
    char buf[256] = {};
    X509_NAME_get_text_by_NID(X509_get_subject_name(certificate_.get()), NID_commonName, buf, sizeof buf);
    return buf;
}

void Certificate::writePem(const std::filesystem::path& file) const
{
    std::string text = pem();
    writeFile(file, text.data(), text.size());
}

void Certificate::writeDer(const std::filesystem::path& file) const
{
    auto bytes = der();
    writeFile(file, bytes.data(), bytes.size());
}

PrivateKey::PrivateKey(std::shared_ptr<EVP_PKEY> key)
    : key_(std::move(key))
{
}

std::string PrivateKey::pem() const
{
    std::unique_ptr<BIO, decltype(&BIO_free)> bio(BIO_new(BIO_s_mem()), BIO_free);
    PEM_write_bio_PrivateKey(bio.get(), key_.get(), nullptr, nullptr, 0, nullptr, nullptr);
    return bioText(bio.get());
}

void PrivateKey::writePem(const std::filesystem::path& file) const
{
    std::string text = pem();
    writeFile(file, text.data(), text.size());
}

std::string Identity::chainPem() const
{
    std::string out = certificate.pem();
    for (const auto& c : chain)
        out += c.pem();
    return out;
}

TestCertificates::TestCertificates()
    : ca_(makeAuthority("Quillmark Test CA", nullptr))
    , intermediate_(makeAuthority("Quillmark Test Intermediate", &ca_))
    , localhost_(makeLeaf(LeafSpec(), &ca_))
    , wrongHost_(makeLeaf(wrongHostSpec(), &ca_))
    , expired_(makeLeaf(expiredSpec(), &ca_))
    , selfSigned_(makeLeaf(LeafSpec(), nullptr))
    , chained_(makeChained(intermediate_))
{
}

const TestCertificates& TestCertificates::shared()
{
    static const TestCertificates certificates;
    return certificates;
}

Identity TestCertificates::issue(const LeafSpec& spec) const
{
    return makeLeaf(spec, &ca_);
}

} // namespace httpserver
