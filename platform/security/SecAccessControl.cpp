// Access-control objects (see SecAccessControl.h).
#include "platform/security/SecAccessControl.h"

#include <array>
#include <functional>
#include <string_view>

#include "platform/security/SeamState.h"

namespace {

constexpr std::array<std::string_view, 7> accessibilities = {
    kSecAttrAccessibleWhenUnlocked,
    kSecAttrAccessibleAfterFirstUnlock,
    kSecAttrAccessibleAlways,
    kSecAttrAccessibleWhenPasscodeSetThisDeviceOnly,
    kSecAttrAccessibleWhenUnlockedThisDeviceOnly,
    kSecAttrAccessibleAfterFirstUnlockThisDeviceOnly,
    kSecAttrAccessibleAlwaysThisDeviceOnly,
};

constexpr SecAccessControlCreateFlags knownFlags = kSecAccessControlUserPresence | kSecAccessControlBiometryAny
    | kSecAccessControlBiometryCurrentSet | kSecAccessControlDevicePasscode | kSecAccessControlOr
    | kSecAccessControlAnd | kSecAccessControlApplicationPassword;

}

bool SecAccessibilityIsKnown(const std::string& protection)
{
    for (auto known : accessibilities) {
        if (known == protection)
            return true;
    }
    return false;
}

std::string SecAccessControl::description() const
{
    return "<SecAccessControl protection: " + protection_ + " flags: " + std::to_string(flags_) + ">";
}

bool SecAccessControl::isEqual(const NSObject& other) const
{
    auto* control = dynamic_cast<const SecAccessControl*>(&other);
    return control && control->protection_ == protection_ && control->flags_ == flags_;
}

std::size_t SecAccessControl::hash() const { return std::hash<std::string>()(protection_) ^ flags_; }

SecAccessControlRef SecAccessControlCreateWithFlags(const Value& protection, SecAccessControlCreateFlags flags,
    NSErrorRef* error)
{
    {
        auto& state = security::seamState();
        std::lock_guard lock(state.mutex);
        if (state.accessControlError) {
            if (error)
                *error = state.accessControlError;
            return nullptr;
        }
        if (state.accessControlReturnsNothing)
            return nullptr;
    }
    if (!protection.isString() || !SecAccessibilityIsKnown(protection.asString()) || (flags & ~knownFlags)) {
        if (error)
            *error = NSError::errorWithDomain(NSOSStatusErrorDomain, errSecParam,
                Value::dictionary({ { NSLocalizedDescriptionKey, "Invalid access-control protection or flags." } }));
        return nullptr;
    }
    return std::make_shared<SecAccessControl>(protection.asString(), flags);
}
