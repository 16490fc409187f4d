// What the push client remembers between launches: the identity the push server assigned at
// registration (user identifier, password, registration identifier), the device token the server
// last acknowledged, the application key that identity belongs to, a generated device
// identifier and the server addresses learnt from address discovery. It keeps them in one
// dictionary and writes them through the two file caches: the identity into the plain cache
// (type 0, user identifier and password enciphered), the device identifier and the addresses
// into the enciphered document cache (type 1). Once the identity can be trusted it posts
// "PUSHUserDefaultsVerifiedNotification" on the client's notification centre, once per
// controller. Safe to read from any thread.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "platform/foundation/NSObject.h"
#include "platform/foundation/Value.h"

class NSNotificationCenter;
class NSTimer;

inline constexpr const char* PUSHUserDefaultsVerifiedNotification = "PUSHUserDefaultsVerifiedNotification";

inline constexpr const char* kUIDKey = "kUIDKey";
inline constexpr const char* kPasswordKey = "kPasswordKey";
inline constexpr const char* kRegistrationId = "kRegistrationId";
inline constexpr const char* kUploadedDeviceTokenKey = "kUploadedDeviceTokenKey";
inline constexpr const char* kAPPKEY = "APP_KEY";
inline constexpr const char* kWPDeviceId = "WPDeviceId";
inline constexpr const char* kAttributeReportAddress = "kAttributeReportAddress";
inline constexpr const char* kPUSHHttpBackupReportAddress = "kPUSHHttpBackupReportAddress";
inline constexpr const char* kPUSHBackupReportAddress = "kPUSHBackupReportAddress";
inline constexpr const char* kDefaultConnectionAddress = "kDefaultConnectionAddress";
inline constexpr const char* kPUSHLastSucceedConnectionAddress = "kPUSHLastSucceedConnectionAddress";
inline constexpr const char* kWPKeychainUserDefaultsKey = "WPKeychainUserDefaultsKey";

// The built-in addresses used while nothing better was learnt.
inline constexpr const char* kPUSHBuiltInConnectionAddress = "127.0.0.1:7000";
inline constexpr const char* kPUSHBuiltInUdpReportAddress = "127.0.0.1:9001";

namespace push {

// A server address object that can give its host-colon-port text (the session's address type).
class AbsoluteStringConvertible {
public:
    virtual ~AbsoluteStringConvertible() = default;
    virtual std::string absoluteString() const = 0;
};

// Drops the identity from a dictionary: "kUIDKey", "kPasswordKey", "kRegistrationId" and
// "kUploadedDeviceTokenKey".
void invalidateIdentity(Value& dictionary);

} // namespace push

class PUSHUserDefaultsController : public NSObject {
public:
    // Reads the caches (both file caches must have been started), settles the application key and
    // verifies, unless a migrated identity waits for the device token. The verified notification
    // goes to `center` (the default centre when none is given).
    static std::shared_ptr<PUSHUserDefaultsController> initWithBundleIdentifier(const std::string& bundleIdentifier,
        const std::string& appKey, std::shared_ptr<NSNotificationCenter> center = nullptr);
    ~PUSHUserDefaultsController() override;

    // Identity.
    // After registration: stores and saves the three values unless they are what is held.
    void setUidPasswordRegistrationID(std::uint64_t uid, std::optional<std::string> password,
        std::optional<std::string> registrationID);
    void setCurrentDeviceToken(const std::string& token);
    // After the server acknowledged a token: stored and saved when it differs from the held one.
    void setUploadedDeviceToken(const std::string& token);
    bool isAppRegisted() const { return uid() != 0; }
    std::uint64_t uid() const;
    std::optional<std::string> password() const;
    std::optional<std::string> registrationID() const;
    std::string appKey() const;
    std::string openUdid() const;
    std::optional<std::string> currentDeviceToken() const;
    std::optional<std::string> uploadedDeviceToken() const;
    bool verified() const;
    bool isFirstStart() const;
    bool isDelayedVerify() const;
    std::uint32_t sisHostIndex() const;
    void setSisHostIndex(std::uint32_t index);
    Value infoDictionary() const;

    // Addresses: each setter stores a text or an address object (absent removes it) and saves
    // the document cache; getters give host-colon-port text, empty when there is none.
    void setDefaultConAddress(const Value& address);
    std::string defaultConAddress() const;
    void setBackupHttpReportAddress(const Value& address);
    std::string backupHttpReportAddress() const;
    void setBackupUdpReportAddress(const Value& address);
    std::string backupUdpReportAddress() const;
    void setBackupUserReportAddress(const Value& address);
    std::string backupUserReportAddress() const;
    // Kept in memory only.
    void setLastSucceedConnectionAddress(const Value& address);
    std::string lastSucceedConnectionAddress() const;
    static Value transferToStringIfNeed(const Value& address);

    // Storage.
    // The identity read from the caches; nullopt when the plain cache holds no application key.
    std::optional<Value> readFromFile() const;
    bool writeToFile();
    // 0 the plain cache, 1 the document cache, 2 both; other targets give false.
    bool synchronizeTarget(int target);
    bool synchronize() { return synchronizeTarget(2); }
    bool synchronizeCacheFile() { return synchronizeTarget(0); }
    bool synchronizeDocumentFile() { return synchronizeTarget(1); }
    void clearAllCache();
    // An older layout's dictionary in the current shape; absent when it has no application key.
    static Value transFromOldUserDefaults(const Value& old);

    // Verification.
    void verifyUserDefaults();
    void delayVerifyUserDefaults();
    void verifyUserDefaultsTimeout();

    std::string className() const override { return "PUSHUserDefaultsController"; }

    PUSHUserDefaultsController() = default;

private:
    void setUp(const std::string& bundleIdentifier);
    void finishFirstStart(const std::string& bundleIdentifier);
    Value loadLegacyFile(const std::string& bundleIdentifier) const;
    void readDocumentEntries(Value& into) const;
    void setAddress(const char* key, const Value& address);
    std::string addressFor(const char* key, const char* builtIn) const;
    // Writes both caches; which of them were saved is told through the flags.
    bool writeLocked(bool* cacheSaved = nullptr, bool* documentSaved = nullptr);
    bool synchronizeLocked(int target);

    mutable std::recursive_mutex lock_;
    Value infoDictionary_;
    std::shared_ptr<NSNotificationCenter> center_;
    std::weak_ptr<NSTimer> delayVerifyUserDefaultsTimer_;
    bool isDelayedVerify_ = false;
    bool isFirstStart_ = false;
    bool verified_ = false;
    std::uint32_t sisHostIndex_ = 0;
    std::string appKey_;
    std::optional<std::string> currentDeviceToken_;
    std::string openUdid_;
    std::uint64_t uid_ = 0;
    std::optional<std::string> password_;
    std::optional<std::string> registrationID_;
};
