// The URL cache's background disk writer: one thread, a map of pending writes by path.
#include "platform/network/CacheDiskWriter.h"

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

#include "platform/network/NSURLCache.h"
#include "platform/threading/WorkerPool.h"

namespace network::cachedisk {
namespace {

namespace fs = std::filesystem;

// Writes through a temporary file and a rename, so readers never see half an entry.
void writeFileAtomically(const std::string& path, const Bytes& bytes)
{
    std::string temporary = path + ".tmp";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        if (!out)
            return; // the directory went away meanwhile: the entry is dropped
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        if (!out)
            return;
    }
    std::error_code ignored;
    fs::rename(temporary, path, ignored);
}

// Writes wait a moment after the first one is queued, so that a burst of stores (or the same
// response stored again and again) costs one wake-up and one file per entry, not one per store.
constexpr auto kGatherTime = std::chrono::milliseconds(10);

// An entry waiting for the disk: immutable, so it is encoded outside the lock.
struct Queued {
    std::string url;
    std::shared_ptr<const NSCachedURLResponse> entry;
    Bytes bytes() const { return encodeCacheEntry(url, *entry); }
};

struct Writer {
    std::mutex mutex;
    std::condition_variable work;
    std::condition_variable idle;
    std::map<std::string, Queued> queued;
    // The write in progress, outside the lock: still readable from here until it is on disk.
    std::optional<std::pair<std::string, Queued>> writing;
    bool asleep = false; // waiting for a first write; only then does a write need to wake it
    bool hurry = false; // someone waits for the queue to reach the disk

    void loop()
    {
        std::unique_lock lock(mutex);
        for (;;) {
            asleep = true;
            work.wait(lock, [&] { return !queued.empty(); });
            asleep = false;
            if (!hurry)
                work.wait_for(lock, kGatherTime, [&] { return hurry; });
            while (!queued.empty())
                writeOne(lock);
            hurry = false;
            idle.notify_all();
        }
    }
    void writeOne(std::unique_lock<std::mutex>& lock)
    {
        auto node = queued.extract(queued.begin());
        Queued entry = node.mapped();
        writing.emplace(node.key(), std::move(node.mapped()));
        lock.unlock();
        writeFileAtomically(node.key(), entry.bytes());
        lock.lock();
        writing.reset();
        idle.notify_all();
    }
    void waitUntilIdle(std::unique_lock<std::mutex>& lock)
    {
        if (!queued.empty()) {
            hurry = true;
            work.notify_one();
        }
        threading::BlockingScope blocking;
        idle.wait(lock, [&] { return queued.empty() && !writing; });
    }
};

Writer& writer()
{
    static Writer* instance = [] {
        auto* w = new Writer;
        std::thread([w] { w->loop(); }).detach();
        std::atexit(flush); // what was stored before exit is on disk after it
        return w;
    }();
    return *instance;
}

} // namespace

void write(std::string path, std::string url, std::shared_ptr<const NSCachedURLResponse> entry)
{
    Writer& w = writer();
    Queued queued { std::move(url), std::move(entry) };
    std::lock_guard lock(w.mutex);
    auto it = w.queued.try_emplace(std::move(path)).first;
    std::swap(it->second, queued); // what it replaces is let go after the lock
    if (w.asleep)
        w.work.notify_one();
}

std::optional<Bytes> pending(const std::string& path)
{
    Writer& w = writer();
    std::optional<Queued> entry;
    {
        std::lock_guard lock(w.mutex);
        if (auto it = w.queued.find(path); it != w.queued.end())
            entry = it->second;
        else if (w.writing && w.writing->first == path)
            entry = w.writing->second;
    }
    if (!entry)
        return std::nullopt;
    return entry->bytes();
}

void remove(const std::string& path)
{
    Writer& w = writer();
    {
        std::unique_lock lock(w.mutex);
        w.queued.erase(path);
        threading::BlockingScope blocking;
        w.idle.wait(lock, [&] { return !w.writing || w.writing->first != path; });
    }
    std::error_code ignored;
    fs::remove(path, ignored);
}

void flush()
{
    Writer& w = writer();
    std::unique_lock lock(w.mutex);
    w.waitUntilIdle(lock);
}

} // namespace network::cachedisk
