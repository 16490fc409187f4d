// Access-control objects: an accessibility class plus flags that ask for the user's presence
// before an item is used. Items that carry one with flags are "protected": a search that
// forbids authentication interface (kSecUseNoAuthenticationUI, kSecUseAuthenticationUIFail)
// answers errSecInteractionNotAllowed when it meets one.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/foundation/NSError.h"
#include "platform/foundation/NSObject.h"
#include "platform/security/SecBase.h"

using SecAccessControlCreateFlags = std::uint64_t;

inline constexpr SecAccessControlCreateFlags kSecAccessControlUserPresence = 1u << 0;
inline constexpr SecAccessControlCreateFlags kSecAccessControlBiometryAny = 1u << 1;
inline constexpr SecAccessControlCreateFlags kSecAccessControlBiometryCurrentSet = 1u << 3;
inline constexpr SecAccessControlCreateFlags kSecAccessControlDevicePasscode = 1u << 4;
inline constexpr SecAccessControlCreateFlags kSecAccessControlOr = 1u << 14;
inline constexpr SecAccessControlCreateFlags kSecAccessControlAnd = 1u << 15;
inline constexpr SecAccessControlCreateFlags kSecAccessControlApplicationPassword = 1u << 31;

class SecAccessControl final : public NSObject {
public:
    SecAccessControl(std::string protection, SecAccessControlCreateFlags flags)
        : protection_(std::move(protection))
        , flags_(flags)
    {
    }
    // One of the kSecAttrAccessible… values.
    const std::string& protection() const { return protection_; }
    SecAccessControlCreateFlags flags() const { return flags_; }

    std::string className() const override { return "SecAccessControl"; }
    std::string description() const override;
    bool isEqual(const NSObject& other) const override;
    std::size_t hash() const override;

private:
    std::string protection_;
    SecAccessControlCreateFlags flags_;
};

using SecAccessControlRef = std::shared_ptr<SecAccessControl>;

// True when protection is one of the seven kSecAttrAccessible… values.
bool SecAccessibilityIsKnown(const std::string& protection);

// A new access-control object, or nullptr with an error (domain NSOSStatusErrorDomain,
// code errSecParam) for an unknown accessibility or unknown flag bits. A test can make it
// fail or give nothing (security::setAccessControlFailure).
SecAccessControlRef SecAccessControlCreateWithFlags(const Value& protection, SecAccessControlCreateFlags flags,
    NSErrorRef* error);
