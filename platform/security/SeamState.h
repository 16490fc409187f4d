// Shared state behind the test controls of access control and shared web credentials.
#pragma once

#include <mutex>

#include "platform/foundation/NSError.h"
#include "platform/foundation/Value.h"

namespace security {

struct SeamState {
    std::mutex mutex;
    NSErrorRef accessControlError;
    bool accessControlReturnsNothing = false;
    Value sharedCredentials = Value::array();
    NSErrorRef sharedCredentialFailure;

    SeamState& operator=(const SeamState& other)
    {
        accessControlError = other.accessControlError;
        accessControlReturnsNothing = other.accessControlReturnsNothing;
        sharedCredentials = other.sharedCredentials;
        sharedCredentialFailure = other.sharedCredentialFailure;
        return *this;
    }
    SeamState() = default;
    SeamState(const SeamState&) = delete;
};

SeamState& seamState();

}
