// Trust evaluation over OpenSSL's X.509 verifier: a fresh store of anchors per evaluation, the
// input certificates past the leaf as untrusted intermediates, and the policy as verify params.
#include "platform/security/SecTrust.h"

#include <cstdlib>
#include <cstdio>

#include <arpa/inet.h>
#include <openssl/pem.h>
#include <openssl/x509.h>
#include <openssl/x509_vfy.h>
#include <openssl/x509v3.h>

namespace {

struct SystemRoots {
    std::mutex mutex;
    bool loaded = false;
    std::vector<SecCertificateRef> bundle;
    std::optional<std::vector<SecCertificateRef>> replacement;
};

SystemRoots& roots()
{
    static SystemRoots* instance = new SystemRoots;
    return *instance;
}

std::vector<SecCertificateRef> readBundle()
{
    const char* path = std::getenv("SSL_CERT_FILE");
    if (!path || !*path)
        path = X509_get_default_cert_file();
    std::vector<SecCertificateRef> result;
    FILE* file = std::fopen(path, "r");
    if (!file)
        return result;
    while (X509* certificate = PEM_read_X509(file, nullptr, nullptr, nullptr))
        result.push_back(std::make_shared<SecCertificate>(certificate));
    std::fclose(file);
    return result;
}

bool isIpAddress(const std::string& host)
{
    unsigned char buffer[16];
    return inet_pton(AF_INET, host.c_str(), buffer) == 1 || inet_pton(AF_INET6, host.c_str(), buffer) == 1;
}

struct StoreDeleter {
    void operator()(X509_STORE* store) const { X509_STORE_free(store); }
};
struct ContextDeleter {
    void operator()(X509_STORE_CTX* context) const { X509_STORE_CTX_free(context); }
};
struct StackDeleter {
    void operator()(STACK_OF(X509) * stack) const { sk_X509_pop_free(stack, X509_free); }
};

// Applies the SSL or basic policy: purpose and, for SSL with a name, the host or IP check.
void applyPolicies(X509_STORE_CTX* context, const std::vector<SecPolicyRef>& policies)
{
    X509_VERIFY_PARAM* param = X509_STORE_CTX_get0_param(context);
    for (const auto& policy : policies) {
        if (!policy || policy->kind() != SecPolicy::Kind::SSL)
            continue;
        X509_STORE_CTX_set_purpose(context, policy->isServer() ? X509_PURPOSE_SSL_SERVER : X509_PURPOSE_SSL_CLIENT);
        if (!policy->hostName())
            continue;
        const std::string& host = *policy->hostName();
        if (isIpAddress(host))
            X509_VERIFY_PARAM_set1_ip_asc(param, host.c_str());
        else
            X509_VERIFY_PARAM_set1_host(param, host.c_str(), host.size());
    }
}

} // namespace

SecTrust::SecTrust(std::vector<SecCertificateRef> certificates, std::vector<SecPolicyRef> policies)
    : certificates_(std::move(certificates))
    , policies_(std::move(policies))
{
}

void SecTrust::evaluateLocked()
{
    evaluated_ = true;
    result_ = kSecTrustResultOtherError;
    chain_ = certificates_;
    std::unique_ptr<X509_STORE, StoreDeleter> store(X509_STORE_new());
    std::unique_ptr<X509_STORE_CTX, ContextDeleter> context(X509_STORE_CTX_new());
    std::unique_ptr<STACK_OF(X509), StackDeleter> untrusted(sk_X509_new_null());
    if (!store || !context || !untrusted || certificates_.empty())
        return;
    if (anchors_)
        for (const auto& anchor : *anchors_)
            X509_STORE_add_cert(store.get(), anchor->x509());
    if (!anchors_ || !anchorsOnly_)
        for (const auto& anchor : security::systemAnchorCertificates())
            X509_STORE_add_cert(store.get(), anchor->x509());
    for (std::size_t i = 1; i < certificates_.size(); ++i) {
        X509_up_ref(certificates_[i]->x509());
        sk_X509_push(untrusted.get(), certificates_[i]->x509());
    }
    if (X509_STORE_CTX_init(context.get(), store.get(), certificates_[0]->x509(), untrusted.get()) != 1)
        return;
    applyPolicies(context.get(), policies_);
    // An anchor set by the caller ends the chain even when it is not self-signed: pinning a
    // server's own certificate or an intermediate must trust the chain up to that certificate.
    if (anchors_ && !anchors_->empty())
        X509_STORE_CTX_set_flags(context.get(), X509_V_FLAG_PARTIAL_CHAIN);
    if (verifyDate_)
        X509_STORE_CTX_set_time(context.get(), 0, static_cast<time_t>(*verifyDate_));
    int ok = X509_verify_cert(context.get());
    result_ = ok == 1 ? kSecTrustResultUnspecified : kSecTrustResultRecoverableTrustFailure;
    std::unique_ptr<STACK_OF(X509), StackDeleter> built(X509_STORE_CTX_get1_chain(context.get()));
    if (!built || sk_X509_num(built.get()) == 0)
        return;
    chain_.clear();
    for (int i = 0; i < sk_X509_num(built.get()); ++i) {
        X509* certificate = sk_X509_value(built.get(), i);
        X509_up_ref(certificate);
        chain_.push_back(std::make_shared<SecCertificate>(certificate));
    }
}

