// Ready-made handlers and route sets: echo, redirect chains and loops.
#pragma once

#include <string>

#include "testing/httpserver/Routes.h"

namespace httpserver {

// 200, "message/http": the request head as received (request line, header lines, blank line)
// followed by the decoded body. Tests compare bytes.
Handler echo();

// Registers base/1 -> base/2 -> ... -> base/<hops> -> target, each a `status` redirect with a
// relative Location, and returns the path to start at (base/1).
std::string addRedirectChain(
    Routes& routes, const std::string& base, int hops, const std::string& target, int status = 302);

// Registers a -> b -> a, each a `status` redirect.
void addRedirectLoop(Routes& routes, const std::string& a, const std::string& b, int status = 302);

} // namespace httpserver
