// The persisted identity: start-up, reading and writing through the file caches, verification.
#include "push/Storage/PUSHUserDefaultsController.h"

#include <charconv>
#include <filesystem>

#include "platform/persistence/AppHome.h"
#include "platform/persistence/FileIO.h"
#include "platform/persistence/NSPropertyListSerialization.h"
#include "platform/persistence/NSUserDefaults.h"
#include "platform/threading/NSNotificationCenter.h"
#include "platform/threading/NSTimer.h"
#include "push/Storage/PUSHFileCacheController.h"
#include "push/Utilities/PUSHAES.h"
#include "push/Utilities/PUSHKeychain.h"
#include "push/Utilities/PUSHLog.h"
#include "push/Utilities/PUSHUtilities.h"

namespace {

constexpr const char* kUidCipherKey = "TRAVE_HOLLIN_BRISK_QUOMB_AZURES";
constexpr const char* kPasswordCipherKey = "PELMO_GRANITE_SWIFT_DUNE_OCHRES";
constexpr const char* kLegacyFolder = "4C90E90E-C569-4396-AB2D-AC33BF8A1E44";
constexpr std::size_t kMaxLegacyFileBytes = 1024 * 1024;

constexpr const char* kDocumentKeys[] = { kWPDeviceId, kAttributeReportAddress, kPUSHHttpBackupReportAddress,
    kPUSHBackupReportAddress, kDefaultConnectionAddress };

std::shared_ptr<PUSHFileCacheController> plainCache()
{
    return PUSHFileCacheController::shareInstanceWithType(PUSHFileCacheTypeCache);
}

std::shared_ptr<PUSHFileCacheController> documentCache()
{
    return PUSHFileCacheController::shareInstanceWithType(PUSHFileCacheTypeDocument);
}

// Plain decimal digits of an unsigned 64-bit number; anything else reads as nothing.
std::optional<std::uint64_t> parseUid(const std::string& text)
{
    std::uint64_t value = 0;
    const char* end = text.data() + text.size();
    auto [rest, error] = std::from_chars(text.data(), end, value);
    if (text.empty() || error != std::errc() || rest != end)
        return std::nullopt;
    return value;
}

std::optional<std::string> optionalString(const Value& value)
{
    if (!value.isString())
        return std::nullopt;
    return value.asString();
}

Value fromOptional(const std::optional<std::string>& text) { return text ? Value(*text) : Value(); }

} // namespace

namespace push {

void invalidateIdentity(Value& dictionary)
{
    dictionary.remove(kUIDKey);
    dictionary.remove(kPasswordKey);
    dictionary.remove(kRegistrationId);
    dictionary.remove(kUploadedDeviceTokenKey);
}

} // namespace push

std::shared_ptr<PUSHUserDefaultsController> PUSHUserDefaultsController::initWithBundleIdentifier(
    const std::string& bundleIdentifier, const std::string& appKey, std::shared_ptr<NSNotificationCenter> center)
{
    auto controller = std::make_shared<PUSHUserDefaultsController>();
    controller->center_ = center ? std::move(center) : NSNotificationCenter::defaultCenter();
    controller->appKey_ = appKey;
    controller->setUp(bundleIdentifier);
    return controller;
}

PUSHUserDefaultsController::~PUSHUserDefaultsController()
{
    if (auto timer = delayVerifyUserDefaultsTimer_.lock())
        timer->invalidate();
}

