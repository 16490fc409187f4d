// Utility facts and their fall-backs, version texts, random identifiers, digests, gzip,
// JSON and socket addresses.
#include <gtest/gtest.h>
#include <zlib.h>

#include <regex>

#include "platform/persistence/NSUserDefaults.h"
#include "push/Utilities/PUSHLog.h"
#include "push/Utilities/PUSHUtilities.h"
#include "testing/TempHome.h"
#include "testing/push/CapturingLogger.h"

namespace {

using namespace push_utilities;

using push_test_support::CapturingLogger;

class PushUtilities : public ::testing::Test {
protected:
    void SetUp() override
    {
        logger = std::make_shared<CapturingLogger>();
        PUSHLog::addLogger(logger);
    }
    void TearDown() override
    {
        PUSHLog::removeAllLoggers();
        PUSHLog::flushLog();
        setDeviceEnvironment({});
        setReachabilityStatusProvider(nullptr);
        setServerClockCorrection(0);
        setChannelProvider(nullptr);
    }
    std::shared_ptr<CapturingLogger> logger;
};

TEST_F(PushUtilities, DeviceFactsLanguageAndAppVersionFallBackWhenMissing)
{
    setDeviceEnvironment(DeviceEnvironment {});
    EXPECT_EQ(PUSHCarrierName(), "-1");
    EXPECT_EQ(PUSHMobileNetworkCode(), "-1");
    EXPECT_EQ(PUSHMobileCountryCode(), "-1");
    EXPECT_EQ(PUSHCurrentWifiSSID(), "Not Found");
    EXPECT_EQ(PUSHCurrentWifiBSSID(), "Not Found");
    EXPECT_EQ(PUSHSystemVersion(), "-1");

    DeviceEnvironment present;
    present.carrier = PUSHCarrier { "中国联通", std::nullopt, "460" };
    present.wifiSSID = "home";
    present.systemVersion = "8.1";
    setDeviceEnvironment(present);
    EXPECT_EQ(PUSHCarrierName(), "中国联通");
    EXPECT_EQ(PUSHMobileNetworkCode(), "-1");
    EXPECT_EQ(PUSHMobileCountryCode(), "460");
    EXPECT_EQ(PUSHCurrentWifiSSID(), "home");
    EXPECT_EQ(PUSHSystemVersion(), "8.1");

    testing_support::TempHome home;
    EXPECT_EQ(PUSHPreferredLanguage(), "-1");
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

TEST_F(PushUtilities, ScreenResolutionByIdiomAndScale)
{
    EXPECT_EQ(PUSHScreenResolution(), "640x1136");
    DeviceEnvironment e;
    e.screenHeightPoints = 480;
    setDeviceEnvironment(e);
    EXPECT_EQ(PUSHScreenResolution(), "640x960");
    e.screenScale = 1.0;
    setDeviceEnvironment(e);
    EXPECT_EQ(PUSHScreenResolution(), "320x480");
    e.screenScale.reset();
    setDeviceEnvironment(e);
    EXPECT_EQ(PUSHScreenResolution(), "320*480");
    e.isPhone = false;
    setDeviceEnvironment(e);
    EXPECT_EQ(PUSHScreenResolution(), "1024x768");
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
    EXPECT_EQ(at("Asia/Shanghai"), "+8");
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
        std::string id = PUSHRandomDeviceId();
        ASSERT_EQ(id.size(), 24u);
        ASSERT_EQ(id.substr(0, 6), "iPhone");
        for (std::size_t p = 6; p < 24; p += 2)
            ASSERT_EQ(id[p], '0') << id;
        ASSERT_TRUE(std::regex_match(PUSHRandomHexString(), std::regex("[0-9a-f]{64}")));
        ASSERT_TRUE(std::regex_match(PUSHFakeDeviceToken(), std::regex("jmsguuid[0-9a-f]{56}")));
    }
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
    EXPECT_EQ(info["model"].asString(), PUSHHardwareMachine());
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
    Bytes input;
    for (int i = 0; i < 200000; ++i) // several output chunks even compressed
        input.push_back(static_cast<std::uint8_t>((i * 7919) ^ (i >> 3)));
    auto packed = PUSHGzipData(input);
    ASSERT_TRUE(packed);
    ASSERT_GE(packed->size(), 2u);
    EXPECT_EQ((*packed)[0], 0x1F);
    EXPECT_EQ((*packed)[1], 0x8B);
    z_stream stream {};
    ASSERT_EQ(inflateInit2(&stream, 31), Z_OK);
    Bytes output(input.size() + 16);
    stream.next_in = packed->data();
    stream.avail_in = static_cast<uInt>(packed->size());
    stream.next_out = output.data();
    stream.avail_out = static_cast<uInt>(output.size());
    EXPECT_EQ(inflate(&stream, Z_FINISH), Z_STREAM_END);
    output.resize(stream.total_out);
    inflateEnd(&stream);
    EXPECT_EQ(output, input);
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
