// The device's network-location observations between two location reports: the Wi-Fi networks
// it was on, the cellular networks and the position fixes the application handed in, each list
// in the order of adding and without duplicates (items equal but for "itime" are duplicates).
// Archivable under "PUSH_wifiInfo", "PUSH_cellInfo", "PUSH_gpsInfo" and "PUSH_count".
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>

#include "platform/foundation/NSObject.h"
#include "platform/foundation/Value.h"
#include "platform/persistence/NSCoder.h"

class PUSHLocationInfoController : public NSObject, public NSCoding {
public:
    static std::shared_ptr<PUSHLocationInfoController> create() { return std::make_shared<PUSHLocationInfoController>(); }

    void addWifiInfo(const Value& item) { add(wifiInfo_, item); }
    void addCellInfo(const Value& item) { add(cellInfo_, item); }
    void addGpsInfo(const Value& item) { add(gpsInfo_, item); }
    void removeWifiInfo(const Value& item) { remove(wifiInfo_, item); }
    void removeCellInfo(const Value& item) { remove(cellInfo_, item); }
    void removeGpsInfo(const Value& item) { remove(gpsInfo_, item); }
    void clearAllInfo();
    void resumeLocationInfo() {}

    Value wifiInfo() const;
    Value cellInfo() const;
    Value gpsInfo() const;
    std::int64_t count() const;

    std::shared_ptr<PUSHLocationInfoController> copy() const;
    std::string className() const override { return "PUSHLocationInfoController"; }
    void encodeWithCoder(NSCoder& coder) const override;
    bool initWithCoder(NSCoder& coder) override;

    PUSHLocationInfoController() = default;

private:
    void add(Value& list, const Value& item);
    void remove(Value& list, const Value& item);

    mutable std::mutex lock_;
    Value wifiInfo_ = Value::array();
    Value cellInfo_ = Value::array();
    Value gpsInfo_ = Value::array();
    std::int64_t count_ = 0;
};
