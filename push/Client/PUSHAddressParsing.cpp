// Address text and dictionaries.
#include "push/Client/PUSHAddressParsing.h"

#include <arpa/inet.h>

namespace push_client {

namespace {

// The port text as a number; none for anything but 1-5 decimal digits.
std::optional<std::uint32_t> portNumber(const std::string& text)
{
    if (text.empty() || text.size() > 5)
        return std::nullopt;
    std::uint32_t port = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        port = port * 10 + static_cast<std::uint32_t>(c - '0');
    }
    return port;
}

std::optional<PUSHAddress> make(const std::string& host, std::uint32_t port)
{
    if (host.empty())
        return std::nullopt;
    if (port == 0)
        port = 80;
    if (!addressVerify(host, port))
        return std::nullopt;
    return PUSHAddress { host, static_cast<std::uint16_t>(port), {} };
}

} // namespace

bool addressVerify(const std::string& host, std::uint32_t port)
{
    if (port == 0 || port > 65535)
        return false;
    // inet_pton takes exactly four decimal parts of 0-255 each: no letters, signs or empty parts.
    in_addr parsed {};
    return inet_pton(AF_INET, host.c_str(), &parsed) == 1;
}

std::optional<PUSHAddress> addressWithString(const std::string& text)
{
    const std::size_t colon = text.find(':');
    const std::string host = text.substr(0, colon);
    if (colon == std::string::npos)
        return make(host, 0);
    const std::string rest = text.substr(colon + 1);
    if (rest.find(':') != std::string::npos)
        return std::nullopt;
    auto port = portNumber(rest);
    if (!port)
        return std::nullopt;
    return make(host, *port);
}

std::optional<PUSHAddress> addressWithString(const std::string& text, const std::string& resource)
{
    auto address = addressWithString(text);
    if (!address)
        return std::nullopt;
    address->httpWrapAddress
        = "http://" + address->host + ":" + std::to_string(address->port) + analyseResourcePath(resource).value_or("");
    return address;
}

std::optional<PUSHAddress> addressWithDictionary(const Value& dictionary)
{
    const Value& host = dictionary[kPUSHAddressHostKey];
    if (!host.isString())
        return std::nullopt;
    const Value& port = dictionary[kPUSHAddressPortKey];
    const std::int64_t number = port.isNil() ? 0 : port.integerValue();
    if (number < 0 || number > 65535)
        return std::nullopt;
    return make(host.asString(), static_cast<std::uint32_t>(number));
}

std::optional<std::string> analyseResourcePath(const std::string& text)
{
    if (text.empty())
        return std::nullopt;
    std::size_t from = 0;
    const std::size_t scheme = text.find("//");
    if (scheme != std::string::npos)
        from = scheme + 2;
    const std::size_t slash = text.find('/', from);
    if (slash == std::string::npos)
        return std::nullopt;
    return text.substr(slash);
}

std::string absoluteString(const PUSHAddress& address)
{
    return address.host + ":" + std::to_string(address.port);
}

Value infoDictionary(const PUSHAddress& address)
{
    return Value::dictionary(
        { { kPUSHAddressHostKey, Value(address.host) }, { kPUSHAddressPortKey, Value(address.port) } });
}

bool isEqual(const PUSHAddress& a, const PUSHAddress& b)
{
    return a.port == b.port && a.host == b.host;
}

} // namespace push_client
