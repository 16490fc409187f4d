// RFC 3986 URI references: validation, splitting into parts, relative resolution and
// dot-segment removal.
#include "platform/foundation/NSURL.h"

#include <array>

namespace foundation {
namespace {

constexpr bool isAlpha(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

constexpr bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

constexpr bool isHex(char c)
{
    return isDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

constexpr bool isUnreserved(char c)
{
    return isAlpha(c) || isDigit(c) || c == '-' || c == '.' || c == '_' || c == '~';
}

constexpr bool isSubDelimiter(char c)
{
    return std::string_view("!$&'()*+,;=").find(c) != std::string_view::npos;
}

// The bytes that are unreserved or sub-delimiters, looked up at once for the common characters.
constexpr std::array<bool, 256> kPlainBytes = [] {
    std::array<bool, 256> table {};
    for (int c = 0; c < 256; ++c)
        table[c] = isUnreserved(static_cast<char>(c)) || isSubDelimiter(static_cast<char>(c));
    return table;
}();

// Every character is unreserved, a sub-delimiter, one of `extra`, or a whole "%XX".
bool onlyAllowed(std::string_view s, std::string_view extra)
{
    for (std::size_t i = 0; i < s.size(); ++i) {
        char c = s[i];
        if (kPlainBytes[static_cast<unsigned char>(c)])
            continue;
        if (c == '%') {
            if (i + 2 >= s.size() || !isHex(s[i + 1]) || !isHex(s[i + 2]))
                return false;
            i += 2;
            continue;
        }
        if (!isUnreserved(c) && !isSubDelimiter(c) && extra.find(c) == std::string_view::npos)
            return false;
    }
    return true;
}

bool validScheme(std::string_view s)
{
    if (s.empty() || !isAlpha(s[0]))
        return false;
    for (char c : s)
        if (!isAlpha(c) && !isDigit(c) && c != '+' && c != '-' && c != '.')
            return false;
    return true;
}

// dec-octet "." dec-octet "." dec-octet "." dec-octet, each 0-255 without leading zeros.
bool validIPv4(std::string_view s)
{
    for (int octet = 0; octet < 4; ++octet) {
        if (octet > 0) {
            if (s.empty() || s[0] != '.')
                return false;
            s.remove_prefix(1);
        }
        std::size_t n = 0;
        while (n < s.size() && n < 3 && isDigit(s[n]))
            ++n;
        if (n == 0 || (n > 1 && s[0] == '0') || std::stoi(std::string(s.substr(0, n))) > 255)
            return false;
        s.remove_prefix(n);
    }
    return s.empty();
}

// Colon-separated 16-bit groups of 1 to 4 hex digits, the last of which may be an IPv4 address
// (worth two groups). Counts the groups; nullopt when a piece is neither.
std::optional<int> countIPv6Groups(std::string_view s, bool ipv4TailAllowed)
{
    if (s.empty())
        return 0;
    int groups = 0;
    for (;;) {
        std::size_t colon = s.find(':');
        std::string_view piece = s.substr(0, colon);
        bool last = colon == std::string_view::npos;
        if (last && ipv4TailAllowed && piece.find('.') != std::string_view::npos)
            return validIPv4(piece) ? std::optional<int>(groups + 2) : std::nullopt;
        if (piece.empty() || piece.size() > 4)
            return std::nullopt;
        for (char c : piece)
            if (!isHex(c))
                return std::nullopt;
        ++groups;
        if (last)
            return groups;
        s.remove_prefix(colon + 1);
    }
}

// Eight groups, or fewer with one "::" standing for at least one zero group.
bool validIPv6(std::string_view s)
{
    std::size_t gap = s.find("::");
    if (gap == std::string_view::npos) {
        auto groups = countIPv6Groups(s, true);
        return groups == 8;
    }
    auto before = countIPv6Groups(s.substr(0, gap), false);
    auto after = countIPv6Groups(s.substr(gap + 2), true);
    return before && after && *before + *after <= 7;
}

// "v" 1*HEXDIG "." 1*( unreserved / sub-delims / ":" )
bool validIPvFuture(std::string_view s)
{
    std::size_t dot = s.find('.');
    if (dot == std::string_view::npos || dot < 2 || dot + 1 >= s.size())
        return false;
    for (std::size_t i = 1; i < dot; ++i)
        if (!isHex(s[i]))
            return false;
    for (char c : s.substr(dot + 1))
        if (!isUnreserved(c) && !isSubDelimiter(c) && c != ':')
            return false;
    return true;
}

bool validIPLiteral(std::string_view inside)
{
    if (!inside.empty() && (inside[0] == 'v' || inside[0] == 'V'))
        return validIPvFuture(inside);
    return validIPv6(inside);
}

bool validPort(std::string_view port)
{
    if (port.size() > 5)
        return false;
    long value = 0;
    for (char c : port) {
        if (!isDigit(c))
            return false;
        value = value * 10 + (c - '0');
    }
    return value <= 65535;
}

bool validAuthority(std::string_view authority)
{
    std::size_t at = authority.rfind('@');
    if (at != std::string_view::npos) {
        if (!onlyAllowed(authority.substr(0, at), ":"))
            return false;
        authority.remove_prefix(at + 1);
    }
    std::string_view host = authority, port;
    if (!authority.empty() && authority[0] == '[') {
        std::size_t close = authority.find(']');
        if (close == std::string_view::npos || !validIPLiteral(authority.substr(1, close - 1)))
            return false;
        host = authority.substr(0, close + 1);
        std::string_view after = authority.substr(close + 1);
        if (!after.empty() && after[0] != ':')
            return false;
        port = after.empty() ? after : after.substr(1);
    } else {
        std::size_t colon = authority.find(':');
        if (colon != std::string_view::npos) {
            host = authority.substr(0, colon);
            port = authority.substr(colon + 1);
        }
        if (!onlyAllowed(host, ""))
            return false;
    }
    return validPort(port);
}

} // namespace

std::optional<URLParts> parseURLReference(std::string_view text)
{
    URLParts parts;
    std::string_view rest = text;
    std::size_t hash = rest.find('#');
    if (hash != std::string_view::npos) {
        std::string_view fragment = rest.substr(hash + 1);
        if (!onlyAllowed(fragment, ":@/?"))
            return std::nullopt;
        parts.fragment = std::string(fragment);
        rest = rest.substr(0, hash);
    }
    std::size_t question = rest.find('?');
    if (question != std::string_view::npos) {
        std::string_view query = rest.substr(question + 1);
        if (!onlyAllowed(query, ":@/?"))
            return std::nullopt;
        parts.query = std::string(query);
        rest = rest.substr(0, question);
    }
    std::size_t colon = rest.find(':');
    if (colon != std::string_view::npos && colon < rest.find('/')) {
        std::string_view scheme = rest.substr(0, colon);
        // A first segment with ":" that is no scheme ("127.0.0.1:80") is read as a path.
        if (validScheme(scheme)) {
            parts.scheme = std::string(scheme);
            rest = rest.substr(colon + 1);
        }
    }
    if (rest.starts_with("//")) {
        rest.remove_prefix(2);
        std::size_t slash = rest.find('/');
        std::string_view authority = rest.substr(0, slash);
        if (!validAuthority(authority))
            return std::nullopt;
        parts.authority = std::string(authority);
        rest = slash == std::string_view::npos ? std::string_view() : rest.substr(slash);
    }
    if (!onlyAllowed(rest, ":@/"))
        return std::nullopt;
    parts.path = std::string(rest);
    return parts;
}

std::string removeDotSegments(std::string_view path)
{
    std::string input(path), output;
    auto dropLastSegment = [&output] {
        std::size_t last = output.rfind('/');
        output.resize(last == std::string::npos ? 0 : last);
    };
    while (!input.empty()) {
        if (input.starts_with("../")) {
            input.erase(0, 3);
        } else if (input.starts_with("./")) {
            input.erase(0, 2);
        } else if (input.starts_with("/./")) {
            input.erase(0, 2);
        } else if (input == "/.") {
            input = "/";
        } else if (input.starts_with("/../")) {
            input.erase(0, 3);
            dropLastSegment();
        } else if (input == "/..") {
            input = "/";
            dropLastSegment();
        } else if (input == "." || input == "..") {
            input.clear();
        } else {
            std::size_t next = input.find('/', input[0] == '/' ? 1 : 0);
            output.append(input, 0, next);
            input.erase(0, next);
        }
    }
    return output;
}

void keepPathUnambiguous(URLParts& parts)
{
    if (parts.authority)
        return;
    if (parts.path.starts_with("//")) {
        parts.path.insert(0, "/.");
        return;
    }
    std::size_t colon = parts.path.find(':');
    if (!parts.scheme && colon != std::string::npos && colon < parts.path.find('/'))
        parts.path.insert(0, "./");
}

namespace {

URLParts resolveParts(const URLParts& base, const URLParts& reference)
{
    URLParts target;
    target.fragment = reference.fragment;
    if (reference.scheme) {
        target.scheme = reference.scheme;
        target.authority = reference.authority;
        target.path = removeDotSegments(reference.path);
        target.query = reference.query;
        return target;
    }
    target.scheme = base.scheme;
    if (reference.authority) {
        target.authority = reference.authority;
        target.path = removeDotSegments(reference.path);
        target.query = reference.query;
        return target;
    }
    target.authority = base.authority;
    if (reference.path.empty()) {
        target.path = base.path;
        target.query = reference.query ? reference.query : base.query;
        return target;
    }
    target.query = reference.query;
    if (reference.path.starts_with("/")) {
        target.path = removeDotSegments(reference.path);
        return target;
    }
    // Merge (section 5.2.3).
    std::string merged;
    if (base.authority && base.path.empty()) {
        merged = "/" + reference.path;
    } else {
        std::size_t slash = base.path.rfind('/');
        merged = (slash == std::string::npos ? std::string() : base.path.substr(0, slash + 1)) + reference.path;
    }
    target.path = removeDotSegments(merged);
    return target;
}

} // namespace

URLParts resolveURLReference(const URLParts& base, const URLParts& reference)
{
    URLParts target = resolveParts(base, reference);
    keepPathUnambiguous(target);
    return target;
}

std::string URLParts::recompose() const
{
    std::string out;
    if (scheme)
        out += *scheme + ":";
    if (authority)
        out += "//" + *authority;
    out += path;
    if (query)
        out += "?" + *query;
    if (fragment)
        out += "#" + *fragment;
    return out;
}

} // namespace foundation
