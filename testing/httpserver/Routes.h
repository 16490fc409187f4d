// Routes: which handler answers a path. Exact paths win over prefixes, longer prefixes over
// shorter ones, and the default handler takes the rest. Safe to change while serving.
#pragma once

#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "testing/httpserver/Reply.h"
#include "testing/httpserver/Request.h"

namespace httpserver {

// Called on the connection's thread, possibly on several at once.
using Handler = std::function<Reply(const Request&)>;

class Routes {
public:
    Routes();

    void exact(std::string path, Handler handler);
    void prefix(std::string prefix, Handler handler);
    void setDefault(Handler handler);
    void clear(); // also restores the default 404

    Handler find(std::string_view path) const;

private:
    mutable std::mutex mutex_;
    std::vector<std::pair<std::string, Handler>> exact_;
    std::vector<std::pair<std::string, Handler>> prefixes_;
    Handler fallback_;
};

} // namespace httpserver
