// Device and network facts, clocks, version texts and random identifiers of the push library.
#include "push/Utilities/PUSHUtilities.h"

#include <netinet/in.h>
#include <sys/random.h>
#include <sys/utsname.h>

#include <atomic>
#include <cmath>
#include <mutex>

#include "platform/foundation/Clock.h"
#include "platform/foundation/NSDate.h"
#include "platform/foundation/NSDateFormatter.h"
#include "platform/persistence/NSBundle.h"
#include "platform/persistence/NSUserDefaults.h"
#include "platform/persistence/PreferredLanguages.h"
#include "platform/sysconfig/SCNetworkReachability.h"
#include "platform/threading/Dispatch.h"
#include "platform/threading/NSNotificationCenter.h"
#include "platform/uikit/UIScreen.h"
#include "push/Utilities/PUSHLog.h"

namespace push_utilities {
namespace {

std::mutex environmentMutex;
DeviceEnvironment& environmentStorage()
{
    static DeviceEnvironment environment;
    return environment;
}
std::function<std::int32_t()>& reachabilityProvider()
{
    static std::function<std::int32_t()> provider;
    return provider;
}
std::function<std::string()>& channelProvider()
{
    static std::function<std::string()> provider;
    return provider;
}
// Set by the session on its thread, read from any thread; the stored one until it is set.
std::mutex correctionMutex;
std::atomic<bool> correctionKnown { false };
std::atomic<std::int32_t> clockCorrection { 0 };

// A stored clock reading as whole seconds, wrapped to 32 bits as the login packet carries them.
std::uint32_t storedSeconds(const Value& value)
{
    if (value.isDouble())
        return static_cast<std::uint32_t>(static_cast<std::uint64_t>(static_cast<std::int64_t>(value.doubleValue())));
    return static_cast<std::uint32_t>(value.unsignedValue());
}

std::int32_t defaultReachabilityStatus()
{
    sockaddr_in zero {};
    zero.sin_family = AF_INET;
    auto target = SCNetworkReachabilityCreateWithAddress(reinterpret_cast<const sockaddr*>(&zero));
    if (!target)
        return kStatusUnknown;
    SCNetworkReachabilityFlags flags = target->currentFlags();
    if (!(flags & kSCNetworkReachabilityFlagsReachable))
        return kStatusNotReachable;
    return (flags & kSCNetworkReachabilityFlagsIsWWAN) ? kStatusWWAN : kStatusWiFi;
}

std::uint32_t random32()
{
    std::uint32_t value = 0;
    while (::getrandom(&value, sizeof value, 0) != sizeof value) {
    }
    return value;
}

} // namespace

void setDeviceEnvironment(DeviceEnvironment environment)
{
    std::lock_guard lock(environmentMutex);
    environmentStorage() = std::move(environment);
}

DeviceEnvironment deviceEnvironment()
{
    std::lock_guard lock(environmentMutex);
    return environmentStorage();
}

void setReachabilityStatusProvider(std::function<std::int32_t()> provider)
{
    std::lock_guard lock(environmentMutex);
    reachabilityProvider() = std::move(provider);
}

void setServerClockCorrection(std::int32_t seconds)
{
    std::lock_guard lock(correctionMutex);
    clockCorrection = seconds;
    correctionKnown = true;
}

std::int32_t serverClockCorrection()
{
    if (correctionKnown)
        return clockCorrection;
    std::lock_guard lock(correctionMutex);
    if (!correctionKnown) {
        clockCorrection = storedServerClockCorrection();
        correctionKnown = true;
    }
    return clockCorrection;
}

void forgetServerClockCorrection()
{
    std::lock_guard lock(correctionMutex);
    clockCorrection = 0;
    correctionKnown = false;
}

std::int32_t storedServerClockCorrection()
{
    auto defaults = NSUserDefaults::standardUserDefaults();
    const std::uint32_t local = storedSeconds(defaults->objectForKey(kStoredLocalTimeKey));
    const std::uint32_t server = storedSeconds(defaults->objectForKey(kStoredServerTimeKey));
    const auto offset = static_cast<std::int32_t>(server - local);
    if (offset >= -kLargestClockCorrection && offset <= kLargestClockCorrection)
        return offset;
    // Times more than a year apart are wiped, whoever reads them first.
    defaults->setObject(Value(0), kStoredLocalTimeKey);
    defaults->synchronize();
    defaults->setObject(Value(0), kStoredServerTimeKey);
    defaults->synchronize();
    return 0;
}

void setChannelProvider(std::function<std::string()> provider)
{
    std::lock_guard lock(environmentMutex);
    channelProvider() = std::move(provider);
}

std::int32_t currentReachabilityStatus()
{
    std::function<std::int32_t()> provider;
    {
        std::lock_guard lock(environmentMutex);
        provider = reachabilityProvider();
    }
    return provider ? provider() : defaultReachabilityStatus();
}

std::uint32_t randomNumber()
{
    return random32();
}

} // namespace push_utilities