void PUSHUserDefaultsController::setUp(const std::string& bundleIdentifier)
{
    struct FirstStartGuard {
        PUSHUserDefaultsController& owner;
        const std::string& bundle;
        ~FirstStartGuard() { owner.finishFirstStart(bundle); }
    } guard { *this, bundleIdentifier };

    std::lock_guard lock(lock_);
    isFirstStart_ = !NSUserDefaults::standardUserDefaults()->boolForKey(kPUSHServerIsNotFirstStartKey);
    isDelayedVerify_ = false;

    std::optional<Value> read = readFromFile();
    if (read) {
        PUSHLogDebug("no Push file content");
        infoDictionary_ = *read;
    } else {
        PUSHLogDebug("get from userDefault for old version");
        Value legacy = transFromOldUserDefaults(loadLegacyFile(bundleIdentifier));
        if (legacy.isDictionary()) {
            PUSHLogDebug("get from userDefault for old version succeed, transfer to new version content");
            infoDictionary_ = legacy;
            readDocumentEntries(infoDictionary_);
            isDelayedVerify_ = true;
        }
        PUSHLogDebug("get from userDefault for old version failed");
    }

    if (infoDictionary_.isDictionary() && infoDictionary_[kAPPKEY] == Value(appKey_)) {
        if (isDelayedVerify_) {
            delayVerifyUserDefaults();
            return;
        }
    } else if (infoDictionary_.isDictionary()) {
        PUSHLogDebug("if appKey changed, change to new appkey");
        push::invalidateIdentity(infoDictionary_);
        infoDictionary_.set(kAPPKEY, Value(appKey_));
    } else {
        PUSHLogDebug("if no old content, set appKey");
        infoDictionary_ = Value::dictionary({ { kAPPKEY, Value(appKey_) } });
        // The device identifier and the addresses are the device's, not the identity's: keep them.
        readDocumentEntries(infoDictionary_);
    }
    isDelayedVerify_ = false;
    verifyUserDefaults();
}

void PUSHUserDefaultsController::finishFirstStart(const std::string& bundleIdentifier)
{
    if (!isFirstStart_)
        return;
    PUSHKeychain keychain(bundleIdentifier, "", 4);
    if (!keychain.objectForKey(kWPKeychainUserDefaultsKey).isAbsent() || !keychain.dataForKey(kWPKeychainUserDefaultsKey).isAbsent())
        keychain.removeObjectForKey(kWPKeychainUserDefaultsKey);
    auto defaults = NSUserDefaults::standardUserDefaults();
    defaults->setBool(true, kPUSHServerIsNotFirstStartKey);
    defaults->synchronize();
}

Value PUSHUserDefaultsController::loadLegacyFile(const std::string& bundleIdentifier) const
{
    auto libraries = NSSearchPathForDirectoriesInDomains(NSLibraryDirectory, NSUserDomainMask, true);
    if (libraries.empty() || bundleIdentifier.empty()) {
        PUSHLogError("get LIB dir error");
        return {};
    }
    const std::string folder = libraries.front() + "/" + kLegacyFolder + "/" + bundleIdentifier;
    std::error_code error;
    if (!std::filesystem::is_directory(folder, error))
        return {};
    const std::string path = folder + "/WPUserDefaults.plist";
    const auto size = std::filesystem::file_size(path, error);
    if (error || size > kMaxLegacyFileBytes)
        return {};
    auto bytes = persistence::dataWithContentsOfFile(path);
    if (!bytes)
        return {};
    Value plist = NSPropertyListSerialization::propertyListWithData(*bytes);
    return plist.isDictionary() ? plist : Value();
}

Value PUSHUserDefaultsController::transFromOldUserDefaults(const Value& old)
{
    if (!old.isDictionary())
        return {};
    Value converted = old;
    if (!converted[kAPPKEY].isString()) {
        const Value& nested = converted["kAPConfigKey"][kAPPKEY];
        if (!nested.isString())
            return {};
        converted.set(kAPPKEY, nested);
        converted.remove("kAPConfigKey");
    }
    if (converted[kUploadedDeviceTokenKey].isAbsent()) {
        const Value token = converted["kDeviceTokenGroupKey"][kUploadedDeviceTokenKey];
        if (!token.isAbsent()) {
            converted.set(kUploadedDeviceTokenKey, token);
            converted.remove("kDeviceTokenGroupKey");
        }
    }
    return converted;
}

void PUSHUserDefaultsController::readDocumentEntries(Value& into) const
{
    auto document = documentCache();
    if (!document)
        return;
    for (const char* key : kDocumentKeys) {
        Value value = document->objectForKey(key);
        if (!value.isAbsent())
            into.set(key, value);
    }
}

