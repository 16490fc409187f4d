// Building address requests and reading address replies.
#include "push/Network/PUSHAddressMessages.h"

#include <algorithm>
#include <cstring>

#include "push/Utilities/PUSHUtilities.h"

namespace push {

namespace {

// The longest prefix of `text` of at most `limit` bytes that ends on a character boundary.
std::size_t utf8Prefix(const std::string& text, std::size_t limit)
{
    if (text.size() <= limit)
        return text.size();
    std::size_t end = limit;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80)
        --end;
    return end;
}

void put(Bytes& bytes, std::size_t offset, const std::string& text, std::size_t limit)
{
    const std::size_t n = std::min(text.size(), limit);
    std::memcpy(bytes.data() + offset, text.data(), n);
}

std::optional<std::string> text(const Value& value)
{
    if (!value.isString())
        return std::nullopt;
    return value.asString();
}

} // namespace

Bytes addressRequestData(const std::string& appKey, const std::string& carrierName, std::uint8_t networkType,
    std::uint64_t uid, const std::string& sdkVersion)
{
    Bytes bytes(kAddressRequestLength, 0);
    bytes[0] = 0x80;
    bytes[1] = 0x00;
    bytes[2] = 'U';
    bytes[3] = 'F';
    bytes[5] = networkType;
    bytes[6] = static_cast<std::uint8_t>(uid & 0xFF);
    put(bytes, 11, carrierName, utf8Prefix(carrierName, 31));
    put(bytes, 92, sdkVersion, 36);
    put(bytes, 42, appKey, 86);
    return bytes;
}

AddressReply parseAddressReply(const Bytes& data)
{
    AddressReply reply;
    const Value object = PUSHJSONObject(data);
    if (!object.isDictionary() || object.count() == 0)
        return reply;
    reply.isObject = true;
    reply.user = text(object["user"]);

    const Value& ips = object["ips"];
    if (ips.isArray() && ips.count() >= 3) {
        auto first = text(ips[0]), second = text(ips[1]), third = text(ips[2]);
        if (first && second && third)
            reply.ips = std::array<std::string, 3> { *first, *second, *third };
    }
    const Value& udp = object["udp_report"];
    if (auto first = text(udp[0]); first && !first->empty())
        reply.udpReport = first;

    const Value& alternatives = object["op_conns"];
    if (alternatives.isArray()) {
        std::vector<std::string> texts;
        for (const Value& entry : alternatives.asArray())
            if (entry.isString())
                texts.push_back(entry.asString());
        reply.opConns = std::move(texts);
    }
    return reply;
}

std::optional<std::pair<std::string, std::uint16_t>> splitAddress(const std::string& text)
{
    const auto colon = text.rfind(':');
    if (colon == std::string::npos || colon == 0 || colon + 1 >= text.size() || text.size() - colon - 1 > 5)
        return std::nullopt;
    unsigned port = 0;
    for (std::size_t i = colon + 1; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9')
            return std::nullopt;
        port = port * 10 + static_cast<unsigned>(text[i] - '0');
    }
    if (port == 0 || port > 65535)
        return std::nullopt;
    return std::make_pair(text.substr(0, colon), static_cast<std::uint16_t>(port));
}

} // namespace push
