// WWW-Authenticate parsing and Basic/Digest answers.
#include "platform/network/HTTPAuthentication.h"

#include <cctype>
#include <cstdio>

#include <openssl/evp.h>

#include "platform/foundation/Base64.h"
#include "platform/network/HeaderFields.h"

namespace network {
namespace {

bool isTokenChar(char c)
{
    return std::isalnum(static_cast<unsigned char>(c)) || std::string_view("!#$%&'*+-.^_`|~").find(c) != std::string_view::npos;
}

class Scanner {
public:
    explicit Scanner(std::string_view text) : text_(text) { }
    bool atEnd() const { return pos_ >= text_.size(); }
    void skipSpace()
    {
        while (pos_ < text_.size() && (text_[pos_] == ' ' || text_[pos_] == '\t'))
            ++pos_;
    }
    bool consume(char c)
    {
        skipSpace();
        if (pos_ < text_.size() && text_[pos_] == c) {
            ++pos_;
            return true;
        }
        return false;
    }
    std::string token()
    {
        skipSpace();
        std::size_t start = pos_;
        while (pos_ < text_.size() && isTokenChar(text_[pos_]))
            ++pos_;
        return std::string(text_.substr(start, pos_ - start));
    }
    std::optional<std::string> quoted()
    {
        skipSpace();
        if (pos_ >= text_.size() || text_[pos_] != '"')
            return std::nullopt;
        ++pos_;
        std::string result;
        while (pos_ < text_.size() && text_[pos_] != '"') {
            if (text_[pos_] == '\\' && pos_ + 1 < text_.size())
                ++pos_;
            result += text_[pos_++];
        }
        if (pos_ >= text_.size())
            return std::nullopt; // unterminated
        ++pos_;
        return result;
    }
    // Skips to just past the next comma (or the end).
    void skipItem()
    {
        while (pos_ < text_.size() && text_[pos_] != ',')
            ++pos_;
        if (pos_ < text_.size())
            ++pos_;
    }
    std::size_t position() const { return pos_; }
    void reset(std::size_t pos) { pos_ = pos; }
    char peek()
    {
        skipSpace();
        return pos_ < text_.size() ? text_[pos_] : '\0';
    }

private:
    std::string_view text_;
    std::size_t pos_ = 0;
};

// One "name=value" pair; false (position unchanged) when the next item is not one.
bool readParam(Scanner& scanner, AuthChallenge& challenge)
{
    std::size_t start = scanner.position();
    std::string name = scanner.token();
    if (name.empty() || !scanner.consume('=')) {
        scanner.reset(start);
        return false;
    }
    std::optional<std::string> value = scanner.peek() == '"' ? scanner.quoted() : std::optional(scanner.token());
    if (!value) {
        scanner.reset(start);
        return false;
    }
    challenge.params[lowercased(name)] = *value;
    return true;
}

} // namespace

std::vector<AuthChallenge> parseAuthenticate(std::string_view value)
{
    std::vector<AuthChallenge> result;
    Scanner scanner(value);
    while (!scanner.atEnd()) {
        while (scanner.consume(','))
            ;
        if (scanner.atEnd())
            break;
        std::string scheme = scanner.token();
        if (scheme.empty()) {
            scanner.skipItem();
            continue;
        }
        AuthChallenge challenge { scheme, {} };
        for (;;) {
            if (!readParam(scanner, challenge)) {
                // A bare scheme or a token68 ("Negotiate abc=="): skip to the next item.
                if (scanner.peek() != ',' && scanner.peek() != '\0')
                    scanner.skipItem();
                break;
            }
            std::size_t afterParam = scanner.position();
            if (!scanner.consume(','))
                break;
            std::size_t next = scanner.position();
            std::string probe = scanner.token();
            bool isParam = !probe.empty() && scanner.consume('=');
            scanner.reset(isParam ? next : afterParam);
            if (!isParam) {
                scanner.consume(',');
                break;
            }
        }
        result.push_back(std::move(challenge));
    }
    return result;
}

std::optional<AuthChallenge> preferredChallenge(const std::vector<AuthChallenge>& challenges)
{
    for (const auto& challenge : challenges)
        if (equalsIgnoringCase(challenge.scheme, "Digest") && challenge.params.contains("nonce"))
            return challenge;
    for (const auto& challenge : challenges)
        if (equalsIgnoringCase(challenge.scheme, "Basic"))
            return challenge;
    return std::nullopt;
}

std::string md5Hex(std::string_view bytes)
{
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    EVP_Digest(bytes.data(), bytes.size(), digest, &length, EVP_md5(), nullptr);
    std::string hex;
    char pair[3];
    for (unsigned i = 0; i < length; ++i) {
        std::snprintf(pair, sizeof pair, "%02x", digest[i]);
        hex += pair;
    }
    return hex;
}

std::string basicAuthorization(std::string_view user, std::string_view password)
{
    std::string joined = std::string(user) + ":" + std::string(password);
    return "Basic " + foundation::base64Encode(Bytes(joined.begin(), joined.end()));
}

std::optional<std::string> digestAuthorization(const AuthChallenge& challenge, std::string_view user,
    std::string_view password, std::string_view method, std::string_view uri, std::string_view cnonce,
    unsigned nonceCount)
{
    auto param = [&](const char* name) {
        auto it = challenge.params.find(name);
        return it == challenge.params.end() ? std::string {} : it->second;
    };
    std::string nonce = param("nonce");
    std::string algorithm = param("algorithm");
    if (nonce.empty() || (!algorithm.empty() && !equalsIgnoringCase(algorithm, "MD5")))
        return std::nullopt;
    std::string realm = param("realm");
    bool auth = false;
    std::string qopList = param("qop");
    for (std::string_view qops = qopList; !qops.empty();) {
        auto comma = qops.find(',');
        if (equalsIgnoringCase(trimmed(qops.substr(0, comma)), "auth"))
            auth = true;
        qops = comma == std::string_view::npos ? std::string_view {} : qops.substr(comma + 1);
    }
    std::string ha1 = md5Hex(std::string(user) + ":" + realm + ":" + std::string(password));
    std::string ha2 = md5Hex(std::string(method) + ":" + std::string(uri));
    char nc[9];
    std::snprintf(nc, sizeof nc, "%08x", nonceCount);
    std::string response = auth ? md5Hex(ha1 + ":" + nonce + ":" + nc + ":" + std::string(cnonce) + ":auth:" + ha2)
                                : md5Hex(ha1 + ":" + nonce + ":" + ha2);
    std::string value = "Digest username=\"" + std::string(user) + "\", realm=\"" + realm + "\", nonce=\"" + nonce
        + "\", uri=\"" + std::string(uri) + "\", response=\"" + response + "\", algorithm=MD5";
    if (auth)
        value += ", qop=auth, nc=" + std::string(nc) + ", cnonce=\"" + std::string(cnonce) + "\"";
    if (std::string opaque = param("opaque"); !opaque.empty())
        value += ", opaque=\"" + opaque + "\"";
    return value;
}

} // namespace network
