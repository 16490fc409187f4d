// Route lookup.
#include "testing/httpserver/Routes.h"

namespace httpserver {

namespace {

Reply notFound(const Request&)
{
    return Reply::text("not found\n", 404);
}

void put(std::vector<std::pair<std::string, Handler>>& list, std::string key, Handler handler)
{
    for (auto& entry : list) {
        if (entry.first == key) {
            entry.second = std::move(handler);
            return;
        }
    }
    list.emplace_back(std::move(key), std::move(handler));
}

} // namespace

Routes::Routes()
    : fallback_(notFound)
{
}

void Routes::exact(std::string path, Handler handler)
{
    std::lock_guard lock(mutex_);
    put(exact_, std::move(path), std::move(handler));
}

void Routes::prefix(std::string prefix, Handler handler)
{
    std::lock_guard lock(mutex_);
    put(prefixes_, std::move(prefix), std::move(handler));
}

void Routes::setDefault(Handler handler)
{
    std::lock_guard lock(mutex_);
    fallback_ = handler ? std::move(handler) : Handler(notFound);
}

void Routes::clear()
{
    std::lock_guard lock(mutex_);
    exact_.clear();
    prefixes_.clear();
    fallback_ = notFound;
}

Handler Routes::find(std::string_view path) const
{
    std::lock_guard lock(mutex_);
    for (const auto& [key, handler] : exact_) {
        if (key == path)
            return handler;
    }
    const Handler* best = nullptr;
    std::size_t bestLength = 0;
    for (const auto& [key, handler] : prefixes_) {
        if (path.starts_with(key) && (!best || key.size() > bestLength)) {
            best = &handler;
            bestLength = key.size();
        }
    }
    return best ? *best : fallback_;
}

} // namespace httpserver