std::optional<Value> PUSHUserDefaultsController::readFromFile() const
{
    auto plain = plainCache();
    const Value storedKey = plain ? plain->objectForKey(kAPPKEY) : Value();
    if (!storedKey.isString())
        return std::nullopt;
    // Caches written for another application key give nothing of theirs: the identity, the
    // device identifier and the addresses all start again.
    if (storedKey.asString() != appKey_)
        return Value::dictionary();
    Value read = Value::dictionary();
    readDocumentEntries(read);

    const Value uidData = plain->objectForKey(kUIDKey);
    if (uidData.isData() && !uidData.asData().empty()) {
        auto text = PUSHAES::decrypt(uidData.asData(), kUidCipherKey);
        auto uid = text ? parseUid(*text) : std::nullopt;
        if (uid)
            read.set(kUIDKey, Value(*uid));
    }
    const Value passwordData = plain->objectForKey(kPasswordKey);
    if (passwordData.isData()) {
        if (auto password = PUSHAES::decrypt(passwordData.asData(), kPasswordCipherKey))
            read.set(kPasswordKey, Value(*password));
    }
    for (const char* key : { kRegistrationId, kUploadedDeviceTokenKey, kAPPKEY })
        read.set(key, plain->objectForKey(key));
    return read;
}

bool PUSHUserDefaultsController::writeToFile()
{
    std::lock_guard lock(lock_);
    return writeLocked();
}

bool PUSHUserDefaultsController::writeLocked(bool* cacheSaved, bool* documentSaved)
{
    if (infoDictionary_.count() == 0)
        return false;
    Value uidBytes, passwordBytes;
    const Value& uid = infoDictionary_[kUIDKey];
    if (uid.isNumber()) {
        if (auto sealed = PUSHAES::encrypt(std::to_string(uid.unsignedValue()), kUidCipherKey))
            uidBytes = Value(std::move(*sealed));
    }
    const Value& password = infoDictionary_[kPasswordKey];
    if (password.isString() && !password.asString().empty()) {
        if (auto sealed = PUSHAES::encrypt(password.asString(), kPasswordCipherKey))
            passwordBytes = Value(std::move(*sealed));
    }
    // Each cache takes its entries in one go and is written once.
    bool plainWritten = false, documentWritten = false;
    if (auto plain = plainCache()) {
        std::vector<std::pair<std::string, Value>> entries = { { kUIDKey, uidBytes }, { kPasswordKey, passwordBytes } };
        for (const char* key : { kRegistrationId, kUploadedDeviceTokenKey, kAPPKEY })
            entries.emplace_back(key, infoDictionary_[key]);
        plainWritten = plain->setObjects(entries);
    }
    if (auto document = documentCache()) {
        std::vector<std::pair<std::string, Value>> entries;
        for (const char* key : kDocumentKeys)
            entries.emplace_back(key, infoDictionary_[key]);
        documentWritten = document->setObjects(entries);
    }
    if (cacheSaved)
        *cacheSaved = plainWritten;
    if (documentSaved)
        *documentSaved = documentWritten;
    return true;
}

bool PUSHUserDefaultsController::synchronizeTarget(int target)
{
    std::lock_guard lock(lock_);
    return synchronizeLocked(target);
}

bool PUSHUserDefaultsController::synchronizeLocked(int target)
{
    // Writing the dictionary already wrote both files whole; the target says whose result counts.
    bool cacheSaved = false, documentSaved = false;
    if (!writeLocked(&cacheSaved, &documentSaved))
        return false;
    if ((target == 0 || target == 2) && !cacheSaved)
        PUSHLogError("Save UserDefault Cache Data Failed");
    if ((target == 1 || target == 2) && !documentSaved)
        PUSHLogError("Save UserDefault Documetn Data Failed");
    switch (target) {
    case 0:
        return cacheSaved;
    case 1:
        return documentSaved;
    case 2:
        return cacheSaved && documentSaved;
    default:
        return false;
    }
}

void PUSHUserDefaultsController::clearAllCache()
{
    if (auto plain = plainCache())
        plain->removeAllObjects();
    if (auto document = documentCache())
        document->removeAllObjects();
}

