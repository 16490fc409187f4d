// Utility facts and their fall-backs, version texts, random identifiers, digests, gzip,
// JSON and socket addresses.
#include <gtest/gtest.h>

#include <regex>

#include "platform/persistence/NSUserDefaults.h"
#include "platform/persistence/PreferredLanguages.h"
#include "platform/sysconfig/SCNetworkReachability.h"
#include "platform/uikit/UIScreen.h"
#include "push/Utilities/PUSHLog.h"
#include "push/Utilities/PUSHUtilities.h"
#include "testing/TempHome.h"
#include "testing/push/CapturingLogger.h"
#include "testing/push/PushTestSupport.h"

namespace {

using namespace push_utilities;

using push_test_support::CapturingLogger;

class PushUtilities : public ::testing::Test {
protected:
    void SetUp() override { PUSHLog::addLogger(logger); }
    void TearDown() override
    {
        PUSHLog::removeAllLoggers();
        PUSHLog::flushLog();
        setDeviceEnvironment({});
        sysconfig::injectWiFiInterfaces(std::nullopt);
        uikit::resetDeviceProfile();
        setReachabilityStatusProvider(nullptr);
        setServerClockCorrection(0);
        setChannelProvider(nullptr);
    }
    std::shared_ptr<CapturingLogger> logger = std::make_shared<CapturingLogger>();
};

TEST_F(PushUtilities, DeviceFactsLanguageAndAppVersionFallBackWhenMissing)
{
    const auto facts = [] {
        return std::vector<std::string> { PUSHCarrierName(), PUSHMobileNetworkCode(), PUSHMobileCountryCode(),
            PUSHCurrentWifiSSID(), PUSHCurrentWifiBSSID(), PUSHSystemVersion() };
    };
    setDeviceEnvironment(DeviceEnvironment {});
    EXPECT_EQ(facts(), (std::vector<std::string> { "-1", "-1", "-1", "Not Found", "Not Found", "8.0" }))
        << "the system version is the device's";

    DeviceEnvironment present;
    present.carrier = PUSHCarrier { "中国联通", std::nullopt, "460" };
    setDeviceEnvironment(present);
    // The first interface the platform lists is the one asked.
    sysconfig::injectWiFiInterfaces(std::vector<sysconfig::WiFiInterface> {
        { "en0", std::map<std::string, std::string> { { "SSID", "home" } } },
        { "en1", std::map<std::string, std::string> { { "SSID", "other" }, { "BSSID", "aa:bb" } } } });
    UIDevice::currentDevice()->setSystemVersion("7.1");
    EXPECT_EQ(facts(), (std::vector<std::string> { "中国联通", "-1", "460", "home", "Not Found", "7.1" }));
    UIDevice::currentDevice()->setSystemVersion("");
    EXPECT_EQ(PUSHSystemVersion(), "-1");

    // The user's languages until the app sets its own.
    testing_support::TempHome home;
    EXPECT_EQ(PUSHPreferredLanguage(), persistence::preferredLanguages().front());
    NSUserDefaults::standardUserDefaults()->setObject(Value::array({}), "AppleLanguages");
    EXPECT_EQ(PUSHPreferredLanguage(), "-1");
    NSUserDefaults::standardUserDefaults()->setObject(Value::array({ "zh-Hans", "en" }), "AppleLanguages");
    EXPECT_EQ(PUSHPreferredLanguage(), "zh-Hans");
    EXPECT_EQ(PUSHAppVersionName(), "");
}

TEST_F(PushUtilities, NetworkTypeAndStatusNames)
{
    std::int32_t status = 0;
    setReachabilityStatusProvider([&] { return status; });
    for (const auto& [reachability, carrier, type] : std::vector<std::tuple<std::int32_t, const char*, int>> {
             { kStatusWiFi, "中国联通", 4 }, { kStatusWWAN, "中国移动", 1 }, { kStatusWWAN, "中国联通", 2 },
             { kStatusWWAN, "中国电信", 3 }, { kStatusWWAN, "Other", 0 }, { kStatusNotReachable, "中国联通", 0 } }) {
        status = reachability;
        EXPECT_EQ(PUSHNetworkType(carrier), type) << reachability << " " << carrier;
    }
    const char* names[] = { "NetworkUnknown", "NotReachable", "", "ReachableViaWiFi", "ReachableViaWWAN" };
    for (int code = -1; code <= 3; ++code)
        EXPECT_EQ(PUSHNetworkStatusName(code), names[code + 1]) << code;
}

TEST_F(PushUtilities, ScreenResolutionIsTheMainScreensByIdiom)
{
    const std::tuple<double, double, UIUserInterfaceIdiom, const char*> cases[] = {
        { 568, 2, UIUserInterfaceIdiomPhone, "640x1136" }, { 480, 2, UIUserInterfaceIdiomPhone, "640x960" },
        { 480, 1, UIUserInterfaceIdiomPhone, "320x480" }, { 1024, 2, UIUserInterfaceIdiomPad, "2048x1536" },
    };
    for (const auto& [height, scale, idiom, expected] : cases) {
        UIScreen::mainScreen()->configure({ 320, height }, scale);
        UIDevice::currentDevice()->setUserInterfaceIdiom(idiom);
        EXPECT_EQ(PUSHScreenResolution(), expected) << height << " points at scale " << scale;
    }
}

TEST_F(PushUtilities, TimeZoneOffsets)
{
    const char* saved = std::getenv("TZ");
    std::string previous = saved ? saved : "";
    auto at = [](const char* zone) {
        ::setenv("TZ", zone, 1);
        ::tzset();
        return PUSHTimeZoneOffset();
    };
    EXPECT_EQ(at("UTC"), "0");
    EXPECT_EQ(at("America/Sao_Paulo"), "-3");
    EXPECT_EQ(at("Asia/Kolkata"), "+5");
    if (saved)
        ::setenv("TZ", previous.c_str(), 1);
    else
        ::unsetenv("TZ");
    ::tzset();
}

TEST_F(PushUtilities, RandomIdentifiersHaveTheirShapes)
{
    for (int i = 0; i < 50; ++i) {
        ASSERT_TRUE(std::regex_match(PUSHRandomDeviceId(), std::regex("iPhone(0.){9}")));
        ASSERT_TRUE(std::regex_match(PUSHRandomHexString(), std::regex("[0-9a-f]{64}")));
        ASSERT_TRUE(std::regex_match(PUSHFakeDeviceToken(), std::regex("jmsguuid[0-9a-f]{56}")));
    }
}

TEST_F(PushUtilities, ServerClockTakesTheStoredCorrectionBeforeAnyLogin)
{
    testing_support::TempHome home;
    auto defaults = NSUserDefaults::standardUserDefaults();
    const double now = PUSHCurrentTimestamp();
    const struct {
        double serverAhead;
        double expected;
    } cases[] = { { 250, 250 }, { -3600, -3600 }, { 31536000.0 + 10, 0 } };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.serverAhead);
        defaults->setObject(Value(now), kStoredLocalTimeKey);
        defaults->setObject(Value(static_cast<std::uint64_t>(now + c.serverAhead)), kStoredServerTimeKey);
        forgetServerClockCorrection();
        EXPECT_NEAR(PUSHServerTimestamp() - PUSHCurrentTimestamp(), c.expected, 5);
    }
    // A login's correction wins over the stored one.
    setServerClockCorrection(7);
    EXPECT_NEAR(PUSHServerTimestamp() - PUSHCurrentTimestamp(), 7, 5);
    forgetServerClockCorrection();
}

