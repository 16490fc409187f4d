// Basic and Digest challenges and credential checks.
#include "testing/httpserver/Auth.h"

#include <cstdio>
#include <memory>
#include <mutex>
#include <set>

#include <openssl/evp.h>
#include <openssl/rand.h>

namespace httpserver {

namespace {

int base64Value(char c)
{
    if (c >= 'A' && c <= 'Z')
        return c - 'A';
    if (c >= 'a' && c <= 'z')
        return c - 'a' + 26;
    if (c >= '0' && c <= '9')
        return c - '0' + 52;
    if (c == '+')
        return 62;
    if (c == '/')
        return 63;
    return -1;
}

std::optional<std::string> base64Decode(std::string_view in)
{
    while (!in.empty() && in.back() == '=')
        in.remove_suffix(1);
    std::string out;
    unsigned bits = 0;
    int count = 0;
    for (char c : in) {
        int v = base64Value(c);
        if (v < 0)
            return std::nullopt;
        bits = (bits << 6) | static_cast<unsigned>(v);
        count += 6;
        if (count >= 8) {
            count -= 8;
            out.push_back(static_cast<char>((bits >> count) & 0xff));
        }
    }
    if (count >= 6)
        return std::nullopt;
    return out;
}

std::string randomHex(std::size_t bytes)
{
    std::string raw(bytes, '\0');
    RAND_bytes(reinterpret_cast<unsigned char*>(raw.data()), static_cast<int>(bytes));
    std::string out;
    char hex[3];
    for (unsigned char c : raw) {
        std::snprintf(hex, sizeof hex, "%02x", c);
        out += hex;
    }
    return out;
}

bool isTokenChar(char c)
{
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'))
        return true;
    return std::string_view("!#$%&'*+-.^_`|~").find(c) != std::string_view::npos;
}

char lower(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

void skipSpace(std::string_view s, std::size_t& i)
{
    while (i < s.size() && (s[i] == ' ' || s[i] == '\t'))
        ++i;
}

std::string token(std::string_view s, std::size_t& i)
{
    std::size_t start = i;
    while (i < s.size() && isTokenChar(s[i]))
        ++i;
    return std::string(s.substr(start, i - start));
}

bool quoted(std::string_view s, std::size_t& i, std::string& out)
{
    ++i; // opening quote
    while (i < s.size()) {
        char c = s[i++];
        if (c == '"')
            return true;
        if (c == '\\') {
            if (i >= s.size())
                return false;
            c = s[i++];
        }
        out.push_back(c);
    }
    return false;
}

Reply digestChallenge(const std::string& realm, const std::string& nonce, const std::string& opaque)
{
    return Reply::text("authentication required\n", 401)
        .header("WWW-Authenticate",
            "Digest realm=\"" + realm + "\", qop=\"auth\", algorithm=MD5, nonce=\"" + nonce + "\", opaque=\"" + opaque
                + "\"");
}

struct DigestState {
    std::mutex mutex;
    std::set<std::string> nonces;
    std::string opaque = randomHex(8);
};

bool digestMatches(const Request& request, const std::string& user, const std::string& password,
    const std::string& realm, DigestState& state)
{
    auto auth = parseAuthParams(request.headers.value("Authorization"));
    if (!auth || !equalsIgnoringCase(auth->scheme, "Digest"))
        return false;
    auto& p = auth->params;
    auto get = [&](const char* key) { return p.count(key) ? p[key] : std::string(); };
    if (get("username") != user || get("realm") != realm || get("uri") != request.target
        || get("opaque") != state.opaque)
        return false;
    std::string algorithm = get("algorithm");
    if (!algorithm.empty() && algorithm != "MD5")
        return false;
    std::string qop = get("qop");
    if (!qop.empty() && qop != "auth")
        return false;
    {
        std::lock_guard lock(state.mutex);
        if (!state.nonces.count(get("nonce")))
            return false;
    }
    std::string expected = digestResponse(
        user, realm, password, request.method, get("uri"), get("nonce"), get("nc"), get("cnonce"), qop);
    return expected == get("response");
}

} // namespace

std::optional<std::pair<std::string, std::string>> parseBasicCredentials(std::string_view authorization)
{
    std::size_t i = 0;
    skipSpace(authorization, i);
    std::string scheme = token(authorization, i);
    if (!equalsIgnoringCase(scheme, "Basic"))
        return std::nullopt;
    skipSpace(authorization, i);
    std::string_view rest = authorization.substr(i);
    while (!rest.empty() && (rest.back() == ' ' || rest.back() == '\t'))
        rest.remove_suffix(1);
    auto decoded = base64Decode(rest);
    if (!decoded)
        return std::nullopt;
    std::size_t colon = decoded->find(':');
    if (colon == std::string::npos)
        return std::nullopt;
    return std::make_pair(decoded->substr(0, colon), decoded->substr(colon + 1));
}

std::optional<AuthParams> parseAuthParams(std::string_view value)
{
    AuthParams result;
    std::size_t i = 0;
    skipSpace(value, i);
    result.scheme = token(value, i);
    if (result.scheme.empty())
        return std::nullopt;
    while (true) {
        skipSpace(value, i);
        while (i < value.size() && value[i] == ',') {
            ++i;
            skipSpace(value, i);
        }
        if (i >= value.size())
            return result;
        std::string name = token(value, i);
        if (name.empty())
            return std::nullopt;
        for (char& c : name)
            c = lower(c);
        skipSpace(value, i);
        if (i >= value.size() || value[i] != '=')
            return std::nullopt;
        ++i;
        skipSpace(value, i);
        std::string v;
        if (i < value.size() && value[i] == '"') {
            if (!quoted(value, i, v))
                return std::nullopt;
        } else {
            v = token(value, i);
        }
        result.params[name] = v;
        skipSpace(value, i);
        if (i < value.size() && value[i] != ',')
            return std::nullopt;
    }
}

std::string md5Hex(std::string_view bytes)
{
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    EVP_Digest(bytes.data(), bytes.size(), digest, &length, EVP_md5(), nullptr);
    std::string out;
    char hex[3];
    for (unsigned int i = 0; i < length; ++i) {
        std::snprintf(hex, sizeof hex, "%02x", digest[i]);
        out += hex;
    }
    return out;
}

std::string digestResponse(std::string_view user, std::string_view realm, std::string_view password,
    std::string_view method, std::string_view uri, std::string_view nonce, std::string_view nc, std::string_view cnonce,
    std::string_view qop)
{
    std::string ha1 = md5Hex(std::string(user) + ":" + std::string(realm) + ":" + std::string(password));
    std::string ha2 = md5Hex(std::string(method) + ":" + std::string(uri));
    if (qop.empty())
        return md5Hex(ha1 + ":" + std::string(nonce) + ":" + ha2);
    return md5Hex(ha1 + ":" + std::string(nonce) + ":" + std::string(nc) + ":" + std::string(cnonce) + ":"
        + std::string(qop) + ":" + ha2);
}

Handler basicAuth(std::string user, std::string password, Handler inner, std::string realm)
{
    return [=](const Request& request) {
        auto credentials = parseBasicCredentials(request.headers.value("Authorization"));
        if (credentials && credentials->first == user && credentials->second == password)
            return inner(request);
        return Reply::text("authentication required\n", 401)
            .header("WWW-Authenticate", "Basic realm=\"" + realm + "\"");
    };
}

Handler digestAuth(std::string user, std::string password, Handler inner, std::string realm)
{
    auto state = std::make_shared<DigestState>();
    return [=](const Request& request) {
        if (digestMatches(request, user, password, realm, *state))
            return inner(request);
        std::string nonce = randomHex(16);
        {
            std::lock_guard lock(state->mutex);
            state->nonces.insert(nonce);
        }
        return digestChallenge(realm, nonce, state->opaque);
    };
}

} // namespace httpserver
