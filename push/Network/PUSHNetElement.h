// The header fields every push packet carries, and key-value access to them so queues can key
// requests by "rid".
#pragma once

#include <cstdint>
#include <string>

#include "platform/foundation/NSObject.h"
#include "platform/foundation/Value.h"
#include "push/Storage/PUSHKeyValueCoding.h"

class PUSHNetElement : public NSObject, public push::KeyValueCoding {
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

protected:
    PUSHNetElement() = default;
    void copyElementFrom(const PUSHNetElement& other);

private:
    std::uint8_t version_ = 0;
    std::uint8_t protocolType_ = 0;
    std::uint64_t rid_ = 0;
    std::uint64_t uid_ = 0;
};
