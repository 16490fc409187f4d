// The image cache: memory and disk tiers, queries and their threads, store formats, read-only
// directories, removal, the clean pass by age and size under virtual time, and how the clean pass
// and the size counts treat hidden entries.
#include <atomic>
#include <dlfcn.h>
#include <fcntl.h>
#include <filesystem>
#include <future>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include "image/WIImageCache.h"
#include "image/tests/ImageTestSupport.h"
#include "platform/foundation/Clock.h"
#include "platform/persistence/NSFileManager.h"
#include "platform/threading/NSNotificationCenter.h"
#include "platform/threading/NSThread.h"
#include "platform/uikit/UIApplication.h"
#include "testing/VirtualTime.h"

// Every flush to disk this process asks for, counted on the way to the C library.
std::atomic<int> diskSyncs { 0 };
static int countedSync(const char* name, int fd)
{
    ++diskSyncs;
    return reinterpret_cast<int (*)(int)>(::dlsym(RTLD_NEXT, name))(fd);
}
extern "C" int fsync(int fd) { return countedSync("fsync", fd); }
extern "C" int fdatasync(int fd) { return countedSync("fdatasync", fd); }

namespace {
class WIImageCacheTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        testing_support::runUntil([] { return true; }, 0.01); // this thread is the main thread
        cache = WIImageCache::initWithNamespace("test", home.pathFor("Library/Caches"));
    }
    void drain() { dispatch_sync(cache->ioQueue(), [] {}); }
    Bytes fileFor(const std::string& key)
    {
        drain();
        return NSFileManager::defaultManager()->contentsAtPath(cache->defaultCachePathForKey(key)).value_or(Bytes {});
    }
    void setModified(const std::string& key, double date)
    {
        NSFileManager::defaultManager()->setAttributes(
            Value::dictionary({ { NSFileModificationDate, Value::date(date) } }), cache->defaultCachePathForKey(key));
    }
    bool cleaned()
    {
        return image_test::completes([&](auto done) { cache->cleanDisk(done); });
    }
    bool onDisk(const std::string& key) { return cache->diskImageExistsWithKey(key); }
    // Stores a small image under the key, to disk too unless asked not to, and waits for the write.
    void store(const std::string& key, bool toDisk = true)
    {
        cache->storeImage(image_test::makeImage(3, 3, true), key, toDisk);
        drain();
    }
    // A file of `size` bytes at the path under the disk directory (folders made as needed), last
    // modified at `modified`.
    std::string putFile(const std::string& relative, std::size_t size, double modified)
    {
        auto files = NSFileManager::defaultManager();
        std::string path = cache->diskCachePath() + "/" + relative;
        files->createDirectoryAtPath(std::filesystem::path(path).parent_path().string(), true);
        files->createFileAtPath(path, Bytes(size, 7));
        files->setAttributes(Value::dictionary({ { NSFileModificationDate, Value::date(modified) } }), path);
        return path;
    }
    std::uint64_t blocksOf(const std::string& path)
    {
        struct stat info {};
        ::stat(path.c_str(), &info);
        return std::uint64_t(info.st_blocks) * 512u;
    }
    testing_support::TempHome home;
    std::shared_ptr<WIImageCache> cache;
};
} // namespace

TEST_F(WIImageCacheTest, PathsAndFileNames)
{
    EXPECT_EQ(cache->diskCachePath(), home.pathFor("Library/Caches/com.vorlasken.WIImageCache.test"));
    EXPECT_EQ(WIImageCache::cachedFileNameForKey(""), "d41d8cd98f00b204e9800998ecf8427e");
    EXPECT_EQ(WIImageCache::cachedFileNameForKey("abc"), "900150983cd24fb0d6963f7d28e17f72");
}

