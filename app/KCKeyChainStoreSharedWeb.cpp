// KCKeyChainStore: passwords the app shares with its web site, reached through the keychain's
// shared web credentials. Completions run on the thread the keychain answers on.
#include "app/KCKeyChainStore.h"

#include "platform/foundation/NSLog.h"
#include "platform/security/SecSharedWebCredential.h"

namespace {

constexpr const char* missingServer = "the server property must not to be nil, should use "
                                      "'keyChainStoreWithServer:protocolType:' initializer to instantiate "
                                      "keychain store";

Value optionalValue(const KCKeyChainStore::OptionalString& text) { return text ? Value(*text) : Value(); }

KCKeyChainStore::OptionalString optionalText(const Value& value)
{
    if (!value.isString())
        return std::nullopt;
    return value.asString();
}

}

void KCKeyChainStore::requestSharedWebCredentialForDomain(
    const OptionalString& domain, const OptionalString& account, CredentialsCompletion completion)
{
    SecRequestSharedWebCredential(optionalValue(domain), optionalValue(account),
        [completion = std::move(completion)](Value credentials, NSErrorRef error) {
            if (error && error->code() != errSecItemNotFound)
                NSLog("error: [%@] %@", error->code(), error->localizedDescription());
            Value list = Value::array();
            for (const auto& credential : credentials.asArray()) {
                Value entry = Value::dictionary();
                entry.set("server", credential[kSecAttrServer]);
                entry.set("account", credential[kSecAttrAccount]);
                entry.set("password", credential[kSecSharedPassword]);
                list.append(std::move(entry));
            }
            if (completion)
                completion(list, error);
        });
}

void KCKeyChainStore::requestSharedWebCredentialWithCompletion(CredentialsCompletion completion)
{
    requestSharedWebCredentialForDomain(std::nullopt, std::nullopt, std::move(completion));
}

std::string KCKeyChainStore::generatePassword() { return SecCreateSharedWebCredentialPassword(); }

std::optional<std::string> KCKeyChainStore::sharedPasswordHost(NSErrorRef& error) const
{
    if (server_ && !server_->host().empty())
        return server_->host();
    error = argumentError(missingServer);
    return std::nullopt;
}

void KCKeyChainStore::sharedPasswordWithCompletion(
    std::function<void(OptionalString account, OptionalString password, NSErrorRef error)> completion) const
{
    NSErrorRef error;
    auto host = sharedPasswordHost(error);
    if (!host) {
        if (completion)
            completion(std::nullopt, std::nullopt, error);
        return;
    }
    requestSharedWebCredentialForDomain(
        host, std::nullopt, [completion = std::move(completion)](Value credentials, NSErrorRef error) {
            if (!completion)
                return;
            const Value& first = credentials[0];
            completion(optionalText(first["account"]), optionalText(first["password"]), error);
        });
}

void KCKeyChainStore::sharedPasswordForAccount(
    const std::string& account, std::function<void(OptionalString password, NSErrorRef error)> completion) const
{
    NSErrorRef error;
    auto host = sharedPasswordHost(error);
    if (!host) {
        if (completion)
            completion(std::nullopt, error);
        return;
    }
    requestSharedWebCredentialForDomain(
        host, account, [completion = std::move(completion)](Value credentials, NSErrorRef error) {
            if (completion)
                completion(optionalText(credentials[0]["password"]), error);
        });
}

void KCKeyChainStore::setSharedPassword(
    const OptionalString& password, const std::string& account, std::function<void(NSErrorRef error)> completion) const
{
    NSErrorRef error;
    auto host = sharedPasswordHost(error);
    if (!host) {
        if (completion)
            completion(error);
        return;
    }
    SecAddSharedWebCredential(*host, account, optionalValue(password),
        [completion = std::move(completion)](NSErrorRef error) {
            if (completion)
                completion(error);
        });
}

void KCKeyChainStore::removeSharedPasswordForAccount(
    const std::string& account, std::function<void(NSErrorRef error)> completion) const
{
    setSharedPassword(std::nullopt, account, std::move(completion));
}
