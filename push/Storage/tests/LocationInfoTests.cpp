// Location observations: de-duplication, the count, copies and archives, also damaged ones.
#include <gtest/gtest.h>

#include "platform/persistence/NSKeyedArchiver.h"
#include "push/Storage/PUSHCacheFileCodec.h"
#include "push/Storage/PUSHLocationInfoController.h"

namespace {

Value wifi(const std::string& ssid, std::int64_t itime = 0)
{
    Value item = Value::dictionary({ { "mac_address", Value("Not Found") }, { "ssid", Value(ssid) } });
    if (itime)
        item.set("itime", Value(itime));
    return item;
}

Value cell() { return Value::dictionary({ { "mobile_network_code", Value("-1") }, { "mobile_country_code", Value("-1") } }); }

TEST(LocationInfo, ListsHoldNoDuplicatesCountTheirItemsAndCopyAndArchiveWhole)
{
    auto info = PUSHLocationInfoController::create();
    info->addWifiInfo(wifi("home", 1));
    info->addWifiInfo(wifi("home", 2)); // equal but for "itime"
    EXPECT_EQ(info->count(), 1);
    info->addCellInfo(cell());
    info->addGpsInfo(Value::dictionary({ { "lat", Value(22.5) } }));
    info->addGpsInfo(Value());
    EXPECT_EQ(info->count(), 3);

    // Copies are independent; archives read back complete and usable.
    push::storage::registerArchivableClasses();
    auto twin = info->copy();
    twin->addWifiInfo(wifi("b"));
    EXPECT_EQ(std::tuple(info->count(), twin->count()), std::tuple(3, 4));

    auto bytes = NSKeyedArchiver::archivedDataWithRootObject(Value(info));
    ASSERT_TRUE(bytes);
    auto read = NSKeyedUnarchiver::unarchiveObjectWithData(*bytes).asObject<PUSHLocationInfoController>();
    ASSERT_TRUE(read);
    EXPECT_EQ(std::tuple(read->wifiInfo(), read->cellInfo(), read->gpsInfo(), read->count()),
        std::tuple(info->wifiInfo(), info->cellInfo(), Value::array({ Value::dictionary({ { "lat", Value(22.5) } }) }), 3));
    read->addGpsInfo(Value("fix")); // a list read back is a usable list
    EXPECT_EQ(read->count(), 4);
}

// A coder over a plain dictionary, standing in for an archive written by an older version.
class DictionaryCoder : public NSCoder {
public:
    explicit DictionaryCoder(Value values) : values_(std::move(values)) { }
    Value decodeObjectForKey(std::string_view key) override { return values_[key]; }
    std::int64_t decodeIntegerForKey(std::string_view key) override { return values_[key].integerValue(); }
    bool containsValueForKey(std::string_view key) const override { return values_.contains(key); }

private:
    Value values_;
};

TEST(LocationInfo, MissingOrMistypedListsReadBackEmpty)
{
    DictionaryCoder coder(Value::dictionary({ { "PUSH_wifiInfo", Value::array({ wifi("x") }) },
        { "PUSH_cellInfo", Value("not a list") }, { "PUSH_count", Value(1) } }));
    auto info = PUSHLocationInfoController::create();
    ASSERT_TRUE(info->initWithCoder(coder));
    EXPECT_EQ(info->wifiInfo(), Value::array({ wifi("x") }));
    EXPECT_EQ(std::tuple(info->cellInfo(), info->gpsInfo(), info->count()), std::tuple(Value::array(), Value::array(), 1));
    info->addCellInfo(cell());
    EXPECT_EQ(info->count(), 2);
}

} // namespace