using namespace push_utilities;

std::optional<PUSHCarrier> PUSHCellularProvider()
{
    return deviceEnvironment().carrier;
}

static std::string carrierField(std::optional<std::string> PUSHCarrier::*field)
{
    auto carrier = PUSHCellularProvider();
    if (!carrier || !((*carrier).*field))
        return "-1";
    return *((*carrier).*field);
}

std::string PUSHCarrierName()
{
    return carrierField(&PUSHCarrier::carrierName);
}

std::string PUSHMobileNetworkCode()
{
    return carrierField(&PUSHCarrier::mobileNetworkCode);
}

std::string PUSHMobileCountryCode()
{
    return carrierField(&PUSHCarrier::mobileCountryCode);
}

// A value of the current network information of the first interface the platform lists.
static std::string currentWifiValue(const std::string& key)
{
    auto interfaces = CNCopySupportedInterfaces();
    if (!interfaces || interfaces->empty())
        return "Not Found";
    auto info = CNCopyCurrentNetworkInfo(interfaces->front());
    if (!info)
        return "Not Found";
    auto found = info->find(key);
    return found == info->end() ? "Not Found" : found->second;
}

std::string PUSHCurrentWifiBSSID()
{
    return currentWifiValue("BSSID");
}

std::string PUSHCurrentWifiSSID()
{
    return currentWifiValue("SSID");
}

unsigned PUSHCarrierType(const std::string& carrierName)
{
    if (carrierName == "中国移动")
        return 1;
    if (carrierName == "中国联通")
        return 2;
    if (carrierName == "中国电信")
        return 3;
    return 0;
}

std::uint8_t PUSHNetworkType(const std::string& carrierName)
{
    std::int32_t status = currentReachabilityStatus();
    if (status == kStatusWiFi)
        return 4;
    if (status == kStatusWWAN)
        return static_cast<std::uint8_t>(PUSHCarrierType(carrierName));
    return 0;
}

double PUSHCurrentTimestamp()
{
    // Whole microseconds, as the time of day gives them.
    return std::floor(foundation::clock::now() * 1e6) / 1e6;
}

double PUSHServerTimestamp()
{
    return push_utilities::serverClockCorrection() + PUSHCurrentTimestamp();
}

void PUSHDateAndTimeStrings(std::int64_t secondsSince1970, std::string* date, std::string* time)
{
    NSDate when = NSDate::dateWithTimeIntervalSince1970(static_cast<double>(secondsSince1970));
    if (date)
        *date = NSDateFormatter::create("yyyy-MM-dd")->stringFromDate(when);
    if (time)
        *time = NSDateFormatter::create("HH:mm:ss")->stringFromDate(when);
}

std::string PUSHRandomDeviceId()
{
    std::string text = "iPhone";
    for (int i = 0; i < 18; ++i)
        text += NSString::stringWithFormat("%02x", randomNumber() & 0xF);
    return text.substr(0, 24);
}

void PUSHPostNotificationWithUserInfo(const std::string& name, const Value& userInfo)
{
    PUSHLogDebug("%s name: %@ %@", "PUSHPostNotificationWithUserInfo", name, userInfo);
    dispatch_async(dispatch_get_main_queue(), [name, userInfo] {
        NSNotificationCenter::defaultCenter()->postNotificationName(name, nullptr, userInfo);
    });
}

void PUSHPostNotification(const std::string& name)
{
    PUSHPostNotificationWithUserInfo(name, Value());
}

