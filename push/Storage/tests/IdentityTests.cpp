// The persisted identity: first start, restarts over the same home, application-key changes,
// enciphered user identifier and password, addresses, legacy migration and its delayed check.
#include "StorageTestSupport.h"

#include <cerrno>

#include "platform/persistence/NSPropertyListSerialization.h"
#include "platform/persistence/NSUserDefaults.h"
#include "platform/threading/NSNotificationCenter.h"
#include "push/Storage/PUSHUserDefaultsController.h"
#include "push/Utilities/PUSHAES.h"
#include "push/Utilities/PUSHKeychain.h"
#include "testing/RunLoopPump.h"
#include "testing/VirtualTime.h"

namespace {

constexpr const char* kBundle = "com.quillmark.tests";
constexpr std::uint64_t kUid = 9223372036854775813ull; // above the signed range

class Identity : public storage_tests::HomeTest {
protected:
    void SetUp() override
    {
        HomeTest::SetUp();
        startCaches();
        center = NSNotificationCenter::create();
        token = center->addObserverForName(PUSHUserDefaultsVerifiedNotification, nullptr, nullptr,
            [this](const std::shared_ptr<NSNotification>&) { ++verifiedPosts; });
    }

    std::shared_ptr<PUSHUserDefaultsController> open(const std::string& appKey = "key-1") { return PUSHUserDefaultsController::initWithBundleIdentifier(kBundle, appKey, center); }
    // A new process: the caches read again, a new controller.
    std::shared_ptr<PUSHUserDefaultsController> reopen(const std::string& appKey = "key-1") { return restartCaches(), open(appKey); }
    // Counts whole-file writes of either cache.
    int countWrites(const std::function<void()>& action)
    {
        int writes = 0;
        persistence::setBeforeRenameHookForTesting([&](const std::string&, const std::string&) {
            ++writes;
            return 0;
        });
        action();
        persistence::setBeforeRenameHookForTesting({});
        return writes;
    }