TEST_F(PushUtilities, StoredTimesAYearApartAreWipedWhenReadBeforeAnyLogin)
{
    testing_support::TempHome home;
    auto defaults = NSUserDefaults::standardUserDefaults();
    const auto store = [&](std::uint64_t local, std::uint64_t server) {
        defaults->setObject(Value(local), kStoredLocalTimeKey);
        defaults->setObject(Value(server), kStoredServerTimeKey);
        defaults->synchronize();
        forgetServerClockCorrection();
    };
    const auto kept = [&] {
        auto onDisk = NSUserDefaults::create(defaults->filePath());
        return std::pair { onDisk->objectForKey(kStoredLocalTimeKey).unsignedValue(),
            onDisk->objectForKey(kStoredServerTimeKey).unsignedValue() };
    };
    const std::uint64_t local = 1700000000;
    store(local, local + 31536000); // a year exactly is still a correction
    EXPECT_EQ(serverClockCorrection(), 31536000);
    EXPECT_EQ(kept(), std::pair(local, local + 31536000));
    for (std::uint64_t server : { local + 31536001, local - 31536001 }) {
        store(local, server);
        EXPECT_NEAR(PUSHServerTimestamp() - PUSHCurrentTimestamp(), 0, 5);
        EXPECT_EQ(kept(), std::pair(std::uint64_t { 0 }, std::uint64_t { 0 }));
    }
    forgetServerClockCorrection();
}