void PUSHUserDefaultsController::verifyUserDefaults()
{
    {
        std::lock_guard lock(lock_);
        if (verified_)
            return;
        verified_ = true;
        bool generated = false;
        const Value& deviceId = infoDictionary_[kWPDeviceId];
        if (deviceId.isString() && !deviceId.asString().empty()) {
            openUdid_ = deviceId.asString();
        } else {
            openUdid_ = PUSHRandomDeviceId();
            infoDictionary_.set(kWPDeviceId, Value(openUdid_));
            generated = true;
        }
        uid_ = infoDictionary_[kUIDKey].unsignedValue();
        password_ = optionalString(infoDictionary_[kPasswordKey]);
        registrationID_ = optionalString(infoDictionary_[kRegistrationId]);
        const bool wasDelayed = isDelayedVerify_;
        if (wasDelayed) {
            if (auto timer = delayVerifyUserDefaultsTimer_.lock())
                timer->invalidate();
            isDelayedVerify_ = false;
        }
        if (wasDelayed || generated)
            synchronizeLocked(2);
    }
    center_->postNotificationName(PUSHUserDefaultsVerifiedNotification);
}

void PUSHUserDefaultsController::delayVerifyUserDefaults()
{
    std::weak_ptr<PUSHUserDefaultsController> weak = sharedAs<PUSHUserDefaultsController>();
    auto timer = NSTimer::scheduledTimerWithTimeInterval(1.0, false, [weak](const std::shared_ptr<NSTimer>&) {
        if (auto strong = weak.lock())
            strong->verifyUserDefaultsTimeout();
    });
    std::lock_guard lock(lock_);
    delayVerifyUserDefaultsTimer_ = timer;
}

void PUSHUserDefaultsController::verifyUserDefaultsTimeout()
{
    {
        std::lock_guard lock(lock_);
        if (verified_)
            return;
        push::invalidateIdentity(infoDictionary_);
    }
    verifyUserDefaults();
}

void PUSHUserDefaultsController::setCurrentDeviceToken(const std::string& token)
{
    PUSHLogDebug("Action - setCurrentDeviceToken - %@", token);
    {
        std::lock_guard lock(lock_);
        currentDeviceToken_ = token;
        if (isDelayedVerify_ && infoDictionary_[kUploadedDeviceTokenKey] != Value(token))
            push::invalidateIdentity(infoDictionary_);
    }
    verifyUserDefaults();
}

void PUSHUserDefaultsController::setUploadedDeviceToken(const std::string& token)
{
    std::lock_guard lock(lock_);
    if (infoDictionary_[kUploadedDeviceTokenKey] == Value(token))
        return;
    infoDictionary_.set(kUploadedDeviceTokenKey, Value(token));
    synchronizeLocked(0);
}

void PUSHUserDefaultsController::setUidPasswordRegistrationID(
    std::uint64_t uid, std::optional<std::string> password, std::optional<std::string> registrationID)
{
    std::lock_guard lock(lock_);
    if (uid == uid_) {
        const bool bothPasswordsMissing = !password && !password_;
        const bool sameRest = password == password_ && registrationID == registrationID_;
        if (bothPasswordsMissing || sameRest)
            return;
    }
    uid_ = uid;
    password_ = std::move(password);
    registrationID_ = std::move(registrationID);
    infoDictionary_.set(kUIDKey, Value(uid_));
    infoDictionary_.set(kPasswordKey, fromOptional(password_));
    infoDictionary_.set(kRegistrationId, fromOptional(registrationID_));
    synchronizeLocked(1);
}

Value PUSHUserDefaultsController::transferToStringIfNeed(const Value& address)
{
    if (address.isString())
        return address;
    if (auto* convertible = dynamic_cast<const push::AbsoluteStringConvertible*>(address.asObject().get()))
        return Value(convertible->absoluteString());
    return {};
}

