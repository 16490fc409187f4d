// Property-list values kept as generic-password keychain items, one item per key.
#pragma once

#include <string>

#include "platform/foundation/Value.h"

class PUSHKeychain {
public:
    // accessibility: 0 when unlocked, 1 after first unlock, 2 always, 3-5 the same for this
    // device only. Empty service or access group are left out of queries.
    PUSHKeychain(std::string service, std::string accessGroup, std::int64_t accessibility);

    Value dataForKey(const std::string& key) const; // data, or absent
    // An absent or null value removes the item. A value that can't be stored as a property
    // list is refused and leaves the stored item alone.
    bool setObject(const Value& value, const std::string& key) const;
    bool removeObjectForKey(const std::string& key) const;
    Value objectForKey(const std::string& key) const; // absent when missing or undecodable

    const std::string& service() const { return service_; }
    const std::string& accessGroup() const { return accessGroup_; }
    std::int64_t accessibility() const { return accessibility_; }

private:
    Value query(const std::string& key) const;
    std::string service_;
    std::string accessGroup_;
    std::int64_t accessibility_;
};
