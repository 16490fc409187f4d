// The plain and enciphered file caches: write-through and read-back from real files, memory-only
// entries, damaged files, conversion of the older layouts, the shared instances.
#include "StorageTestSupport.h"

#include "platform/persistence/NSJSONSerialization.h"
#include "platform/persistence/NSKeyedArchiver.h"
#include "platform/persistence/NSUserDefaults.h"
#include "platform/threading/NSNotificationCenter.h"
#include "push/Storage/PUSHCacheFileCodec.h"
#include "push/Utilities/PUSHAES.h"
#include "push/Utilities/PUSHJSONSerializer.h"

namespace {

using storage_tests::HomeTest;

// An object that asks to stay in memory (cache type 1) or not.
struct TypedObject : NSObject, PUSHCacheTypeProtocol {
    explicit TypedObject(std::uint64_t t) : type(t) { }
    std::uint64_t cacheType() const override { return type; }
    void setCacheType(std::uint64_t t) override { type = t; }
    std::uint64_t type;
};

class FileCache : public HomeTest { };

TEST_F(FileCache, SharedInstancesAreMadeOncePerTypeAndTheirEntriesSurviveARestart)
{
    EXPECT_EQ(PUSHFileCacheController::shareInstanceWithType(0), nullptr);
    startCaches();
    EXPECT_EQ(PUSHFileCacheController::startShareInstance("Other", 0, true), plain());
    EXPECT_FALSE(PUSHFileCacheController::startShareInstance("X", 2, false) || PUSHFileCacheController::shareInstanceWithType(2));
    EXPECT_EQ(plain()->fileNameForKey("PUSHJSON"), plainPath());
    const std::vector<std::tuple<int, const char*, Value>> entries = { { 0, "text", Value("plain text") },
        { 0, "big", Value(std::uint64_t(18446744073709551615ull)) },
        { 0, "nested", Value::dictionary({ { "list", Value::array({ Value(1), Value("two") }) } }) },
        { 1, "WPDeviceId", Value("secret-device-id") }, { 1, "bytes", Value(Bytes { 0, 1, 2, 255 }) } };
    for (const auto& [type, key, value] : entries)
        PUSHFileCacheController::shareInstanceWithType(type)->setObject(value, key);
    EXPECT_TRUE(containsText(fileBytes(plainPath()), "plain text"));
    // The document file is enciphered: the text is not in it, and it deciphers with the file key.
    const Bytes sealed = fileBytes(documentPath());
    EXPECT_FALSE(containsText(sealed, "secret-device-id"));
    EXPECT_TRUE(PUSHAES::AES256DecryptData(sealed, push::storage::kFileCacheKey).has_value());

    restartCaches();
    for (const auto& [type, key, value] : entries)
        EXPECT_EQ(PUSHFileCacheController::shareInstanceWithType(type)->objectForKey(key), value) << key;
    EXPECT_EQ(std::tuple(plain()->objectForKey("big").unsignedValue(), plain()->cacheCount()), std::tuple(18446744073709551615ull, 3u));
}

TEST_F(FileCache, MemoryOnlyEntriesNeverReachTheFileAndNothingRemovesBothKinds)
{
    startCaches();
    auto memoryOnly = std::make_shared<TypedObject>(1);
    plain()->setObject(Value(memoryOnly), "volatile");
    plain()->setObject(Value("kept"), "volatile"); // the same key as a persisted entry too
    EXPECT_EQ(std::tuple(plain()->objectForKey("volatile"), plain()->cacheCount()), std::tuple(Value("kept"), 1u));

    plain()->setObject(Value(), "volatile");
    EXPECT_FALSE(plain()->hasObjectForKey("volatile"));

    plain()->setObject(Value(memoryOnly), "only-here");
    EXPECT_EQ(std::tuple(plain()->hasObjectForKey("only-here"), plain()->cacheCount()), std::tuple(true, 0u));
    restartCaches();
    EXPECT_FALSE(plain()->hasObjectForKey("only-here") || plain()->hasObjectForKey("volatile"));

    // An object of type 0 is persisted, and then needs to be archivable: this one is not.
    plain()->setObject(Value(std::make_shared<TypedObject>(0)), "not-archivable");
    EXPECT_FALSE(plain()->synchronize());
    plain()->removeAllObjects();
    EXPECT_TRUE(plain()->synchronize());
}

TEST_F(FileCache, DamagedFilesReadAsEmptyAndAreReplacedByTheNextWrite)
{
    startCaches();
    plain()->setObject(Value("v"), "k");
    document()->setObject(Value("v"), "k");
    const Bytes good = fileBytes(plainPath());
    const Bytes sealed = fileBytes(documentPath());

    const std::vector<std::pair<Bytes, Bytes>> damaged = {
        { Bytes(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(good.size() / 2)),
            Bytes(sealed.begin(), sealed.begin() + 17) },
        { Bytes { 'g', 'a', 'r', 'b', 'a', 'g', 'e' }, Bytes(48, 0x5a) },
        { Bytes(), Bytes() },
        { sealed, good }, // each in the other's format
    };
    for (const auto& [plainBytes, documentBytes] : damaged) {
        persistence::writeToFile(plainBytes, plainPath(), true);
        persistence::writeToFile(documentBytes, documentPath(), true);
        restartCaches();
        EXPECT_EQ(plain()->cacheCount() + document()->cacheCount(), 0u);
    }
    // A file far larger than any cache is not read at all.
    std::filesystem::resize_file(plainPath(), push::storage::kMaxCacheFileBytes + 1);
    restartCaches();
    EXPECT_EQ(plain()->cacheCount(), 0u);

    plain()->setObject(Value("again"), "k");
    restartCaches();
    EXPECT_EQ(plain()->objectForKey("k"), Value("again"));
}

TEST_F(FileCache, OlderLayoutsAreConvertedOnceAndTheCurrentOneAlwaysRead)
{
    // A JSON file of the older layout: dictionary values are serialized objects.
    const Bytes json = *NSJSONSerialization::dataWithJSONObject(
        Value::dictionary({ { "__PUSHSessionID", PUSHJSONSerializer::getJSONDataFromObject(Value(77)) },
            { "name", PUSHJSONSerializer::getJSONDataFromObject(Value("x")) }, { "skipped", Value(5) } }));
    std::filesystem::create_directories(home.pathFor("Library/Caches/Push"));
    persistence::writeToFile(json, plainPath(), true);
    // And the old plain archive "PUSH" of a first start after an upgrade.
    Bytes oldArchive = *NSKeyedArchiver::archivedDataWithRootObject(Value::dictionary({ { "old", Value("entry") } }));
    const std::string oldPath = home.pathFor("Library/Caches/Push/PUSH");
    persistence::writeToFile(oldArchive, oldPath, true);

    startCaches();
    EXPECT_EQ(std::tuple(plain()->objectForKey("old"), std::filesystem::exists(oldPath)), std::tuple(Value("entry"), false));
    restartCaches();
    EXPECT_EQ(plain()->objectForKey("old"), Value("entry"));

    // The JSON conversion runs when the old archive is gone and the version key is unset.
    NSUserDefaults::standardUserDefaults()->setBool(true, kPUSHServerIsNotFirstStartKey);
    NSUserDefaults::standardUserDefaults()->removeObjectForKey(kPUSHCacheVersionKey);
    persistence::writeToFile(json, plainPath(), true);
    restartCaches();
    EXPECT_FALSE(plain()->hasObjectForKey("skipped"));
    EXPECT_EQ(plain()->objectForKey("name"), Value("x"));
    // The converted entries were written in the current layout straight away.
    EXPECT_FALSE(containsText(fileBytes(plainPath()), "{\""));
    restartCaches();
    EXPECT_EQ(plain()->objectForKey("__PUSHSessionID").integerValue(), 77);

    // Reset defaults lose the conversion marks; the files in the current layout must survive.
    document()->setObject(Value("device"), "WPDeviceId");
    auto defaults = NSUserDefaults::standardUserDefaults();
    defaults->removeObjectForKey(kPUSHCacheVersionKey);
    defaults->removeObjectForKey(kPUSHDocumentVersionKey);
    defaults->synchronize();
    restartCaches();
    EXPECT_EQ(plain()->objectForKey("name"), Value("x"));
    EXPECT_EQ(std::tuple(document()->objectForKey("WPDeviceId"), defaults->integerForKey(kPUSHCacheVersionKey)), std::tuple(Value("device"), 1));
}

// A started cache that counts the application-state notifications it hears.
struct ListeningCache : PUSHFileCacheController {
    void start() { initCacheWithType(PUSHFileCacheTypeCache); }
    void handleApplicationStateNotification(const std::shared_ptr<NSNotification>&) override { ++heard; }
    int heard = 0;
};

TEST_F(FileCache, ApplicationStateObservingIsOnOnceStartedAndFollowsTheSwitch)
{
    auto cache = std::make_shared<ListeningCache>();
    // How many calls a post of every application-state notification, and one other, makes.
    const auto heardOfAll = [&cache] {
        const int before = cache->heard;
        for (const char* name : { "WillTerminate", "WillResignActive", "DidBecomeActive", "DidEnterBackground",
                 "WillEnterForeground", "DidReceiveMemoryWarning", "DidFinishLaunching" })
            NSNotificationCenter::defaultCenter()->postNotificationName(std::string("UIApplication") + name + "Notification");
        return cache->heard - before;
    };
    EXPECT_EQ(heardOfAll(), 0);
    cache->start();
    EXPECT_EQ(heardOfAll(), 6);
    cache->setAutoSynchronizeEnable(true); // still once each
    EXPECT_EQ(heardOfAll(), 6);
    cache->setAutoSynchronizeEnable(false);
    EXPECT_EQ(heardOfAll(), 0);
    cache->setAutoSynchronizeEnable(true);
    EXPECT_EQ(heardOfAll(), 6);
}

} // namespace