void PUSHUserDefaultsController::setAddress(const char* key, const Value& address)
{
    // Only the text reaches the file: an address object is not archivable, and would fail the
    // write of every other entry of the document cache with it.
    std::lock_guard lock(lock_);
    infoDictionary_.set(key, transferToStringIfNeed(address));
    synchronizeLocked(1);
}

std::string PUSHUserDefaultsController::addressFor(const char* key, const char* builtIn) const
{
    std::lock_guard lock(lock_);
    const Value text = transferToStringIfNeed(infoDictionary_[key]);
    if (builtIn && (!text.isString() || text.asString().empty()))
        return builtIn;
    return text.asString();
}

void PUSHUserDefaultsController::setDefaultConAddress(const Value& address) { setAddress(kDefaultConnectionAddress, address); }
std::string PUSHUserDefaultsController::defaultConAddress() const
{
    return addressFor(kDefaultConnectionAddress, kPUSHBuiltInConnectionAddress);
}
void PUSHUserDefaultsController::setBackupHttpReportAddress(const Value& address)
{
    setAddress(kPUSHHttpBackupReportAddress, address);
}
std::string PUSHUserDefaultsController::backupHttpReportAddress() const { return addressFor(kPUSHHttpBackupReportAddress, nullptr); }
void PUSHUserDefaultsController::setBackupUdpReportAddress(const Value& address) { setAddress(kPUSHBackupReportAddress, address); }
std::string PUSHUserDefaultsController::backupUdpReportAddress() const
{
    return addressFor(kPUSHBackupReportAddress, kPUSHBuiltInUdpReportAddress);
}
void PUSHUserDefaultsController::setBackupUserReportAddress(const Value& address) { setAddress(kAttributeReportAddress, address); }
std::string PUSHUserDefaultsController::backupUserReportAddress() const { return addressFor(kAttributeReportAddress, nullptr); }

void PUSHUserDefaultsController::setLastSucceedConnectionAddress(const Value& address)
{
    std::lock_guard lock(lock_);
    infoDictionary_.set(kPUSHLastSucceedConnectionAddress, address);
}
std::string PUSHUserDefaultsController::lastSucceedConnectionAddress() const
{
    return addressFor(kPUSHLastSucceedConnectionAddress, nullptr);
}

std::uint64_t PUSHUserDefaultsController::uid() const
{
    std::lock_guard lock(lock_);
    return uid_;
}
std::optional<std::string> PUSHUserDefaultsController::password() const
{
    std::lock_guard lock(lock_);
    return password_;
}
std::optional<std::string> PUSHUserDefaultsController::registrationID() const
{
    std::lock_guard lock(lock_);
    return registrationID_;
}
std::string PUSHUserDefaultsController::appKey() const
{
    std::lock_guard lock(lock_);
    return appKey_;
}
std::string PUSHUserDefaultsController::openUdid() const
{
    std::lock_guard lock(lock_);
    return openUdid_;
}
std::optional<std::string> PUSHUserDefaultsController::currentDeviceToken() const
{
    std::lock_guard lock(lock_);
    return currentDeviceToken_;
}
std::optional<std::string> PUSHUserDefaultsController::uploadedDeviceToken() const
{
    std::lock_guard lock(lock_);
    return optionalString(infoDictionary_[kUploadedDeviceTokenKey]);
}
bool PUSHUserDefaultsController::verified() const
{
    std::lock_guard lock(lock_);
    return verified_;
}
bool PUSHUserDefaultsController::isFirstStart() const
{
    std::lock_guard lock(lock_);
    return isFirstStart_;
}
bool PUSHUserDefaultsController::isDelayedVerify() const
{
    std::lock_guard lock(lock_);
    return isDelayedVerify_;
}
std::uint32_t PUSHUserDefaultsController::sisHostIndex() const
{
    std::lock_guard lock(lock_);
    return sisHostIndex_;
}
void PUSHUserDefaultsController::setSisHostIndex(std::uint32_t index)
{
    std::lock_guard lock(lock_);
    sisHostIndex_ = index;
}
Value PUSHUserDefaultsController::infoDictionary() const
{
    std::lock_guard lock(lock_);
    return infoDictionary_;
}
