// Shared web credentials (see SecSharedWebCredential.h).
#include "platform/security/SecSharedWebCredential.h"

#include <openssl/rand.h>

#include <thread>

#include "platform/security/SeamState.h"
#include "platform/security/SecBase.h"
#include "platform/security/SecTestSeams.h"

namespace {

NSErrorRef statusError(OSStatus status)
{
    return NSError::errorWithDomain(NSOSStatusErrorDomain, status);
}

// Runs the completion on its own thread, as the device answers from its own process.
void deliver(std::function<void()> work) { std::thread(std::move(work)).detach(); }

NSErrorRef takeFailure()
{
    auto& state = security::seamState();
    std::lock_guard lock(state.mutex);
    return std::exchange(state.sharedCredentialFailure, nullptr);
}

bool sameCredential(const Value& credential, const std::string& fqdn, const std::string& account)
{
    return credential[kSecAttrServer] == Value(fqdn) && credential[kSecAttrAccount] == Value(account);
}

}

void SecRequestSharedWebCredential(const Value& fqdn, const Value& account,
    std::function<void(Value credentials, NSErrorRef error)> completion)
{
    NSErrorRef error = takeFailure();
    Value found = Value::array();
    if (!error) {
        for (const auto& credential : security::sharedWebCredentials().asArray()) {
            if (fqdn.isString() && !(credential[kSecAttrServer] == fqdn))
                continue;
            if (account.isString() && !(credential[kSecAttrAccount] == account))
                continue;
            found.append(credential);
            break;
        }
        if (found.count() == 0)
            error = statusError(errSecItemNotFound);
    }
    deliver([completion = std::move(completion), found, error] {
        if (completion)
            completion(found, error);
    });
}

void SecAddSharedWebCredential(const std::string& fqdn, const std::string& account, const Value& password,
    std::function<void(NSErrorRef error)> completion)
{
    NSErrorRef error = takeFailure();
    if (!error && (fqdn.empty() || account.empty() || !(password.isAbsent() || password.isString())))
        error = statusError(errSecParam);
    if (!error) {
        auto& state = security::seamState();
        std::lock_guard lock(state.mutex);
        Value::Array kept;
        bool removed = false;
        for (const auto& credential : state.sharedCredentials.asArray()) {
            if (sameCredential(credential, fqdn, account))
                removed = true;
            else
                kept.push_back(credential);
        }
        if (password.isString())
            kept.push_back(Value::dictionary(
                { { kSecAttrServer, fqdn }, { kSecAttrAccount, account }, { kSecSharedPassword, password } }));
        else if (!removed)
            error = statusError(errSecItemNotFound);
        state.sharedCredentials = Value(std::move(kept));
    }
    deliver([completion = std::move(completion), error] {
        if (completion)
            completion(error);
    });
}

std::string SecCreateSharedWebCredentialPassword()
{
    static constexpr char alphabet[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    unsigned char random[12];
    if (RAND_bytes(random, sizeof random) != 1)
        return {};
    std::string password;
    for (int i = 0; i < 12; ++i) {
        if (i && i % 3 == 0)
            password += '-';
        password += alphabet[random[i] % (sizeof alphabet - 1)];
    }
    return password;
}