TEST_F(WIImageCacheTest, QueryAnswersMemoryHitsAtOnceAndDiskOnTheMainQueue)
{
    struct Answer {
        UIImageRef image;
        WICacheSource source;
        bool onMain;
    };
    std::vector<Answer> answers;
    auto record = [&](UIImageRef image, WICacheSource from) { answers.push_back({ image, from, NSThread::isMainThread() }); };
    UIImageRef image = image_test::makeImage(4, 4, true);
    cache->storeImage(image, "hit", false);
    EXPECT_FALSE(cache->queryDiskCacheForKey("hit", record));
    ASSERT_EQ(answers.size(), 1u);
    EXPECT_EQ(answers[0].image, image);
    EXPECT_EQ(answers[0].source, WICacheSourceMemory);
    EXPECT_TRUE(cache->queryDiskCacheForKey("missing", record));
    EXPECT_EQ(answers.size(), 1u);
    ASSERT_TRUE(image_test::waitFor([&] { return answers.size() == 2; }));
    EXPECT_TRUE(answers[1].onMain);
    EXPECT_FALSE(answers[1].image);
    EXPECT_EQ(answers[1].source, WICacheSourceDisk);
}

TEST_F(WIImageCacheTest, CancelledQueryNeverAnswers)
{
    store("key");
    cache->clearMemory();
    // Hold the queue so that the cancel lands before the read.
    auto gate = std::make_shared<std::promise<void>>();
    auto held = gate->get_future().share();
    dispatch_async(cache->ioQueue(), [held] { held.wait(); });
    bool answered = false;
    auto handle = cache->queryDiskCacheForKey("key", [&](UIImageRef, WICacheSource) { answered = true; });
    ASSERT_TRUE(handle);
    handle->cancel();
    gate->set_value();
    drain();
    testing_support::settle(1);
    EXPECT_FALSE(answered);
    EXPECT_FALSE(cache->imageFromMemoryCacheForKey("key"));
}

TEST_F(WIImageCacheTest, StoreChoosesTheFileFormat)
{
    Bytes png = UIImagePNGRepresentation(image_test::makeImage(6, 6, false));
    cache->storeImage(image_test::makeImage(6, 6, false), false, png, "given", true);
    // Recalculated from an opaque image, given PNG bytes still mean PNG.
    cache->storeImage(image_test::makeImage(6, 6, false), true, png, "recalculated", true);
    cache->storeImage(image_test::makeImage(6, 6, false), "opaque", true);
    cache->storeImage(image_test::makeImage(6, 6, true), "alpha", true);
    EXPECT_EQ(fileFor("given"), png);
    EXPECT_EQ(fileFor("recalculated").at(0), 0x89);
    EXPECT_EQ(fileFor("opaque").at(0), 0xFF);
    EXPECT_EQ(fileFor("alpha").at(0), 0x89);
    store("memory", false);
    cache->storeImage(nullptr, "nothing", true);
    store("");
    EXPECT_FALSE(onDisk("memory"));
    EXPECT_FALSE(onDisk("nothing"));
    EXPECT_TRUE(cache->imageFromMemoryCacheForKey("memory"));
    EXPECT_FALSE(cache->imageFromMemoryCacheForKey("nothing"));
}

TEST_F(WIImageCacheTest, DiskImagesComeBackDecodedAndEnterMemory)
{
    cache->storeImage(image_test::makeImage(8, 4, false), "photo@2x.jpg", true);
    drain();
    cache->clearMemory();
    UIImageRef image = cache->imageFromDiskCacheForKey("photo@2x.jpg");
    ASSERT_TRUE(image);
    EXPECT_EQ(image->scale(), 2);
    EXPECT_EQ(image->size().width, 4);
    EXPECT_EQ(image->CGImage()->alphaInfo(), kCGImageAlphaPremultipliedFirst);
    EXPECT_EQ(cache->imageFromMemoryCacheForKey("photo@2x.jpg"), image);
    // An unreadable file is simply no image.
    NSFileManager::defaultManager()->createFileAtPath(cache->defaultCachePathForKey("junk"), Bytes { 1, 2, 3 });
    EXPECT_FALSE(cache->diskImageForKey("junk"));
}

