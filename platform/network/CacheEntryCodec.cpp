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

// Appends text to a byte buffer reserved ahead, so that an entry is one allocation.
class Writer {
public:
    explicit Writer(std::size_t capacity) { bytes_.reserve(capacity); }
    void line(std::string_view text)
    {
        bytes_.insert(bytes_.end(), text.begin(), text.end());
        bytes_.push_back('\n');
    }
    void number(std::uint64_t value)
    {
        char digits[24];
        auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
        line(std::string_view(digits, static_cast<std::size_t>(end - digits)));
    }
    void raw(const Bytes& data) { bytes_.insert(bytes_.end(), data.begin(), data.end()); }
    Bytes take() { return std::move(bytes_); }

private:
    Bytes bytes_;
};

bool storable(const HeaderFields::Field& field) { return !hasNewline(field.first) && !hasNewline(field.second); }

} // namespace

namespace {

struct EntryHead {
    const std::vector<HeaderFields::Field>& fields;
    const std::string& version;
    std::int64_t status;
};

EntryHead entryHead(const NSCachedURLResponse& entry)
{
    static const std::vector<HeaderFields::Field> kNoFields;
    static const std::string kDefaultVersion = "HTTP/1.1";
    auto* http = dynamic_cast<const NSHTTPURLResponse*>(entry.response().get());
    if (!http)
        return { kNoFields, kDefaultVersion, 200 };
    return { http->headerFields().fields(), http->HTTPVersion(), http->statusCode() };
}

std::size_t digitCount(std::uint64_t value)
{
    std::size_t count = 1;
    for (; value >= 10; value /= 10)
        ++count;
    return count;
}

std::uint64_t storedAtMillis(const NSCachedURLResponse& entry) { return static_cast<std::uint64_t>(entry.storedAt() * 1000); }

} // namespace

std::size_t encodedCacheEntrySize(const std::string& url, const NSCachedURLResponse& entry)
{
    EntryHead head = entryHead(entry);
    std::size_t count = 0;
    std::size_t size = kMagic.size() + url.size() + 1 + digitCount(static_cast<std::uint64_t>(head.status)) + 1
        + head.version.size() + 1 + digitCount(storedAtMillis(entry)) + 1;
    for (const auto& field : head.fields)
        if (storable(field))
            ++count, size += field.first.size() + field.second.size() + 2;
    return size + digitCount(count) + 1 + digitCount(entry.data().size()) + 1 + entry.data().size();
}

Bytes encodeCacheEntry(const std::string& url, const NSCachedURLResponse& entry)
{
    EntryHead head = entryHead(entry);
    std::size_t count = 0;
    for (const auto& field : head.fields)
        count += storable(field) ? 1 : 0;
    Writer out(encodedCacheEntrySize(url, entry));
    out.line(kMagic.substr(0, kMagic.size() - 1));
    out.line(url);
    out.number(static_cast<std::uint64_t>(head.status));
    out.line(head.version);
    out.number(storedAtMillis(entry));
    out.number(count);
    for (const auto& field : head.fields) {
        if (!storable(field))
            continue;
        out.line(field.first);
        out.line(field.second);
    }
    out.number(entry.data().size());
    out.raw(entry.data());
    return out.take();
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