    std::shared_ptr<NSNotificationCenter> center;
    NSObjectRef token;
    int verifiedPosts = 0;
};

// A server address object as the session holds one.
class Address : public NSObject, public push::AbsoluteStringConvertible {
public:
    std::string absoluteString() const override { return "10.1.2.3:7001"; }
};

TEST_F(Identity, FirstStartGeneratesADeviceIdAndCleansTheKeychain)
{
    PUSHKeychain keychain(kBundle, "", 4);
    ASSERT_TRUE(keychain.setObject(Value("left by an earlier installation"), kWPKeychainUserDefaultsKey));

    auto identity = open();
    EXPECT_EQ(std::tuple(identity->isFirstStart(), identity->verified(), verifiedPosts), std::tuple(true, true, 1));
    EXPECT_EQ(std::tuple(identity->openUdid().size(), document()->objectForKey(kWPDeviceId)), std::tuple(24u, Value(identity->openUdid())));
    EXPECT_TRUE(keychain.objectForKey(kWPKeychainUserDefaultsKey).isAbsent()
        && NSUserDefaults::standardUserDefaults()->boolForKey(kPUSHServerIsNotFirstStartKey));

    // Verification happens once per controller.
    identity->verifyUserDefaults();
    identity->setCurrentDeviceToken("aa");
    EXPECT_EQ(verifiedPosts, 1);

    auto again = reopen();
    EXPECT_EQ(std::tuple(again->isFirstStart(), again->openUdid()), std::tuple(false, identity->openUdid()));
}

TEST_F(Identity, RegistrationTokenAndAddressesSurviveARestart)
{
    auto identity = open();
    // Addresses not set yet fall back to the built-in ones; an empty one too.
    EXPECT_EQ(identity->backupUdpReportAddress(), kPUSHBuiltInUdpReportAddress);
    identity->setDefaultConAddress(Value(""));
    EXPECT_EQ(identity->defaultConAddress(), kPUSHBuiltInConnectionAddress);
    identity->setUidPasswordRegistrationID(kUid, "p@ss", "reg-1");
    identity->setUploadedDeviceToken("0a1b2c");
    identity->setDefaultConAddress(Value("192.168.1.5:7000"));
    identity->setBackupHttpReportAddress(Value("http://10.0.0.1:8080/v2/report"));
    identity->setBackupUdpReportAddress(Value(std::make_shared<Address>()));
    identity->setBackupUserReportAddress(Value("http://10.0.0.2/v1/user/"));
    identity->setLastSucceedConnectionAddress(Value("1.1.1.1:1"));
    EXPECT_TRUE(identity->isAppRegisted());

    auto restarted = reopen();
    EXPECT_EQ(std::tuple(restarted->uid(), restarted->password(), restarted->registrationID(), restarted->uploadedDeviceToken(),
                  restarted->openUdid()),
        std::tuple(kUid, "p@ss", "reg-1", "0a1b2c", identity->openUdid()));
    EXPECT_EQ(std::tuple(restarted->defaultConAddress(), restarted->backupHttpReportAddress(), restarted->backupUdpReportAddress(),
                  restarted->backupUserReportAddress(), restarted->lastSucceedConnectionAddress()),
        std::tuple("192.168.1.5:7000", "http://10.0.0.1:8080/v2/report", "10.1.2.3:7001", "http://10.0.0.2/v1/user/",
            "")); // the last one is kept in memory only
    restarted->setDefaultConAddress(Value()); // nothing removes the address
    EXPECT_FALSE(restarted->infoDictionary().contains(kDefaultConnectionAddress));

    // The user identifier is its decimal digits enciphered with the uid key; the password is
    // enciphered too, and neither is readable in the file.
    const Value uidBytes = plain()->objectForKey(kUIDKey);
    ASSERT_TRUE(uidBytes.isData());
    EXPECT_EQ(PUSHAES::decrypt(uidBytes.asData(), "TRAVE_HOLLIN_BRISK_QUOMB_AZURES"), "9223372036854775813");
    EXPECT_EQ(PUSHAES::decrypt(plain()->objectForKey(kPasswordKey).asData(), "PELMO_GRANITE_SWIFT_DUNE_OCHRES"), "p@ss");
    EXPECT_FALSE(containsText(fileBytes(plainPath()), "p@ss") || containsText(fileBytes(documentPath()), "192.168.1.5"));
}

TEST_F(Identity, UnchangedValuesWriteNothingAndAFailedSaveIsWrittenByTheNext)
{
    auto identity = open();
    identity->setUidPasswordRegistrationID(5, "pw", "r");
    EXPECT_EQ(countWrites([&] { identity->setUidPasswordRegistrationID(5, "pw", "r"); }), 0);
    EXPECT_GT(countWrites([&] { identity->setUploadedDeviceToken("t"); }), 0);
    EXPECT_EQ(countWrites([&] { identity->setUploadedDeviceToken("t"); }), 0);
    identity->setUidPasswordRegistrationID(5, "pw", "r2");
    EXPECT_EQ(reopen()->registrationID(), "r2");

    identity = open();
    persistence::setBeforeRenameHookForTesting([](const std::string&, const std::string&) { return EIO; });
    identity->setUidPasswordRegistrationID(99, "pw", "reg");
    EXPECT_FALSE(identity->synchronize());
    persistence::setBeforeRenameHookForTesting({});
    EXPECT_EQ(identity->uid(), 99u);
    EXPECT_EQ(reopen()->uid(), 5u); // the failed save reached no disk

    auto again = open();
    again->setUidPasswordRegistrationID(99, "pw", "reg");
    EXPECT_TRUE(again->synchronize());
    EXPECT_EQ(reopen()->uid(), 99u);
}

TEST_F(Identity, NewApplicationKeyKeepsNothingOfTheOldIdentity)
{
    auto identity = open("key-1");
    identity->setUidPasswordRegistrationID(42, "pw", "reg");
    identity->setUploadedDeviceToken("tok");
    identity->setDefaultConAddress(Value("10.9.9.9:7000"));
    const std::string device = identity->openUdid();

    auto changed = reopen("key-2");
    EXPECT_FALSE(changed->isAppRegisted() || changed->password() || changed->registrationID() || changed->uploadedDeviceToken());
    EXPECT_EQ(changed->openUdid().size(), 24u);
    EXPECT_NE(changed->openUdid(), device);
    EXPECT_EQ(changed->defaultConAddress(), kPUSHBuiltInConnectionAddress);
    // The new start is what the files hold now.
    EXPECT_EQ(std::tuple(document()->objectForKey(kWPDeviceId), document()->objectForKey(kDefaultConnectionAddress)),
        std::tuple(Value(changed->openUdid()), Value()));

    // Caches that hold no key at all (the caches folder was purged) keep the device identifier.
    const std::string current = changed->openUdid();
    std::filesystem::remove(plainPath());
    auto purged = reopen("key-2");
    EXPECT_EQ(std::tuple(purged->openUdid(), purged->isAppRegisted()), std::tuple(current, false));
}

TEST_F(Identity, UndecipherableSecretsReadAsMissing)
{
    open()->setUidPasswordRegistrationID(77, "pw", "reg");
    plain()->setObject(Value(Bytes { 1, 2, 3 }), kUIDKey);
    plain()->setObject(Value(Bytes(32, 7)), kPasswordKey);
    auto identity = reopen();
    EXPECT_EQ(std::tuple(identity->uid(), identity->password(), identity->registrationID()), std::tuple(0u, std::nullopt, "reg"));

    // Digits that are not a plain unsigned number are not a user identifier either.
    plain()->setObject(Value(*PUSHAES::encrypt("12abc", "TRAVE_HOLLIN_BRISK_QUOMB_AZURES")), kUIDKey);
    EXPECT_EQ(reopen()->uid(), 0u);
}

class IdentityMigration : public Identity {
protected:
    // The older layout's file, with the key and the token in their nested dictionaries.
    void writeLegacyFile(const std::string& uploadedToken)
    {
        const std::string folder = home.pathFor(std::string("Library/4C90E90E-C569-4396-AB2D-AC33BF8A1E44/") + kBundle);
        std::filesystem::create_directories(folder);
        Value old = Value::dictionary({ { "kUIDKey", Value(31) }, { "kPasswordKey", Value("old-pw") },
            { "kRegistrationId", Value("old-reg") },
            { "kAPConfigKey", Value::dictionary({ { "APP_KEY", Value("key-1") } }) },
            { "kDeviceTokenGroupKey", Value::dictionary({ { "kUploadedDeviceTokenKey", Value(uploadedToken) } }) } });
        auto bytes = NSPropertyListSerialization::dataWithPropertyList(old, NSPropertyListXMLFormat_v1_0, 0);
        ASSERT_TRUE(bytes);
        persistence::writeToFile(*bytes, folder + "/WPUserDefaults.plist", true);
    }
};

TEST_F(IdentityMigration, MigratedIdentityStaysWhenTheSameTokenArrives)
{
    writeLegacyFile("feed");
    auto identity = open();
    EXPECT_EQ(std::tuple(identity->isDelayedVerify(), identity->verified(), verifiedPosts), std::tuple(true, false, 0));
    identity->setCurrentDeviceToken("feed");
    EXPECT_EQ(std::tuple(identity->verified(), identity->uid(), identity->password(), verifiedPosts), std::tuple(true, 31u, "old-pw", 1));
    EXPECT_EQ(reopen()->uid(), 31u); // written to the caches at once
}

TEST_F(IdentityMigration, MigratedIdentityIsDroppedForAnotherTokenOrNoneInTime)
{
    writeLegacyFile("feed");
    auto identity = open();
    identity->setCurrentDeviceToken("beef");
    EXPECT_TRUE(identity->verified() && !identity->isAppRegisted());

    PUSHFileCacheController::resetSharedInstancesForTesting();
    std::filesystem::remove_all(home.pathFor("Library/Caches/Push"));
    startCaches();
    testing_support::VirtualTime time;
    auto waiting = open();
    ASSERT_TRUE(waiting->isDelayedVerify());
    time.advance(1.0);
    EXPECT_TRUE(testing_support::runUntil([&] { return waiting->verified(); }));
    EXPECT_EQ(std::tuple(waiting->isAppRegisted(), waiting->appKey()), std::tuple(false, "key-1"));
}

} // namespace