OSStatus SecTrustCreateWithCertificates(
    std::vector<SecCertificateRef> certificates, std::vector<SecPolicyRef> policies, SecTrustRef* trust)
{
    if (!trust)
        return errSecParam;
    *trust = nullptr;
    std::erase(certificates, nullptr);
    if (certificates.empty())
        return errSecParam;
    *trust = std::make_shared<SecTrust>(std::move(certificates), std::move(policies));
    return errSecSuccess;
}

OSStatus SecTrustSetPolicies(const SecTrustRef& trust, std::vector<SecPolicyRef> policies)
{
    if (!trust)
        return errSecParam;
    std::lock_guard lock(trust->mutex_);
    trust->policies_ = std::move(policies);
    trust->evaluated_ = false;
    return errSecSuccess;
}

OSStatus SecTrustSetAnchorCertificates(const SecTrustRef& trust, std::vector<SecCertificateRef> anchors)
{
    if (!trust)
        return errSecParam;
    std::erase(anchors, nullptr);
    std::lock_guard lock(trust->mutex_);
    trust->anchors_ = std::move(anchors);
    trust->anchorsOnly_ = true;
    trust->evaluated_ = false;
    return errSecSuccess;
}

OSStatus SecTrustSetAnchorCertificatesOnly(const SecTrustRef& trust, bool anchorsOnly)
{
    if (!trust)
        return errSecParam;
    std::lock_guard lock(trust->mutex_);
    trust->anchorsOnly_ = anchorsOnly;
    trust->evaluated_ = false;
    return errSecSuccess;
}

OSStatus SecTrustSetVerifyDate(const SecTrustRef& trust, double secondsSince1970)
{
    if (!trust)
        return errSecParam;
    std::lock_guard lock(trust->mutex_);
    trust->verifyDate_ = secondsSince1970;
    trust->evaluated_ = false;
    return errSecSuccess;
}

OSStatus SecTrustEvaluate(const SecTrustRef& trust, SecTrustResultType* result)
{
    if (!trust)
        return errSecParam;
    std::lock_guard lock(trust->mutex_);
    trust->evaluateLocked();
    if (result)
        *result = trust->result_;
    return errSecSuccess;
}

long SecTrustGetCertificateCount(const SecTrustRef& trust)
{
    if (!trust)
        return 0;
    std::lock_guard lock(trust->mutex_);
    if (!trust->evaluated_)
        trust->evaluateLocked();
    return static_cast<long>(trust->chain_.size());
}

SecCertificateRef SecTrustGetCertificateAtIndex(const SecTrustRef& trust, long index)
{
    if (!trust || index < 0)
        return nullptr;
    std::lock_guard lock(trust->mutex_);
    if (!trust->evaluated_)
        trust->evaluateLocked();
    if (static_cast<std::size_t>(index) >= trust->chain_.size())
        return nullptr;
    return trust->chain_[static_cast<std::size_t>(index)];
}

SecKeyRef SecTrustCopyPublicKey(const SecTrustRef& trust)
{
    if (!trust)
        return nullptr;
    std::lock_guard lock(trust->mutex_);
    if (!trust->evaluated_)
        trust->evaluateLocked();
    return SecCertificateCopyKey(trust->chain_.empty() ? trust->certificates_.front() : trust->chain_.front());
}

std::vector<SecCertificateRef> SecTrustCopyInputCertificates(const SecTrustRef& trust)
{
    if (!trust)
        return {};
    std::lock_guard lock(trust->mutex_);
    return trust->certificates_;
}

namespace security {

std::vector<SecCertificateRef> systemAnchorCertificates()
{
    auto& state = roots();
    std::lock_guard lock(state.mutex);
    if (state.replacement)
        return *state.replacement;
    if (!state.loaded) {
        state.bundle = readBundle();
        state.loaded = true;
    }
    return state.bundle;
}

void setSystemAnchorCertificates(std::vector<SecCertificateRef> anchors)
{
    auto& state = roots();
    std::lock_guard lock(state.mutex);
    std::erase(anchors, nullptr);
    state.replacement = std::move(anchors);
}

void resetSystemAnchorCertificates()
{
    auto& state = roots();
    std::lock_guard lock(state.mutex);
    state.replacement.reset();
}

} // namespace security
