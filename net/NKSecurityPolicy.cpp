// NKSecurityPolicy: trust evaluation without pinning, with pinned certificates and with pinned
// public keys. A pinned key counts only inside a chain that itself verifies.
#include "net/NKSecurityPolicy.h"

#include <algorithm>
#include <fstream>
#include <iterator>

#include "platform/foundation/NSLog.h"
#include "platform/persistence/NSBundle.h"

namespace {

bool trustIsValid(const SecTrustRef& trust)
{
    SecTrustResultType result = kSecTrustResultInvalid;
    if (SecTrustEvaluate(trust, &result) != errSecSuccess)
        return false;
    return result == kSecTrustResultProceed || result == kSecTrustResultUnspecified;
}

// The key of a certificate, read through a trust of that certificate alone.
SecKeyRef publicKeyForCertificate(const SecCertificateRef& certificate)
{
    if (!certificate)
        return nullptr;
    SecTrustRef trust;
    if (SecTrustCreateWithCertificates({ certificate }, { SecPolicyCreateBasicX509() }, &trust) != errSecSuccess)
        return nullptr;
    SecTrustResultType result;
    if (SecTrustEvaluate(trust, &result) != errSecSuccess)
        return nullptr;
    return SecTrustCopyPublicKey(trust);
}

std::vector<SecCertificateRef> chainOf(const SecTrustRef& trust)
{
    std::vector<SecCertificateRef> chain;
    long count = SecTrustGetCertificateCount(trust);
    for (long i = 0; i < count; ++i)
        if (auto certificate = SecTrustGetCertificateAtIndex(trust, i))
            chain.push_back(certificate);
    return chain;
}

std::optional<Bytes> readFile(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    if (!file)
        return std::nullopt;
    return Bytes(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

} // namespace

const std::vector<Bytes>& NKSecurityPolicy::defaultPinnedCertificates()
{
    static const std::vector<Bytes>* certificates = [] {
        auto* list = new std::vector<Bytes>;
        for (const auto& path : NSBundle::mainBundle()->pathsForResourcesOfType("cer", "."))
            if (auto bytes = readFile(path))
                list->push_back(std::move(*bytes));
        return list;
    }();
    return *certificates;
}

std::shared_ptr<NKSecurityPolicy> NKSecurityPolicy::defaultPolicy() { return std::make_shared<NKSecurityPolicy>(); }

std::shared_ptr<NKSecurityPolicy> NKSecurityPolicy::policyWithPinningMode(std::uint64_t mode)
{
    auto policy = std::make_shared<NKSecurityPolicy>();
    policy->mode_ = mode;
    policy->setPinnedCertificates(defaultPinnedCertificates());
    return policy;
}

Value NKSecurityPolicy::valueForKey(const std::string& key) const
{
    if (key == "pinnedCertificates" && pinned_) {
        Value::Array items;
        for (const auto& der : *pinned_)
            items.push_back(Value(der));
        return Value(std::move(items));
    }
    if (key == "pinnedPublicKeys" && pinnedKeys_) {
        Value::Array items;
        for (const auto& publicKey : *pinnedKeys_)
            items.push_back(Value(publicKey));
        return Value(std::move(items));
    }
    return KeyValueObservable::valueForKey(key);
}

void NKSecurityPolicy::setPinnedCertificates(std::optional<std::vector<Bytes>> certificates)
{
    willChangeValueForKey("pinnedCertificates");
    willChangeValueForKey("pinnedPublicKeys");
    storePinnedCertificates(std::move(certificates));
    didChangeValueForKey("pinnedPublicKeys");
    didChangeValueForKey("pinnedCertificates");
}

void NKSecurityPolicy::storePinnedCertificates(std::optional<std::vector<Bytes>> certificates)
{
    if (!certificates) {
        pinned_.reset();
        pinnedKeys_.reset();
        return;
    }
    std::vector<Bytes> unique;
    for (auto& certificate : *certificates)
        if (std::find(unique.begin(), unique.end(), certificate) == unique.end())
            unique.push_back(std::move(certificate));
    std::vector<SecKeyRef> keys;
    for (const auto& der : unique)
        if (auto key = publicKeyForCertificate(SecCertificateCreateWithData(der)))
            keys.push_back(std::move(key));
    pinned_ = std::move(unique);
    pinnedKeys_ = std::move(keys);
}

bool NKSecurityPolicy::evaluateServerTrust(const SecTrustRef& serverTrust, const std::optional<std::string>& domain)
{
    if (!serverTrust)
        return false;
    bool noPins = !pinned_ || pinned_->empty();
    if (domain && allowInvalid_ && validatesDomainName_ && (mode_ == NKSSLPinningModeNone || noPins)) {
        NSLog("In order to validate a domain name for self signed certificates, you MUST use pinning.");
        return false;
    }
    SecTrustSetPolicies(serverTrust,
        { validatesDomainName_ ? SecPolicyCreateSSL(true, domain) : SecPolicyCreateBasicX509() });
    if (mode_ == NKSSLPinningModeNone)
        return allowInvalid_ || trustIsValid(serverTrust);
    bool chainValid = trustIsValid(serverTrust);
    if (!chainValid && !allowInvalid_)
        return false;
    if (mode_ == NKSSLPinningModePublicKey) {
        // Only a chain that verifies can vouch for a key: otherwise anyone could append the
        // (public) pinned certificate to a chain of their own. A chain the system roots do not
        // vouch for (a self-signed server) must verify up to a pinned certificate instead.
        if (!chainValid) {
            SecTrustSetAnchorCertificates(serverTrust, pinnedCertificateObjects());
            if (!trustIsValid(serverTrust))
                return false;
        }
        if (!pinnedKeys_)
            return false;
        for (const auto& certificate : chainOf(serverTrust)) {
            auto key = publicKeyForCertificate(certificate);
            if (!key)
                continue;
            for (const auto& pinned : *pinnedKeys_)
                if (pinned->isEqual(*key))
                    return true;
        }
        return false;
    }
    if (mode_ == NKSSLPinningModeCertificate) {
        SecTrustSetAnchorCertificates(serverTrust, pinnedCertificateObjects());
        if (!trustIsValid(serverTrust))
            return false;
        for (const auto& certificate : chainOf(serverTrust))
            for (const auto& der : *pinned_)
                if (certificate->der() == der)
                    return true;
        return false;
    }
    return false;
}

std::vector<SecCertificateRef> NKSecurityPolicy::pinnedCertificateObjects() const
{
    std::vector<SecCertificateRef> certificates;
    for (const auto& der : pinned_.value_or(std::vector<Bytes> {}))
        if (auto certificate = SecCertificateCreateWithData(der))
            certificates.push_back(std::move(certificate));
    return certificates;
}

std::shared_ptr<NKSecurityPolicy> NKSecurityPolicy::copy() const
{
    auto other = std::make_shared<NKSecurityPolicy>();
    other->mode_ = mode_;
    other->allowInvalid_ = allowInvalid_;
    other->validatesDomainName_ = validatesDomainName_;
    other->pinned_ = pinned_;
    other->pinnedKeys_ = pinnedKeys_;
    return other;
}