TEST_F(WIImageCacheTest, ReadOnlyDirectoriesAreSearchedButNeverTouched)
{
    std::string readOnly = home.pathFor("Bundled");
    auto files = NSFileManager::defaultManager();
    files->createDirectoryAtPath(readOnly, true);
    std::string path = cache->cachePathForKey("shipped", readOnly);
    files->createFileAtPath(path, UIImagePNGRepresentation(image_test::makeImage(3, 3, true)));
    cache->addReadOnlyCachePath(readOnly);
    cache->addReadOnlyCachePath(readOnly);
    EXPECT_EQ(cache->customPaths().size(), 1u);
    EXPECT_TRUE(cache->diskImageForKey("shipped"));
    EXPECT_FALSE(onDisk("shipped"));
    ASSERT_TRUE(image_test::completes([&](auto done) { cache->removeImageForKey("shipped", true, done); }));
    EXPECT_TRUE(files->fileExistsAtPath(path));
}

TEST_F(WIImageCacheTest, ReplacedTiersPathsAndQueueServeTheCallsThatFollow)
{
    store("before");
    std::string first = cache->diskCachePath();
    auto memory = AutoPurgeCache::create();
    auto queue = dispatch_queue_create("replacement", DISPATCH_QUEUE_SERIAL);
    cache->setMemCache(memory);
    cache->setIoQueue(queue);
    cache->setMemCache(nullptr); // a null tier or queue is refused
    cache->setIoQueue(nullptr);
    cache->setDiskCachePath(home.pathFor("Moved"));
    store("after"); // drained through the new queue
    EXPECT_EQ(memory->count(), 1u);
    EXPECT_FALSE(cache->imageFromMemoryCacheForKey("before"));
    EXPECT_TRUE(std::filesystem::exists(home.pathFor("Moved/" + WIImageCache::cachedFileNameForKey("after"))));
    EXPECT_FALSE(onDisk("before"));
    cache->setCustomPaths({ first });
    EXPECT_TRUE(cache->diskImageForKey("before"));
    cache->setCustomPaths({});
    EXPECT_FALSE(cache->diskImageForKey("before"));
}

TEST_F(WIImageCacheTest, RemovalAndExistence)
{
    store("gone");
    std::optional<bool> exists;
    cache->diskImageExistsWithKey("gone", [&](bool found) { exists = found; });
    ASSERT_TRUE(image_test::waitFor([&] { return exists.has_value(); }));
    EXPECT_TRUE(*exists);
    bool memoryOnly = false;
    cache->removeImageForKey("gone", false, [&] { memoryOnly = true; });
    EXPECT_TRUE(memoryOnly); // at once, on this thread
    EXPECT_FALSE(cache->imageFromMemoryCacheForKey("gone"));
    EXPECT_TRUE(onDisk("gone"));
    bool nilKey = false;
    cache->removeImageForKey("", true, [&] { nilKey = true; });
    ASSERT_TRUE(image_test::completes([&](auto done) { cache->removeImageForKey("gone", true, done); }));
    EXPECT_FALSE(onDisk("gone"));
    EXPECT_FALSE(nilKey);
}

TEST_F(WIImageCacheTest, MemoryTierLimitsAndWarnings)
{
    cache->setMaxMemoryCountLimit(2);
    store("a", false);
    store("b", false);
    cache->imageFromMemoryCacheForKey("a");
    store("c", false);
    EXPECT_TRUE(cache->imageFromMemoryCacheForKey("a"));
    EXPECT_FALSE(cache->imageFromMemoryCacheForKey("b"));
    cache->setMaxMemoryCountLimit(0);
    cache->setMaxMemoryCost(20);
    cache->storeImage(image_test::makeImage(4, 4, true), "big", false); // cost 16
    EXPECT_LE(cache->memCache()->totalCost(), 20u);
    EXPECT_TRUE(cache->imageFromMemoryCacheForKey("big"));
    // One image over the whole limit is not kept, and pushes none of the others out.
    cache->storeImage(image_test::makeImage(5, 5, true), "huge", false); // cost 25
    EXPECT_FALSE(cache->imageFromMemoryCacheForKey("huge"));
    EXPECT_TRUE(cache->imageFromMemoryCacheForKey("big"));
    EXPECT_EQ(cache->memCache()->totalCost(), 16u);
    NSNotificationCenter::defaultCenter()->postNotificationName(UIApplicationDidReceiveMemoryWarningNotification);
    EXPECT_EQ(cache->memCache()->count(), 0u);
}

