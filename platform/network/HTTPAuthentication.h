// HTTP authentication: reading WWW-Authenticate challenges and writing the Authorization value
// that answers a Basic or Digest challenge.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace network {

struct AuthChallenge {
    std::string scheme; // as sent ("Basic", "Digest")
    std::map<std::string, std::string> params; // names in lower case, values unquoted
};

// Every challenge of a WWW-Authenticate value (several may share one value); malformed
// pieces are skipped. Never throws.
std::vector<AuthChallenge> parseAuthenticate(std::string_view value);

// The first Digest challenge, else the first Basic one; nullopt when neither is offered.
std::optional<AuthChallenge> preferredChallenge(const std::vector<AuthChallenge>& challenges);

// "Basic base64(user:password)".
std::string basicAuthorization(std::string_view user, std::string_view password);
// The Digest answer for `method` and `uri` (the request target), MD5, qop "auth" when offered;
// `cnonce` is chosen by the caller. nullopt when the challenge has no nonce or another algorithm.
std::optional<std::string> digestAuthorization(const AuthChallenge& challenge, std::string_view user,
    std::string_view password, std::string_view method, std::string_view uri, std::string_view cnonce,
    unsigned nonceCount);

std::string md5Hex(std::string_view bytes);

} // namespace network
