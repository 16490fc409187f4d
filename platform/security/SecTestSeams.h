// Controls for tests and the host: what the keychain answers where a real device would
// involve a locked device, missing entitlements, the user or another app.
#pragma once

#include <optional>
#include <string>

#include "platform/foundation/NSError.h"
#include "platform/foundation/Value.h"
#include "platform/security/SecBase.h"

namespace security {

enum class SecOperation { CopyMatching, Add, Update, Delete };

// The next `count` calls of `operation` (count < 0: every call until cleared) return
// `status` without touching the keychain. With `account`, only calls whose query names that
// kSecAttrAccount are affected. Injections are consumed oldest first.
void injectStatus(SecOperation operation, OSStatus status, int count = 1,
    std::optional<std::string> account = std::nullopt);
void clearInjectedStatuses();

// SecAccessControlCreateWithFlags fails with `error` (when not null), or, with
// `returnNothing`, gives neither an object nor an error. Cleared by passing nullptr, false.
void setAccessControlFailure(NSErrorRef error, bool returnNothing = false);

// The shared web credentials the user has: an array of dictionaries with kSecAttrServer,
// kSecAttrAccount and kSecSharedPassword. Requests look here; adds and removals change it.
void setSharedWebCredentials(Value credentials);
Value sharedWebCredentials();
// The next shared-web-credential call (request or add) answers this error instead.
void failNextSharedWebCredentialCall(NSErrorRef error);

// Back to the defaults: no injections, no failures, no shared credentials.
void resetTestSeams();

// Used by the keychain itself: the injected status for this call, if any.
std::optional<OSStatus> takeInjectedStatus(SecOperation operation, const Value& query);

}