TEST_F(WIImageCacheTest, CleanPassDeletesExpiredFilesIncludingTheBoundary)
{
    testing_support::VirtualTime time;
    cache->setMaxCacheAge(100);
    const std::tuple<const char*, double, bool> cases[] = { { "expired", 500, false }, { "boundary", 100, false },
        { "fresh", 99, true } };
    for (auto [key, age, kept] : cases) {
        store(key);
        setModified(key, time.now() - age);
    }
    ASSERT_TRUE(cleaned());
    for (auto [key, age, kept] : cases)
        EXPECT_EQ(onDisk(key), kept) << key;
}

TEST_F(WIImageCacheTest, CleanPassTrimsOldestFirstToHalfTheBound)
{
    testing_support::VirtualTime time;
    std::uint64_t total = 0;
    int age = 40;
    for (const char* key : { "oldest", "older", "newer", "newest" }) {
        store(key);
        setModified(key, time.now() - age);
        age -= 10;
        total += blocksOf(cache->defaultCachePathForKey(key));
    }
    cache->setMaxCacheSize(total - 1);
    ASSERT_TRUE(cleaned());
    EXPECT_FALSE(onDisk("oldest"));
    EXPECT_FALSE(onDisk("older"));
    EXPECT_FALSE(onDisk("newer")); // three quarters left is not yet below half the bound
    EXPECT_TRUE(onDisk("newest"));
    EXPECT_EQ(cache->getDiskCount(), 1u);
    cache->setMaxCacheSize(0);
    ASSERT_TRUE(cleaned());
    EXPECT_TRUE(onDisk("newest"));
}

TEST_F(WIImageCacheTest, ClearDiskEmptiesTheDirectory)
{
    store("one");
    EXPECT_GT(cache->getSize(), 0u);
    ASSERT_TRUE(image_test::completes([&](auto done) { cache->clearDisk(done); }));
    EXPECT_EQ(cache->getSize(), 0u);
    EXPECT_TRUE(std::filesystem::is_directory(cache->diskCachePath()));
    std::optional<std::uint64_t> count;
    cache->calculateSize([&](std::uint64_t files, std::uint64_t) { count = files; });
    ASSERT_TRUE(image_test::waitFor([&] { return count.has_value(); }));
    EXPECT_EQ(*count, 0u);
}

TEST_F(WIImageCacheTest, StoresAreRenamedIntoPlaceWithoutFlushingToDisk)
{
    std::vector<Bytes> stored;
    diskSyncs = 0;
    for (int i = 0; i < 20; ++i) {
        stored.push_back(UIImagePNGRepresentation(image_test::makeImage(6, 6, true, i)));
        cache->storeImage(image_test::makeImage(6, 6, true, i), false, stored.back(), "key" + std::to_string(i), true);
    }
    drain();
    EXPECT_EQ(diskSyncs.load(), 0);
    for (int i = 0; i < 20; ++i)
        EXPECT_EQ(fileFor("key" + std::to_string(i)), stored[std::size_t(i)]);
    EXPECT_EQ(cache->getDiskCount(), 20u); // no temporary left beside them
}

TEST_F(WIImageCacheTest, StaleTemporariesGoWhenTheCacheOpens)
{
    testing_support::VirtualTime time;
    auto files = NSFileManager::defaultManager();
    std::string killed = putFile(".0123456789abcdef0123456789abcdef.a1B2c3", 5000, time.now() - 120);
    std::string writing = putFile(".fedcba9876543210fedcba9876543210.x9Y8z7", 5000, time.now() - 120);
    int writer = ::open(writing.c_str(), O_RDONLY | O_CLOEXEC); // a live writer holds its temporary locked
    ASSERT_GE(writer, 0);
    ASSERT_EQ(::flock(writer, LOCK_EX), 0);
    auto reopened = WIImageCache::initWithNamespace("test", home.pathFor("Library/Caches"));
    dispatch_sync(reopened->ioQueue(), [] {});
    EXPECT_FALSE(files->fileExistsAtPath(killed));
    EXPECT_TRUE(files->fileExistsAtPath(writing));
    ::close(writer);
}

