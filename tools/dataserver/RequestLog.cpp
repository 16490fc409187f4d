// The bounded record of received requests and its log and JSON forms.
#include "tools/dataserver/RequestLog.h"

#include "tools/dataserver/Text.h"

namespace dataserver {

RequestLog::RequestLog(std::size_t capacity)
    : capacity_(capacity == 0 ? 1 : capacity)
{
}

unsigned long long RequestLog::add(RecordedRequest request)
{
    unsigned long long seq = 0;
    {
        std::lock_guard lock(mutex_);
        seq = next_++;
        request.seq = seq;
        requests_.push_back(std::move(request));
        while (requests_.size() > capacity_)
            requests_.pop_front();
    }
    added_.notify_all();
    return seq;
}

std::vector<RecordedRequest> RequestLog::snapshot(const std::string& path, unsigned long long since) const
{
    std::lock_guard lock(mutex_);
    std::vector<RecordedRequest> out;
    for (const auto& r : requests_)
        if (r.seq > since && (path.empty() || r.path == path))
            out.push_back(r);
    return out;
}

void RequestLog::clear()
{
    std::lock_guard lock(mutex_);
    requests_.clear();
}

std::size_t RequestLog::countLocked(const std::string& path) const
{
    std::size_t n = 0;
    for (const auto& r : requests_)
        if (path.empty() || r.path == path)
            ++n;
    return n;
}

bool RequestLog::waitFor(const std::string& path, std::size_t count, std::chrono::milliseconds timeout) const
{
    std::unique_lock lock(mutex_);
    return added_.wait_for(lock, timeout, [&] { return countLocked(path) >= count; });
}

std::string logLine(const RecordedRequest& r, const std::string& outcome)
{
    std::string where = r.root.empty() ? r.path : "/" + r.root + "/" + r.path;
    std::string line = r.method + " " + logEscape(where);
    for (const auto& [name, value] : r.params)
        line += " " + logEscape(name, 40) + "=" + logEscape(value, 80);
    for (const auto& f : r.files)
        line += " [" + logEscape(f.name, 40) + ": " + logEscape(f.filename, 80) + " " + logEscape(f.contentType, 40) + " "
            + std::to_string(f.size) + " bytes]";
    line += " -> " + outcome;
    return line;
}

nlohmann::json toJson(const RecordedRequest& r)
{
    nlohmann::json files = nlohmann::json::array();
    for (const auto& f : r.files)
        files.push_back({ { "name", f.name }, { "filename", f.filename }, { "contentType", f.contentType }, { "size", f.size } });
    return { { "seq", r.seq }, { "method", r.method }, { "root", r.root }, { "path", r.path }, { "params", r.params },
        { "files", std::move(files) } };
}

} // namespace dataserver
