// Small text helpers for request values.
#include "tools/dataserver/Text.h"

#include <charconv>
#include <cstdint>
#include <cstdio>

namespace dataserver {

std::optional<long long> parseInteger(std::string_view text)
{
    if (text.empty())
        return std::nullopt;
    long long value = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

namespace {

// Decodes one UTF-8 sequence at `i`; returns its code point and advances `i`, or nullopt.
std::optional<std::uint32_t> decodeOne(std::string_view s, std::size_t& i)
{
    auto byte = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
    unsigned char lead = byte(i);
    if (lead < 0x80) {
        ++i;
        return lead;
    }
    std::size_t extra = 0;
    std::uint32_t cp = 0;
    std::uint32_t min = 0;
    if ((lead & 0xE0) == 0xC0) {
        extra = 1, cp = lead & 0x1F, min = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        extra = 2, cp = lead & 0x0F, min = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        extra = 3, cp = lead & 0x07, min = 0x10000;
    } else {
        return std::nullopt;
    }
    if (s.size() - i <= extra)
        return std::nullopt;
    for (std::size_t k = 1; k <= extra; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80)
            return std::nullopt;
        cp = (cp << 6) | (byte(i + k) & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        return std::nullopt;
    i += extra + 1;
    return cp;
}

} // namespace

std::optional<std::size_t> utf16Length(std::string_view utf8)
{
    std::size_t units = 0;
    for (std::size_t i = 0; i < utf8.size();) {
        auto cp = decodeOne(utf8, i);
        if (!cp)
            return std::nullopt;
        units += *cp >= 0x10000 ? 2 : 1;
    }
    return units;
}

std::string htmlEscape(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        case '\'': out += "&#39;"; break;
        default: out += c;
        }
    }
    return out;
}

std::string logEscape(std::string_view text, std::size_t limit)
{
    std::string out;
    std::size_t i = 0;
    while (i < text.size() && i < limit) {
        std::size_t start = i;
        auto cp = decodeOne(text, i);
        if (cp && *cp >= 0x20 && *cp != 0x7F) {
            out.append(text.substr(start, i - start));
            continue;
        }
        char hex[8];
        std::snprintf(hex, sizeof hex, "\\x%02X", static_cast<unsigned char>(text[start]));
        out += hex;
        i = start + 1;
    }
    if (i < text.size())
        out += "...";
    return out;
}

std::string sniffImageType(std::string_view bytes)
{
    if (bytes.substr(0, 8) == std::string_view("\x89PNG\r\n\x1a\n", 8))
        return "image/png";
    if (bytes.substr(0, 3) == std::string_view("\xFF\xD8\xFF", 3))
        return "image/jpeg";
    return {};
}

std::optional<std::string> hostOfHeader(std::string_view header)
{
    std::string_view host = header;
    if (!host.empty() && host.front() == '[') {
        auto close = host.find(']');
        if (close == std::string_view::npos)
            return std::nullopt;
        host = host.substr(0, close + 1);
    } else if (auto colon = host.find(':'); colon != std::string_view::npos) {
        host = host.substr(0, colon);
    }
    if (host.empty() || host.size() > 255)
        return std::nullopt;
    for (char c : host) {
        bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' || c == '-'
            || c == ':' || c == '[' || c == ']';
        if (!plain)
            return std::nullopt;
    }
    return std::string(host);
}

} // namespace dataserver
