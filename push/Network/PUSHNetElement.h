// The header fields every push packet carries, and key-value access to them so queues can key
// requests by "rid".
#pragma once

#include <cstdint>
#include <string>

#include "platform/foundation/NSObject.h"
#include "platform/foundation/Value.h"
#include "platform/persistence/NSCoder.h"
#include "push/Storage/PUSHKeyValueCoding.h"

inline constexpr const char* kPUSHNetElementUidKey = "PUSH_net_element_uid";
inline constexpr const char* kPUSHNetElementRidKey = "PUSH_net_element_rid";
inline constexpr const char* kPUSHNetElementVersionKey = "PUSH_net_element_version";
inline constexpr const char* kPUSHNetElementProtocolTypeKey = "PUSH_net_element_protocol_type";

class PUSHNetElement : public NSObject, public push::KeyValueCoding, public NSCoding {
public:
    std::uint8_t version() const { return version_; }
    void setVersion(std::uint8_t value) { version_ = value; }
    std::uint8_t protocolType() const { return protocolType_; }
    void setProtocolType(std::uint8_t value) { protocolType_ = value; }
    std::uint64_t rid() const { return rid_; }
    void setRid(std::uint64_t value) { rid_ = value; }
    std::uint64_t uid() const { return uid_; }
    void setUid(std::uint64_t value) { uid_ = value; }

    // "version", "protocolType", "rid" and "uid"; anything else is absent.
    Value valueForKey(const std::string& key) const override;
    std::string description() const override;
    std::string className() const override { return "PUSHNetElement"; }

    // The header fields under their archive keys (uid and rid as 64-bit numbers).
    void encodeWithCoder(NSCoder& coder) const override;
    bool initWithCoder(NSCoder& coder) override;

protected:
    PUSHNetElement() = default;
    void copyElementFrom(const PUSHNetElement& other);

private:
    std::uint8_t version_ = 0;
    std::uint8_t protocolType_ = 0;
    std::uint64_t rid_ = 0;
    std::uint64_t uid_ = 0;
};
