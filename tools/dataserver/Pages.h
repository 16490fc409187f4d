// The HTML pages the server shows in the app's web screens.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace dataserver {

struct Agent;

// A complete UTF-8 page with a title and a body given as HTML, served at `pagePath` (relative
// to the server root), which places its picture and links.
std::string htmlDocument(std::string_view title, std::string_view bodyHtml, std::string_view pagePath);

// The agent certificate for the account typed by the user; a not-found page without an agent.
std::string agentCertificatePage(std::string_view typedAccount, const std::optional<Agent>& agent);

} // namespace dataserver
