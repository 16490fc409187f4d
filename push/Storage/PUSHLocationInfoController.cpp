// Three de-duplicated lists of location observations and their total.
#include "push/Storage/PUSHLocationInfoController.h"

#include <algorithm>

#include "push/Storage/PUSHDictionary.h"

namespace {

bool holds(const Value& list, const Value& item)
{
    const auto& items = list.asArray();
    return std::any_of(items.begin(), items.end(), [&](const Value& each) { return push::reportEqual(each, item); });
}

Value arrayOrEmpty(const Value& value) { return value.isArray() ? value : Value::array(); }

} // namespace

void PUSHLocationInfoController::add(Value& list, const Value& item)
{
    if (item.isAbsent())
        return;
    std::lock_guard guard(lock_);
    if (holds(list, item))
        return;
    list.append(item);
    ++count_;
}

void PUSHLocationInfoController::remove(Value& list, const Value& item)
{
    std::lock_guard guard(lock_);
    if (!holds(list, item))
        return;
    Value::Array kept;
    for (const auto& each : list.asArray()) {
        if (!push::reportEqual(each, item))
            kept.push_back(each);
    }
    list = Value(std::move(kept));
    --count_;
}

void PUSHLocationInfoController::clearAllInfo()
{
    std::lock_guard guard(lock_);
    wifiInfo_ = Value::array();
    cellInfo_ = Value::array();
    gpsInfo_ = Value::array();
    count_ = 0;
}

Value PUSHLocationInfoController::wifiInfo() const
{
    std::lock_guard guard(lock_);
    return wifiInfo_;
}

Value PUSHLocationInfoController::cellInfo() const
{
    std::lock_guard guard(lock_);
    return cellInfo_;
}

Value PUSHLocationInfoController::gpsInfo() const
{
    std::lock_guard guard(lock_);
    return gpsInfo_;
}

std::int64_t PUSHLocationInfoController::count() const
{
    std::lock_guard guard(lock_);
    return count_;
}

std::shared_ptr<PUSHLocationInfoController> PUSHLocationInfoController::copy() const
{
    std::lock_guard guard(lock_);
    auto twin = create();
    twin->wifiInfo_ = wifiInfo_;
    twin->cellInfo_ = cellInfo_;
    twin->gpsInfo_ = gpsInfo_;
    twin->count_ = count_;
    return twin;
}

void PUSHLocationInfoController::encodeWithCoder(NSCoder& coder) const
{
    std::lock_guard guard(lock_);
    coder.encodeObject(wifiInfo_, "PUSH_wifiInfo");
    coder.encodeObject(cellInfo_, "PUSH_cellInfo");
    coder.encodeObject(gpsInfo_, "PUSH_gpsInfo");
    coder.encodeInteger(count_, "PUSH_count");
}

bool PUSHLocationInfoController::initWithCoder(NSCoder& coder)
{
    std::lock_guard guard(lock_);
    wifiInfo_ = arrayOrEmpty(coder.decodeObjectForKey("PUSH_wifiInfo"));
    cellInfo_ = arrayOrEmpty(coder.decodeObjectForKey("PUSH_cellInfo"));
    gpsInfo_ = arrayOrEmpty(coder.decodeObjectForKey("PUSH_gpsInfo"));
    count_ = coder.decodeIntegerForKey("PUSH_count");
    return true;
}
