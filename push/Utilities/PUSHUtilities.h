// The push library's free functions: device and network facts with their fall-backs, clocks,
// MD5 hex, gzip, Base64, JSON, IPv4 socket addresses, the SDK version, random identifiers and
// notification posting. None of them fails: missing facts come back as "-1", "Not Found", "",
// nullopt or 0.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "platform/foundation/Value.h"

// The carrier as the telephony interface reports it.
struct PUSHCarrier {
    std::optional<std::string> carrierName;
    std::optional<std::string> mobileNetworkCode;
    std::optional<std::string> mobileCountryCode;
};

inline constexpr const char* kPUSHSDKVersion = "20100";

std::optional<PUSHCarrier> PUSHCellularProvider();
std::string PUSHCarrierName();
std::string PUSHMobileNetworkCode();
std::string PUSHMobileCountryCode();
std::string PUSHCurrentWifiBSSID();
std::string PUSHCurrentWifiSSID();
// 1 "中国移动", 2 "中国联通", 3 "中国电信", else 0.
unsigned PUSHCarrierType(const std::string& carrierName);
// 4 on Wi-Fi, the carrier type on the cellular network, else 0.
std::uint8_t PUSHNetworkType(const std::string& carrierName);
double PUSHCurrentTimestamp();
// Local time plus the session's clock correction (server minus local, whole seconds).
double PUSHServerTimestamp();
void PUSHDateAndTimeStrings(std::int64_t secondsSince1970, std::string* date, std::string* time);
std::string PUSHRandomDeviceId();
void PUSHPostNotificationWithUserInfo(const std::string& name, const Value& userInfo);
void PUSHPostNotification(const std::string& name);
// Reports a problem to the developer as one error line; shows nothing.
void PUSHAlert(const std::string& title, const std::string& message);
std::string PUSHMD5HexString(const std::optional<std::string>& text);
std::string PUSHMD5HexData(const Bytes& data);
// Absent for empty data or a parse error (which is logged).
Value PUSHJSONObject(const std::optional<Bytes>& data);
std::optional<Bytes> PUSHJSONData(const Value& object);
std::optional<Bytes> PUSHGzipData(const Bytes& data);
std::string PUSHBase64String(const Bytes& data);
// The 16-byte IPv4 socket address (length byte, family byte, port and address big-endian).
std::optional<Bytes> PUSHSocketAddressData(const std::string& host, std::uint16_t port);
std::string PUSHHardwareMachine();
std::string PUSHScreenResolution();
std::string PUSHNetworkStatusName(std::int32_t status);
Value PUSHDeviceInfoDictionary();
std::string PUSHAppVersionName();
// The first of the user's preferred languages ("AppleLanguages" of the standard user defaults).
std::string PUSHPreferredLanguage();
// The device's system version as its text; "-1" when it has none.
std::string PUSHSystemVersion();
std::string PUSHTimeZoneOffset();
std::uint32_t PUSHHexStringToInt(const std::string& text);
std::string PUSHSDKVersionString();
std::uint32_t PUSHSDKVersionCode();
std::string PUSHRandomHexString();
std::string PUSHFakeDeviceToken();

namespace push_utilities {

// Reachability status values of the push library.
inline constexpr std::int32_t kStatusUnknown = -1;
inline constexpr std::int32_t kStatusNotReachable = 0;
inline constexpr std::int32_t kStatusWiFi = 2;
inline constexpr std::int32_t kStatusWWAN = 3;

// What the device offers that the platform has no interface for: the carrier (none here).
// The screen, the idiom and the Wi-Fi facts are the platform's, read when asked.
struct DeviceEnvironment {
    std::optional<PUSHCarrier> carrier;
};
void setDeviceEnvironment(DeviceEnvironment environment);
DeviceEnvironment deviceEnvironment();

// The client side wires these: the reachability status for the network type, the session's
// clock correction and the configured channel for the device-information item.
void setReachabilityStatusProvider(std::function<std::int32_t()> provider);
void setServerClockCorrection(std::int32_t secondsServerMinusLocal);
// The correction set in this process; until one is set, the one the last login stored (read
// once), so that server times are right from the start of the process.
std::int32_t serverClockCorrection();
// Forgets the correction set in this process: the next read takes the stored one again.
void forgetServerClockCorrection();

// The local and the server clock (whole seconds) that the session stores in the standard user
// defaults at each login.
inline constexpr const char* kStoredLocalTimeKey = "__PUSHLocalTime";
inline constexpr const char* kStoredServerTimeKey = "__PUSHServerTime";
inline constexpr std::int32_t kLargestClockCorrection = 31536000; // one year
// Server minus local clock of the stored login times (nothing stored reads as 0); when the two
// are more than a year apart, 0, and both stored times are set to 0 (each write synchronised).
std::int32_t storedServerClockCorrection();
void setChannelProvider(std::function<std::string()> provider);

} // namespace push_utilities
