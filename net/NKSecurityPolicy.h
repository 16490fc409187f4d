// NKSecurityPolicy: whether the server trust presented in a TLS handshake is accepted: the chain
// checked against the system roots and the host name, optionally with invalid certificates
// allowed, and optionally pinned (whole certificates or their public keys) against the ".cer"
// files shipped in the application bundle.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/foundation/Value.h"
#include "platform/security/SecTrust.h"
#include "platform/threading/KeyValueObserving.h"

enum NKSSLPinningMode : std::uint64_t {
    NKSSLPinningModeNone = 0,
    NKSSLPinningModePublicKey = 1,
    NKSSLPinningModeCertificate = 2,
};

// Observable: setting the pinned certificates announces "pinnedCertificates" and, as it depends
// on them, "pinnedPublicKeys".
class NKSecurityPolicy : public NSObject, public threading::KeyValueObservable {
public:
    // The DER bytes of every ".cer" file of the main bundle, read once per process.
    static const std::vector<Bytes>& defaultPinnedCertificates();
    static std::shared_ptr<NKSecurityPolicy> defaultPolicy();
    static std::shared_ptr<NKSecurityPolicy> policyWithPinningMode(std::uint64_t mode);
    std::string className() const override { return "NKSecurityPolicy"; }
    // The keys whose changes change "pinnedPublicKeys".
    static std::vector<std::string> keyPathsForValuesAffectingPinnedPublicKeys() { return { "pinnedCertificates" }; }
    // "pinnedCertificates" (an array of data) and "pinnedPublicKeys" (an array of keys).
    Value valueForKey(const std::string& key) const override;

    bool evaluateServerTrust(const SecTrustRef& serverTrust, const std::optional<std::string>& domain);
    bool evaluateServerTrust(const SecTrustRef& serverTrust) { return evaluateServerTrust(serverTrust, std::nullopt); }

    std::uint64_t SSLPinningMode() const { return mode_; }
    void setSSLPinningMode(std::uint64_t mode) { mode_ = mode; }
    bool allowInvalidCertificates() const { return allowInvalid_; }
    void setAllowInvalidCertificates(bool allow) { allowInvalid_ = allow; }
    bool validatesDomainName() const { return validatesDomainName_; }
    void setValidatesDomainName(bool validates) { validatesDomainName_ = validates; }
    // Duplicates are dropped; the public keys are derived at once.
    void setPinnedCertificates(std::optional<std::vector<Bytes>> certificates);
    const std::optional<std::vector<Bytes>>& pinnedCertificates() const { return pinned_; }
    const std::optional<std::vector<SecKeyRef>>& pinnedPublicKeys() const { return pinnedKeys_; }

    std::shared_ptr<NKSecurityPolicy> copy() const;

private:
    std::vector<SecCertificateRef> pinnedCertificateObjects() const;
    void storePinnedCertificates(std::optional<std::vector<Bytes>> certificates);

    std::uint64_t mode_ = NKSSLPinningModeNone;
    bool allowInvalid_ = false;
    bool validatesDomainName_ = true;
    std::optional<std::vector<Bytes>> pinned_;
    std::optional<std::vector<SecKeyRef>> pinnedKeys_;
};
