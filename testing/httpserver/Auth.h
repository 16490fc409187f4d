// HTTP authentication for test routes: 401 challenges with Basic or Digest (MD5, qop=auth) and
// the check of the credentials a client sends back.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "testing/httpserver/Routes.h"

namespace httpserver {

// Answers 401 with `WWW-Authenticate: Basic realm="<realm>"` unless the request carries
// exactly these credentials; then `inner` answers.
Handler basicAuth(std::string user, std::string password, Handler inner, std::string realm = "Quillmark Test");

// Answers 401 with a Digest challenge (algorithm=MD5, qop="auth", a fresh nonce, an opaque)
// unless the request's Digest response checks out against a nonce this handler issued.
Handler digestAuth(std::string user, std::string password, Handler inner, std::string realm = "Quillmark Test");

// Credentials of a "Basic" Authorization value; nullopt if it is not one or does not decode.
std::optional<std::pair<std::string, std::string>> parseBasicCredentials(std::string_view authorization);

// The scheme ("Digest") and parameters, names in lower case, quoted strings unescaped, of an
// Authorization or WWW-Authenticate value; nullopt when malformed.
struct AuthParams {
    std::string scheme;
    std::map<std::string, std::string> params;
};
std::optional<AuthParams> parseAuthParams(std::string_view value);

std::string md5Hex(std::string_view bytes);

// The Digest "response" value. With an empty qop, the old form MD5(HA1:nonce:HA2).
std::string digestResponse(std::string_view user, std::string_view realm, std::string_view password,
    std::string_view method, std::string_view uri, std::string_view nonce, std::string_view nc, std::string_view cnonce,
    std::string_view qop);

} // namespace httpserver
