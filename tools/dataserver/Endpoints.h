// The server's endpoints by path below each root, and the dispatch that answers a request.
#pragma once

#include "tools/dataserver/Reply.h"
#include "tools/dataserver/World.h"

#include <map>
#include <string>

namespace dataserver {

using Endpoint = Reply (*)(World&, const Incoming&);
using EndpointTable = std::map<std::string, Endpoint>;

// Everything below "/brelvoxin/".
const EndpointTable& dataEndpoints();
// Everything below "/solvane/": the device login only.
const EndpointTable& accountEndpoints();

// The endpoint's reply; 404 for a path the table lacks; HTTP 500 with a status-0 envelope when
// the endpoint fails inside (a database error).
Reply answer(World& world, const EndpointTable& table, const Incoming& request);

// Each group adds its endpoints to the data table.
void addHomeEndpoints(EndpointTable& table);
void addLeadEndpoints(EndpointTable& table);
void addQrEndpoints(EndpointTable& table);

// The account root's login.
Reply login(World& world, const Incoming& request);

} // namespace dataserver