TEST_F(PushUtilities, VersionsClocksAndDeviceInfo)
{
    EXPECT_EQ(PUSHSDKVersionCode(), 131328u);
    EXPECT_EQ(PUSHHexStringToInt("FF"), 255u);
    EXPECT_EQ(PUSHHexStringToInt(""), 0u);
    setServerClockCorrection(100);
    double local = PUSHCurrentTimestamp();
    double server = PUSHServerTimestamp();
    EXPECT_NEAR(server - local, 100, 5);
    setChannelProvider([] { return std::string("store"); });
    Value info = PUSHDeviceInfoDictionary();
    EXPECT_EQ(info.count(), 11u);
    EXPECT_EQ(info["type"].asString(), "device_info");
    EXPECT_EQ(info["sdk_version"].asString(), "2.1.0");
    EXPECT_EQ(info["Channel"].asString(), "store");
    EXPECT_EQ(std::to_string(info["itime"].integerValue()).size(), 10u);
}

TEST_F(PushUtilities, DigestsAndBase64)
{
    EXPECT_EQ(PUSHMD5HexString(std::nullopt), "d41d8cd98f00b204e9800998ecf8427e");
    EXPECT_EQ(PUSHMD5HexString(std::string("")), "d41d8cd98f00b204e9800998ecf8427e");
    EXPECT_EQ(PUSHMD5HexString(std::string("abc")), "900150983cd24fb0d6963f7d28e17f72");
    EXPECT_EQ(PUSHMD5HexString(std::string("abc\0def", 7)), "900150983cd24fb0d6963f7d28e17f72");
    EXPECT_EQ(PUSHMD5HexData(Bytes { 'a', 'b', 'c' }), "900150983cd24fb0d6963f7d28e17f72");
    EXPECT_NE(PUSHMD5HexData(Bytes { 'a', 'b', 'c', 0 }), "900150983cd24fb0d6963f7d28e17f72"); // data counts every byte
    EXPECT_EQ(PUSHBase64String(Bytes {}), "");
    EXPECT_EQ(PUSHBase64String(Bytes { 'f', 'o', 'o', 'b' }), "Zm9vYg==");
}

TEST_F(PushUtilities, GzipRoundTrip)
{
    EXPECT_EQ(PUSHGzipData(Bytes {}), Bytes {});
    std::string input;
    for (int i = 0; i < 200000; ++i) // several output chunks even compressed
        input.push_back(static_cast<char>((i * 7919) ^ (i >> 3)));
    auto packed = PUSHGzipData(Bytes(input.begin(), input.end()));
    ASSERT_TRUE(packed);
    EXPECT_EQ(push_test_support::gunzip(std::string(packed->begin(), packed->end())), input); // a gzip stream, not bare deflate
}

TEST_F(PushUtilities, JSONHelpersLogTheirFailures)
{
    EXPECT_TRUE(PUSHJSONObject(Bytes {}).isAbsent());
    EXPECT_TRUE(PUSHJSONObject(std::nullopt).isAbsent());
    EXPECT_TRUE(logger->lines().empty());
    std::string text = R"({"a":[1,"x"]})";
    Value parsed = PUSHJSONObject(Bytes(text.begin(), text.end()));
    EXPECT_EQ(parsed["a"][1].asString(), "x");
    EXPECT_TRUE(PUSHJSONObject(Bytes { '{', 'x' }).isAbsent());
    ASSERT_EQ(logger->lines().size(), 1u);
    EXPECT_EQ(logger->lines()[0].rfind("trans data to obj with error:", 0), 0u);
    EXPECT_FALSE(PUSHJSONData(Value::dictionary({ { "d", Value::date(5) } })));
    EXPECT_EQ(logger->lines().back(), "serialization unknown type");
    auto data = PUSHJSONData(Value::dictionary({ { "k", 1 } }));
    ASSERT_TRUE(data);
    EXPECT_EQ(std::string(data->begin(), data->end()), R"({"k":1})");
    // An alert is one error line, title and message.
    PUSHAlert("Title", "Body");
    EXPECT_EQ(logger->lines().back(), "Title\nBody");
}

TEST_F(PushUtilities, SocketAddressBytes)
{
    Bytes expected { 0x10, 0x02, 0x1B, 0x58, 0x7F, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0 };
    EXPECT_EQ(PUSHSocketAddressData("localhost", 7000), expected);
    EXPECT_EQ(PUSHSocketAddressData("loopback", 7000), expected);
    EXPECT_EQ(PUSHSocketAddressData("127.0.0.1", 7000), expected);
    EXPECT_EQ(PUSHSocketAddressData("10.1.2.3", 80)->at(7), 3);
    EXPECT_FALSE(PUSHSocketAddressData("", 7000));
    EXPECT_FALSE(PUSHSocketAddressData("push.example.com", 7000));
    EXPECT_FALSE(PUSHSocketAddressData("LOCALHOST", 7000));
    EXPECT_FALSE(PUSHSocketAddressData("255.255.255.255", 7000));
}

} // namespace
