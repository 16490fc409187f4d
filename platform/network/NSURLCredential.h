// Credentials, the protection spaces they belong to, the credential storage, and the
// authentication challenge a load puts to its delegate, with the sender that takes the answer.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/foundation/NSError.h"
#include "platform/network/NSURLResponse.h"
#include "platform/security/SecTrust.h"

enum NSURLCredentialPersistence : std::uint64_t {
    NSURLCredentialPersistenceNone = 0,
    NSURLCredentialPersistenceForSession = 1,
    NSURLCredentialPersistencePermanent = 2,
    NSURLCredentialPersistenceSynchronizable = 3,
};

// Never destroyed: transport threads may read these while the process exits.
inline const std::string& NSURLProtectionSpaceHTTP = *new std::string("http");
inline const std::string& NSURLProtectionSpaceHTTPS = *new std::string("https");
inline const std::string& NSURLAuthenticationMethodDefault = *new std::string("NSURLAuthenticationMethodDefault");
inline const std::string& NSURLAuthenticationMethodHTTPBasic = *new std::string("NSURLAuthenticationMethodHTTPBasic");
inline const std::string& NSURLAuthenticationMethodHTTPDigest = *new std::string("NSURLAuthenticationMethodHTTPDigest");
inline const std::string& NSURLAuthenticationMethodServerTrust = *new std::string("NSURLAuthenticationMethodServerTrust");
inline const std::string& NSURLAuthenticationMethodClientCertificate = *new std::string("NSURLAuthenticationMethodClientCertificate");

class NSURLCredential final : public NSObject {
public:
    static std::shared_ptr<NSURLCredential> credentialWithUser(
        std::string user, std::string password, NSURLCredentialPersistence persistence);
    static std::shared_ptr<NSURLCredential> credentialForTrust(SecTrustRef trust);
    std::string className() const override { return "NSURLCredential"; }

    const std::optional<std::string>& user() const { return user_; }
    const std::optional<std::string>& password() const { return password_; }
    bool hasPassword() const { return password_.has_value(); }
    NSURLCredentialPersistence persistence() const { return persistence_; }
    const SecTrustRef& serverTrust() const { return trust_; }

private:
    std::optional<std::string> user_;
    std::optional<std::string> password_;
    NSURLCredentialPersistence persistence_ = NSURLCredentialPersistenceNone;
    SecTrustRef trust_;
};

class NSURLProtectionSpace final : public NSObject {
public:
    NSURLProtectionSpace(std::string host, std::int64_t port, std::string protocol, std::optional<std::string> realm,
        std::string authenticationMethod, SecTrustRef serverTrust = nullptr);
    std::string className() const override { return "NSURLProtectionSpace"; }
    bool isEqual(const NSObject& other) const override;
    std::size_t hash() const override;

    const std::string& host() const { return host_; }
    std::int64_t port() const { return port_; }
    const std::string& protocol() const { return protocol_; }
    const std::optional<std::string>& realm() const { return realm_; }
    const std::string& authenticationMethod() const { return method_; }
    bool receivesCredentialSecurely() const { return protocol_ == NSURLProtectionSpaceHTTPS; }
    // Only for the server-trust method.
    const SecTrustRef& serverTrust() const { return trust_; }
    // "host:port/protocol/realm/method": what the storage files credentials under.
    std::string key() const;

private:
    std::string host_;
    std::int64_t port_;
    std::string protocol_;
    std::optional<std::string> realm_;
    std::string method_;
    SecTrustRef trust_;
};

class NSURLAuthenticationChallenge;

// Who receives the delegate's answer to a challenge. Each challenge takes one answer; later
// ones are ignored.
class NSURLAuthenticationChallengeSender {
public:
    virtual ~NSURLAuthenticationChallengeSender() = default;
    virtual void useCredential(const std::shared_ptr<NSURLCredential>& credential,
        const std::shared_ptr<NSURLAuthenticationChallenge>& challenge) = 0;
    virtual void continueWithoutCredentialForAuthenticationChallenge(
        const std::shared_ptr<NSURLAuthenticationChallenge>& challenge) = 0;
    virtual void cancelAuthenticationChallenge(const std::shared_ptr<NSURLAuthenticationChallenge>& challenge) = 0;
    virtual void performDefaultHandlingForAuthenticationChallenge(
        const std::shared_ptr<NSURLAuthenticationChallenge>& challenge) = 0;
    virtual void rejectProtectionSpaceAndContinueWithChallenge(
        const std::shared_ptr<NSURLAuthenticationChallenge>& challenge) = 0;
};

class NSURLAuthenticationChallenge final : public NSObject {
public:
    NSURLAuthenticationChallenge(std::shared_ptr<NSURLProtectionSpace> space,
        std::shared_ptr<NSURLCredential> proposedCredential, std::int64_t previousFailureCount,
        std::shared_ptr<NSURLResponse> failureResponse, std::shared_ptr<NSError> error,
        std::shared_ptr<NSURLAuthenticationChallengeSender> sender);
    std::string className() const override { return "NSURLAuthenticationChallenge"; }

    const std::shared_ptr<NSURLProtectionSpace>& protectionSpace() const { return space_; }
    const std::shared_ptr<NSURLCredential>& proposedCredential() const { return proposed_; }
    std::int64_t previousFailureCount() const { return failures_; }
    const std::shared_ptr<NSURLResponse>& failureResponse() const { return failureResponse_; }
    const std::shared_ptr<NSError>& error() const { return error_; }
    const std::shared_ptr<NSURLAuthenticationChallengeSender>& sender() const { return sender_; }

private:
    std::shared_ptr<NSURLProtectionSpace> space_;
    std::shared_ptr<NSURLCredential> proposed_;
    std::int64_t failures_;
    std::shared_ptr<NSURLResponse> failureResponse_;
    std::shared_ptr<NSError> error_;
    std::shared_ptr<NSURLAuthenticationChallengeSender> sender_;
};

// Credentials by protection space and user. Permanent credentials are kept in memory only
// (the app never stores one); session credentials last as long as the process.
class NSURLCredentialStorage final : public NSObject {
public:
    static std::shared_ptr<NSURLCredentialStorage> sharedCredentialStorage();
    std::string className() const override { return "NSURLCredentialStorage"; }

    // user -> credential
    std::map<std::string, std::shared_ptr<NSURLCredential>> credentialsForProtectionSpace(
        const NSURLProtectionSpace& space) const;
    void setCredential(const std::shared_ptr<NSURLCredential>& credential, const NSURLProtectionSpace& space);
    void removeCredential(const std::shared_ptr<NSURLCredential>& credential, const NSURLProtectionSpace& space);
    std::shared_ptr<NSURLCredential> defaultCredentialForProtectionSpace(const NSURLProtectionSpace& space) const;
    void setDefaultCredential(const std::shared_ptr<NSURLCredential>& credential, const NSURLProtectionSpace& space);
    void removeAllCredentials();

private:
    struct Entry {
        std::map<std::string, std::shared_ptr<NSURLCredential>> byUser;
        std::string defaultUser;
    };
    mutable std::mutex mutex_;
    std::map<std::string, Entry> spaces_;
};
