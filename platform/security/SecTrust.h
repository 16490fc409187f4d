// SecTrust: a certificate chain to judge (leaf first), the policies to judge it by and the anchors
// it must end at. Evaluation builds the chain, checks it and records a result; the built chain's
// certificates and the leaf's public key can then be read. Anchors default to the system roots
// (the system's CA bundle), which tests can replace process-wide.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "platform/security/SecBase.h"
#include "platform/security/SecCertificate.h"
#include "platform/security/SecPolicy.h"

enum SecTrustResultType : std::uint32_t {
    kSecTrustResultInvalid = 0,
    kSecTrustResultProceed = 1,
    kSecTrustResultConfirm = 2,
    kSecTrustResultDeny = 3,
    kSecTrustResultUnspecified = 4,
    kSecTrustResultRecoverableTrustFailure = 5,
    kSecTrustResultFatalTrustFailure = 6,
    kSecTrustResultOtherError = 7,
};

class SecTrust final : public NSObject {
public:
    SecTrust(std::vector<SecCertificateRef> certificates, std::vector<SecPolicyRef> policies);
    std::string className() const override { return "SecTrust"; }

private:
    friend OSStatus SecTrustSetPolicies(const std::shared_ptr<SecTrust>&, std::vector<SecPolicyRef>);
    friend OSStatus SecTrustSetAnchorCertificates(const std::shared_ptr<SecTrust>&, std::vector<SecCertificateRef>);
    friend OSStatus SecTrustSetAnchorCertificatesOnly(const std::shared_ptr<SecTrust>&, bool);
    friend OSStatus SecTrustSetVerifyDate(const std::shared_ptr<SecTrust>&, double);
    friend OSStatus SecTrustEvaluate(const std::shared_ptr<SecTrust>&, SecTrustResultType*);
    friend long SecTrustGetCertificateCount(const std::shared_ptr<SecTrust>&);
    friend SecCertificateRef SecTrustGetCertificateAtIndex(const std::shared_ptr<SecTrust>&, long);
    friend SecKeyRef SecTrustCopyPublicKey(const std::shared_ptr<SecTrust>&);
    friend std::vector<SecCertificateRef> SecTrustCopyInputCertificates(const std::shared_ptr<SecTrust>&);

    void evaluateLocked();

    mutable std::mutex mutex_;
    std::vector<SecCertificateRef> certificates_; // as given, leaf first
    std::vector<SecPolicyRef> policies_;
    std::optional<std::vector<SecCertificateRef>> anchors_;
    bool anchorsOnly_ = false;
    std::optional<double> verifyDate_; // seconds since 1970
    bool evaluated_ = false;
    SecTrustResultType result_ = kSecTrustResultInvalid;
    std::vector<SecCertificateRef> chain_; // built by the last evaluation
};

using SecTrustRef = std::shared_ptr<SecTrust>;

// errSecParam when there is no certificate.
OSStatus SecTrustCreateWithCertificates(
    std::vector<SecCertificateRef> certificates, std::vector<SecPolicyRef> policies, SecTrustRef* trust);
// Each setter forgets the previous evaluation.
OSStatus SecTrustSetPolicies(const SecTrustRef& trust, std::vector<SecPolicyRef> policies);
// Replaces the anchors and, as the platform does, trusts only them from then on. An anchor
// need not be self-signed: a chain that reaches it verifies (a pinned leaf or intermediate).
OSStatus SecTrustSetAnchorCertificates(const SecTrustRef& trust, std::vector<SecCertificateRef> anchors);
// false: the system roots count too, beside the anchors set.
OSStatus SecTrustSetAnchorCertificatesOnly(const SecTrustRef& trust, bool anchorsOnly);
OSStatus SecTrustSetVerifyDate(const SecTrustRef& trust, double secondsSince1970);
// errSecSuccess with a result: kSecTrustResultUnspecified for a good chain,
// kSecTrustResultRecoverableTrustFailure for a bad one (expired, wrong name, unknown root).
OSStatus SecTrustEvaluate(const SecTrustRef& trust, SecTrustResultType* result);
// The chain of the last evaluation (evaluating first when there was none), leaf first.
long SecTrustGetCertificateCount(const SecTrustRef& trust);
SecCertificateRef SecTrustGetCertificateAtIndex(const SecTrustRef& trust, long index);
// The leaf's public key (evaluating first when there was no evaluation).
SecKeyRef SecTrustCopyPublicKey(const SecTrustRef& trust);
std::vector<SecCertificateRef> SecTrustCopyInputCertificates(const SecTrustRef& trust);

namespace security {

// The system roots: the CA bundle named by SSL_CERT_FILE, else OpenSSL's default file, read once.
std::vector<SecCertificateRef> systemAnchorCertificates();
// Replaces the system roots for the whole process (tests); reset puts the bundle back.
void setSystemAnchorCertificates(std::vector<SecCertificateRef> anchors);
void resetSystemAnchorCertificates();

} // namespace security
