// Credentials, protection spaces, challenges and the credential storage.
#include "platform/network/NSURLCredential.h"

#include <functional>

std::shared_ptr<NSURLCredential> NSURLCredential::credentialWithUser(
    std::string user, std::string password, NSURLCredentialPersistence persistence)
{
    auto credential = std::make_shared<NSURLCredential>();
    credential->user_ = std::move(user);
    credential->password_ = std::move(password);
    credential->persistence_ = persistence;
    return credential;
}

std::shared_ptr<NSURLCredential> NSURLCredential::credentialForTrust(SecTrustRef trust)
{
    auto credential = std::make_shared<NSURLCredential>();
    credential->trust_ = std::move(trust);
    credential->persistence_ = NSURLCredentialPersistenceForSession;
    return credential;
}

NSURLProtectionSpace::NSURLProtectionSpace(std::string host, std::int64_t port, std::string protocol,
    std::optional<std::string> realm, std::string authenticationMethod, SecTrustRef serverTrust)
    : host_(std::move(host))
    , port_(port)
    , protocol_(std::move(protocol))
    , realm_(std::move(realm))
    , method_(std::move(authenticationMethod))
    , trust_(std::move(serverTrust))
{
}

std::string NSURLProtectionSpace::key() const
{
    return network::lowercased(host_) + ":" + std::to_string(port_) + "/" + protocol_ + "/" + realm_.value_or("") + "/"
        + method_;
}

bool NSURLProtectionSpace::isEqual(const NSObject& other) const
{
    auto* space = dynamic_cast<const NSURLProtectionSpace*>(&other);
    return space && space->key() == key();
}

std::size_t NSURLProtectionSpace::hash() const { return std::hash<std::string>()(key()); }

NSURLAuthenticationChallenge::NSURLAuthenticationChallenge(std::shared_ptr<NSURLProtectionSpace> space,
    std::shared_ptr<NSURLCredential> proposedCredential, std::int64_t previousFailureCount,
    std::shared_ptr<NSURLResponse> failureResponse, std::shared_ptr<NSError> error,
    std::shared_ptr<NSURLAuthenticationChallengeSender> sender)
    : space_(std::move(space))
    , proposed_(std::move(proposedCredential))
    , failures_(previousFailureCount)
    , failureResponse_(std::move(failureResponse))
    , error_(std::move(error))
    , sender_(std::move(sender))
{
}

std::shared_ptr<NSURLCredentialStorage> NSURLCredentialStorage::sharedCredentialStorage()
{
    static auto storage = std::make_shared<NSURLCredentialStorage>();
    return storage;
}

std::map<std::string, std::shared_ptr<NSURLCredential>> NSURLCredentialStorage::credentialsForProtectionSpace(
    const NSURLProtectionSpace& space) const
{
    std::lock_guard lock(mutex_);
    auto it = spaces_.find(space.key());
    return it == spaces_.end() ? std::map<std::string, std::shared_ptr<NSURLCredential>> {} : it->second.byUser;
}

void NSURLCredentialStorage::setCredential(
    const std::shared_ptr<NSURLCredential>& credential, const NSURLProtectionSpace& space)
{
    if (!credential || !credential->user() || credential->persistence() == NSURLCredentialPersistenceNone)
        return;
    std::lock_guard lock(mutex_);
    spaces_[space.key()].byUser[*credential->user()] = credential;
}

void NSURLCredentialStorage::removeCredential(
    const std::shared_ptr<NSURLCredential>& credential, const NSURLProtectionSpace& space)
{
    if (!credential || !credential->user())
        return;
    std::lock_guard lock(mutex_);
    auto it = spaces_.find(space.key());
    if (it == spaces_.end())
        return;
    it->second.byUser.erase(*credential->user());
    if (it->second.defaultUser == *credential->user())
        it->second.defaultUser.clear();
}

std::shared_ptr<NSURLCredential> NSURLCredentialStorage::defaultCredentialForProtectionSpace(
    const NSURLProtectionSpace& space) const
{
    std::lock_guard lock(mutex_);
    auto it = spaces_.find(space.key());
    if (it == spaces_.end())
        return nullptr;
    auto user = it->second.byUser.find(it->second.defaultUser);
    return user == it->second.byUser.end() ? nullptr : user->second;
}

void NSURLCredentialStorage::setDefaultCredential(
    const std::shared_ptr<NSURLCredential>& credential, const NSURLProtectionSpace& space)
{
    if (!credential || !credential->user() || credential->persistence() == NSURLCredentialPersistenceNone)
        return;
    std::lock_guard lock(mutex_);
    auto& entry = spaces_[space.key()];
    entry.byUser[*credential->user()] = credential;
    entry.defaultUser = *credential->user();
}

void NSURLCredentialStorage::removeAllCredentials()
{
    std::lock_guard lock(mutex_);
    spaces_.clear();
}
