// Echo and redirect route sets.
#include "testing/httpserver/Handlers.h"

namespace httpserver {

Handler echo()
{
    return [](const Request& request) {
        Reply reply(200, request.head + request.body);
        reply.contentType("message/http");
        return reply;
    };
}

std::string addRedirectChain(Routes& routes, const std::string& base, int hops, const std::string& target, int status)
{
    for (int i = 1; i <= hops; ++i) {
        std::string next = i == hops ? target : base + "/" + std::to_string(i + 1);
        routes.exact(
            base + "/" + std::to_string(i), [status, next](const Request&) { return Reply::redirect(status, next); });
    }
    return hops > 0 ? base + "/1" : target;
}

void addRedirectLoop(Routes& routes, const std::string& a, const std::string& b, int status)
{
    routes.exact(a, [status, b](const Request&) { return Reply::redirect(status, b); });
    routes.exact(b, [status, a](const Request&) { return Reply::redirect(status, a); });
}

} // namespace httpserver
