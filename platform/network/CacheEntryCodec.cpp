// The disk form of a cache entry:
//   "QMURLCACHE 1\n" url "\n" status "\n" version "\n" storedAt "\n" fieldCount "\n"
//   (name "\n" value "\n") * fieldCount, bodyLength "\n", body bytes.
#include <charconv>
#include <cstdio>
#include <string_view>

#include "platform/network/NSURLCache.h"

namespace network {
namespace {

constexpr std::string_view kMagic = "QMURLCACHE 1\n";
constexpr std::size_t kMaxLine = 64 * 1024;
constexpr std::uint64_t kMaxFields = 1000;
constexpr std::uint64_t kMaxBody = 1ull << 31;

class Reader {
public:
    explicit Reader(const Bytes& bytes) : text_(reinterpret_cast<const char*>(bytes.data()), bytes.size()) { }
    std::optional<std::string_view> line()
    {
        auto end = text_.find('\n', pos_);
        if (end == std::string_view::npos || end - pos_ > kMaxLine)
            return std::nullopt;
        auto result = text_.substr(pos_, end - pos_);
        pos_ = end + 1;
        return result;
    }
    std::optional<std::uint64_t> number()
    {
        auto text = line();
        std::uint64_t value = 0;
        if (!text || text->empty())
            return std::nullopt;
        auto [end, error] = std::from_chars(text->data(), text->data() + text->size(), value);
        if (error != std::errc() || end != text->data() + text->size())
            return std::nullopt;
        return value;
    }
    bool expect(std::string_view prefix)
    {
        if (text_.substr(pos_, prefix.size()) != prefix)
            return false;
        pos_ += prefix.size();
        return true;
    }
    std::string_view rest() const { return text_.substr(pos_); }

private:
    std::string_view text_;
    std::size_t pos_ = 0;
};

bool hasNewline(std::string_view text) { return text.find('\n') != std::string_view::npos; }

} // namespace

Bytes encodeCacheEntry(const std::string& url, const NSCachedURLResponse& entry)
{
    auto* http = dynamic_cast<const NSHTTPURLResponse*>(entry.response().get());
    std::string head(kMagic);
    head += url + "\n";
    head += std::to_string(http ? http->statusCode() : 200) + "\n";
    head += (http ? http->HTTPVersion() : std::string("HTTP/1.1")) + "\n";
    head += std::to_string(static_cast<std::uint64_t>(entry.storedAt() * 1000)) + "\n";
    std::vector<HeaderFields::Field> fields;
    if (http)
        for (const auto& field : http->headerFields().fields())
            if (!hasNewline(field.first) && !hasNewline(field.second))
                fields.push_back(field);
    head += std::to_string(fields.size()) + "\n";
    for (const auto& [name, value] : fields)
        head += name + "\n" + value + "\n";
    head += std::to_string(entry.data().size()) + "\n";
    Bytes bytes(head.begin(), head.end());
    bytes.insert(bytes.end(), entry.data().begin(), entry.data().end());
    return bytes;
}

std::shared_ptr<NSCachedURLResponse> decodeCacheEntry(const Bytes& bytes)
{
    Reader reader(bytes);
    if (!reader.expect(kMagic))
        return nullptr;
    auto url = reader.line();
    auto status = reader.number();
    auto version = reader.line();
    auto storedAt = reader.number();
    auto count = reader.number();
    if (!url || !status || !version || !storedAt || !count || *status > 999 || *count > kMaxFields)
        return nullptr;
    auto parsedURL = NSURL::URLWithString(*url);
    if (!parsedURL)
        return nullptr;
    HeaderFields fields;
    for (std::uint64_t i = 0; i < *count; ++i) {
        auto name = reader.line();
        auto value = reader.line();
        if (!name || !value || name->empty())
            return nullptr;
        fields.add(*name, *value);
    }
    auto length = reader.number();
    if (!length || *length > kMaxBody || reader.rest().size() != *length)
        return nullptr;
    auto body = reader.rest();
    auto response = std::make_shared<NSHTTPURLResponse>(
        parsedURL, static_cast<std::int64_t>(*status), std::string(*version), std::move(fields));
    return std::make_shared<NSCachedURLResponse>(response, Bytes(body.begin(), body.end()), Value {},
        NSURLCacheStorageAllowed, static_cast<double>(*storedAt) / 1000.0);
}

} // namespace network
