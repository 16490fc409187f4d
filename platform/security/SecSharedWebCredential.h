// Passwords the app shares with its web site. The credentials themselves live with the
// device (here: security::setSharedWebCredentials); completions run on a worker thread,
// never on the caller's.
#pragma once

#include <functional>
#include <string>

#include "platform/foundation/NSError.h"
#include "platform/foundation/Value.h"

// Asks for the credentials of `fqdn` (absent: any site) and `account` (absent: any account).
// The user picks one: `credentials` is an array of at most one dictionary with
// kSecAttrServer, kSecAttrAccount and kSecSharedPassword. Nothing found gives an empty array
// and an error of domain NSOSStatusErrorDomain, code errSecItemNotFound.
void SecRequestSharedWebCredential(const Value& fqdn, const Value& account,
    std::function<void(Value credentials, NSErrorRef error)> completion);
// Stores `password` for the site and account, or with an absent password removes them
// (errSecItemNotFound when there was nothing to remove). An empty site or account is errSecParam.
void SecAddSharedWebCredential(const std::string& fqdn, const std::string& account, const Value& password,
    std::function<void(NSErrorRef error)> completion);
// A new random password in the form "xxx-xxx-xxx-xxx" (lowercase letters and digits).
std::string SecCreateSharedWebCredentialPassword();
