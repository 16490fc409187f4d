// What the server received: the last requests with their parameters and file parts, for tests
// and scripts to assert on, and the one-line form written to the log.
#pragma once

#include <nlohmann/json.hpp>

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace dataserver {

struct RecordedFile {
    std::string name;
    std::string filename;
    std::string contentType;
    std::size_t size = 0;
};

struct RecordedRequest {
    unsigned long long seq = 0; // 1, 2, ... in arrival order; never reused, also after clear()
    std::string method;
    std::string root; // "brelvoxin" or "solvane"
    std::string path; // below the root
    std::map<std::string, std::string> params;
    std::vector<RecordedFile> files;
};

class RequestLog {
public:
    explicit RequestLog(std::size_t capacity = 500);

    // Stores the request (the oldest goes when full) and returns its sequence number.
    unsigned long long add(RecordedRequest request);
    // The stored requests in arrival order; only those to `path` when it is not empty, and only
    // those after sequence number `since`.
    std::vector<RecordedRequest> snapshot(const std::string& path = {}, unsigned long long since = 0) const;
    void clear();
    // Waits until at least `count` stored requests went to `path`; false on time-out.
    bool waitFor(const std::string& path, std::size_t count, std::chrono::milliseconds timeout) const;

private:
    std::size_t countLocked(const std::string& path) const;

    const std::size_t capacity_;
    mutable std::mutex mutex_;
    mutable std::condition_variable added_;
    std::deque<RecordedRequest> requests_;
    unsigned long long next_ = 1;
};

// "POST /brelvoxin/data/listPhone.do page=0 pageSize=50 [imgpath: a.png image/png 12 bytes] -> normal"
std::string logLine(const RecordedRequest& request, const std::string& outcome);
nlohmann::json toJson(const RecordedRequest& request);

} // namespace dataserver