TEST_F(WIImageCacheTest, TheCleanPassLeavesHiddenEntriesAlone)
{
    testing_support::VirtualTime time;
    auto files = NSFileManager::defaultManager();
    cache->setMaxCacheAge(30);
    store("entry");
    setModified("entry", time.now() - 5);
    std::string expired = putFile(".expired", 10, time.now() - 40);
    std::string inHiddenFolder = putFile(".folder/old", 10, time.now() - 40);
    std::string inFolder = putFile("folder/old", 10, time.now() - 40);
    // Older than the entry, so it would go first if it counted toward the bound.
    std::string big = putFile(".big", 64 * 1024, time.now() - 20);
    cache->setMaxCacheSize(blocksOf(cache->defaultCachePathForKey("entry")) + blocksOf(big) - 1);
    ASSERT_TRUE(cleaned());
    EXPECT_TRUE(files->fileExistsAtPath(expired));
    EXPECT_TRUE(files->fileExistsAtPath(inHiddenFolder));
    EXPECT_TRUE(files->fileExistsAtPath(big));
    EXPECT_FALSE(files->fileExistsAtPath(inFolder)) << "visible folders are still walked";
    EXPECT_TRUE(onDisk("entry"));
}

TEST_F(WIImageCacheTest, GetSizeCountsEveryEntryAndCalculateSizeSkipsHiddenOnes)
{
    auto files = NSFileManager::defaultManager();
    double now = foundation::clock::now();
    store("entry");
    std::uint64_t entry = fileFor("entry").size();
    putFile(".hidden", 100, now);
    putFile("folder/inner", 50, now);
    putFile(".folder/inside", 70, now);
    auto sizeOf = [&](const std::string& relative) {
        return files->attributesOfItemAtPath(cache->diskCachePath() + "/" + relative)[NSFileSize].unsignedValue();
    };
    std::uint64_t folders = sizeOf("folder") + sizeOf(".folder");
    ASSERT_GT(folders, 0u);
    EXPECT_EQ(cache->getSize(), entry + 100 + 50 + 70 + folders);
    EXPECT_EQ(cache->getDiskCount(), 6u);
    std::optional<std::pair<std::uint64_t, std::uint64_t>> calculated;
    cache->calculateSize([&](std::uint64_t count, std::uint64_t size) { calculated.emplace(count, size); });
    ASSERT_TRUE(image_test::waitFor([&] { return calculated.has_value(); }));
    EXPECT_EQ(calculated->first, 3u); // the entry, the visible folder and the file in it
    EXPECT_EQ(calculated->second, entry + 50); // a folder has no file size of its own
}

TEST_F(WIImageCacheTest, TheMemoryTierIsBoundedByDefault)
{
    // Costs are pixel counts: five 2048 × 2048 images are more than a fresh cache keeps.
    ASSERT_GT(cache->maxMemoryCost(), 0u);
    for (int i = 0; i < 5; ++i) {
        CGImageRef grey = CGImageCreate(2048, 2048, 8, 8, 2048, CGColorSpaceCreateDeviceGray(), kCGImageAlphaNone,
            Bytes(std::size_t(2048) * 2048, std::uint8_t(i)));
        cache->storeImage(UIImage::imageWithCGImage(grey), "big" + std::to_string(i), false);
    }
    EXPECT_LE(cache->memCache()->totalCost(), cache->maxMemoryCost());
    EXPECT_LT(cache->memCache()->count(), 5u);
    EXPECT_TRUE(cache->imageFromMemoryCacheForKey("big4")); // the newest stays
}
