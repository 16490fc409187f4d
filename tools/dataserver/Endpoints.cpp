// The endpoint tables of the two roots and the dispatch.
#include "tools/dataserver/Endpoints.h"

#include <exception>

namespace dataserver {

const EndpointTable& dataEndpoints()
{
    static const EndpointTable table = [] {
        EndpointTable t;
        addHomeEndpoints(t);
        addLeadEndpoints(t);
        addQrEndpoints(t);
        return t;
    }();
    return table;
}

const EndpointTable& accountEndpoints()
{
    static const EndpointTable table = { { "client/login.do", &login } };
    return table;
}

Reply answer(World& world, const EndpointTable& table, const Incoming& request)
{
    auto it = table.find(request.path);
    if (it == table.end())
        return notFound();
    try {
        return it->second(world, request);
    } catch (const std::exception&) {
        Reply reply = refusal("服务器错误");
        reply.httpStatus = 500;
        return reply;
    }
}

} // namespace dataserver