void PUSHAlert(const std::string& title, const std::string& message)
{
    PUSHLogError("%@\n%@", title, message);
}

std::string PUSHHardwareMachine()
{
    utsname names {};
    if (::uname(&names) != 0)
        return {};
    char buffer[128] = {};
    std::snprintf(buffer, sizeof buffer, "%s", names.machine);
    return buffer;
}

// This platform's main screen always offers a scale, so the texts of a screen without one
// ("320*480", "1024x768") never come up.
std::string PUSHScreenResolution()
{
    if (UIDevice::currentDevice()->userInterfaceIdiom() != UIUserInterfaceIdiomPhone)
        return "2048x1536";
    auto screen = UIScreen::mainScreen();
    double h = screen->bounds().size.height * screen->scale();
    if (h <= 480)
        return "320x480";
    if (h <= 960)
        return "640x960";
    return "640x1136";
}

std::string PUSHNetworkStatusName(std::int32_t status)
{
    switch (status) {
    case kStatusUnknown:
        return "NetworkUnknown";
    case kStatusNotReachable:
        return "NotReachable";
    case kStatusWiFi:
        return "ReachableViaWiFi";
    case kStatusWWAN:
        return "ReachableViaWWAN";
    default:
        return "";
    }
}

Value PUSHDeviceInfoDictionary()
{
    std::function<std::string()> channel;
    {
        std::lock_guard lock(environmentMutex);
        channel = channelProvider();
    }
    return Value::dictionary({
        { "itime", static_cast<std::int64_t>(PUSHServerTimestamp()) },
        { "type", "device_info" },
        { "os_version", PUSHSystemVersion() },
        { "sdk_version", PUSHSDKVersionString() },
        { "timezone", PUSHTimeZoneOffset() },
        { "app_versioncode", PUSHAppVersionName() },
        { "app_versionname", PUSHAppVersionName() },
        { "language", PUSHPreferredLanguage() },
        { "resolution", PUSHScreenResolution() },
        // No configured channel: an empty text keeps the key present.
        { "Channel", channel ? channel() : std::string() },
        { "model", PUSHHardwareMachine() },
    });
}

std::string PUSHAppVersionName()
{
    const Value& version = NSBundle::mainBundle()->objectForInfoDictionaryKey("CFBundleShortVersionString");
    return version.isString() ? version.asString() : "";
}

std::string PUSHPreferredLanguage()
{
    Value languages = NSUserDefaults::standardUserDefaults()->objectForKey(persistence::kAppleLanguagesKey);
    if (!languages.isArray() || languages.count() == 0 || !languages[0].isString())
        return "-1";
    return languages[0].asString();
}

std::string PUSHSystemVersion()
{
    const std::string& version = UIDevice::currentDevice()->systemVersion();
    return version.empty() ? "-1" : version;
}

std::string PUSHTimeZoneOffset()
{
    int seconds = NSTimeZone::systemTimeZone().secondsFromGMT();
    int hours = seconds / 3600;
    return NSString::stringWithFormat(seconds < 3600 ? "%d" : "+%d", hours);
}

std::uint32_t PUSHHexStringToInt(const std::string& text)
{
    std::uint32_t value = 0;
    for (unsigned char c : text)
        value = value * 16 + (c <= 64 ? c - 48u : c - 55u);
    return value;
}

std::string PUSHSDKVersionString()
{
    static const std::string text = [] {
        std::string version = kPUSHSDKVersion, result;
        for (std::size_t i = 0; i < version.size(); ++i) {
            if (i % 2 == 0) {
                result += version[i];
                if (i + 1 != version.size())
                    result += '.';
            } else if (version[i] != '0') {
                result += version[i];
            }
        }
        return result;
    }();
    return text;
}

std::uint32_t PUSHSDKVersionCode()
{
    return PUSHHexStringToInt(kPUSHSDKVersion);
}

std::string PUSHRandomHexString()
{
    std::string text;
    while (text.size() <= 64)
        text += NSString::stringWithFormat("%x", randomNumber());
    return text.substr(0, 64);
}

std::string PUSHFakeDeviceToken()
{
    std::string token = PUSHRandomHexString();
    return token.replace(0, 8, "jmsguuid");
}
