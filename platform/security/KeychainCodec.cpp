// Keychain attribute encoding (see KeychainCodec.h).
#include "platform/security/KeychainCodec.h"

#include <bit>
#include <cstring>

#include "platform/security/SecAccessControl.h"

namespace security {

namespace {

constexpr int maxDepth = 64;

enum Tag : std::uint8_t {
    TagAbsent = 'a',
    TagNull = 'n',
    TagTrue = 't',
    TagFalse = 'f',
    TagInteger = 'i',
    TagUnsigned = 'u',
    TagDouble = 'd',
    TagString = 's',
    TagData = 'b',
    TagDate = 'D',
    TagArray = 'A',
    TagDictionary = 'M',
    TagAccessControl = 'C',
};

void put64(Bytes& out, std::uint64_t v)
{
    for (int i = 0; i < 8; ++i)
        out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

void put32(Bytes& out, std::size_t v)
{
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

void putBytes(Bytes& out, const void* data, std::size_t size)
{
    put32(out, size);
    auto* p = static_cast<const std::uint8_t*>(data);
    out.insert(out.end(), p, p + size);
}

bool encode(const Value& value, Bytes& out, int depth)
{
    if (depth > maxDepth)
        return false;
    switch (value.type()) {
    case Value::Type::Absent:
        out.push_back(TagAbsent);
        return true;
    case Value::Type::Null:
        out.push_back(TagNull);
        return true;
    case Value::Type::Bool:
        out.push_back(value.boolValue() ? TagTrue : TagFalse);
        return true;
    case Value::Type::Integer:
        out.push_back(TagInteger);
        put64(out, static_cast<std::uint64_t>(value.integerValue()));
        return true;
    case Value::Type::Unsigned:
        out.push_back(TagUnsigned);
        put64(out, value.unsignedValue());
        return true;
    case Value::Type::Double:
    case Value::Type::Decimal: // kept as the nearest double
        out.push_back(TagDouble);
        put64(out, std::bit_cast<std::uint64_t>(value.doubleValue()));
        return true;
    case Value::Type::Date:
        out.push_back(TagDate);
        put64(out, std::bit_cast<std::uint64_t>(value.asDate()));
        return true;
    case Value::Type::String:
        out.push_back(TagString);
        putBytes(out, value.asString().data(), value.asString().size());
        return true;
    case Value::Type::Data:
        out.push_back(TagData);
        putBytes(out, value.asData().data(), value.asData().size());
        return true;
    case Value::Type::Array:
        out.push_back(TagArray);
        put32(out, value.asArray().size());
        for (const auto& item : value.asArray()) {
            if (!encode(item, out, depth + 1))
                return false;
        }
        return true;
    case Value::Type::Dictionary:
        out.push_back(TagDictionary);
        put32(out, value.asDictionary().size());
        for (const auto& [key, item] : value.asDictionary()) {
            putBytes(out, key.data(), key.size());
            if (!encode(item, out, depth + 1))
                return false;
        }
        return true;
    case Value::Type::Object: {
        auto control = value.asObject<SecAccessControl>();
        if (!control)
            return false;
        out.push_back(TagAccessControl);
        putBytes(out, control->protection().data(), control->protection().size());
        put64(out, control->flags());
        return true;
    }
    }
    return false;
}

class Reader {
public:
    Reader(const std::uint8_t* data, std::size_t size)
        : p_(data)
        , end_(data + size)
    {
    }
    bool atEnd() const { return p_ == end_; }
    std::optional<std::uint8_t> byte()
    {
        if (p_ == end_)
            return std::nullopt;
        return *p_++;
    }
    std::optional<std::uint64_t> u64()
    {
        if (end_ - p_ < 8)
            return std::nullopt;
        std::uint64_t v = 0;
        for (int i = 0; i < 8; ++i)
            v |= static_cast<std::uint64_t>(p_[i]) << (8 * i);
        p_ += 8;
        return v;
    }
    std::optional<std::uint32_t> u32()
    {
        if (end_ - p_ < 4)
            return std::nullopt;
        std::uint32_t v = 0;
        for (int i = 0; i < 4; ++i)
            v |= static_cast<std::uint32_t>(p_[i]) << (8 * i);
        p_ += 4;
        return v;
    }
    std::optional<std::string> string()
    {
        auto size = u32();
        if (!size || static_cast<std::size_t>(end_ - p_) < *size)
            return std::nullopt;
        std::string s(reinterpret_cast<const char*>(p_), *size);
        p_ += *size;
        return s;
    }
    // A count of elements can never exceed the bytes left (each takes at least one).
    std::optional<std::uint32_t> count()
    {
        auto n = u32();
        if (!n || *n > static_cast<std::size_t>(end_ - p_))
            return std::nullopt;
        return n;
    }

private:
    const std::uint8_t* p_;
    const std::uint8_t* end_;
};

std::optional<Value> decode(Reader& in, int depth)
{
    if (depth > maxDepth)
        return std::nullopt;
    auto tag = in.byte();
    if (!tag)
        return std::nullopt;
    switch (*tag) {
    case TagAbsent:
        return Value();
    case TagNull:
        return Value::null();
    case TagTrue:
        return Value(true);
    case TagFalse:
        return Value(false);
    case TagInteger:
        if (auto v = in.u64())
            return Value(static_cast<std::int64_t>(*v));
        return std::nullopt;
    case TagUnsigned:
        if (auto v = in.u64())
            return Value(*v);
        return std::nullopt;
    case TagDouble:
        if (auto v = in.u64())
            return Value(std::bit_cast<double>(*v));
        return std::nullopt;
    case TagDate:
        if (auto v = in.u64())
            return Value::date(std::bit_cast<double>(*v));
        return std::nullopt;
    case TagString:
        if (auto s = in.string())
            return Value(std::move(*s));
        return std::nullopt;
    case TagData:
        if (auto s = in.string())
            return Value(Bytes(s->begin(), s->end()));
        return std::nullopt;
    case TagArray: {
        auto n = in.count();
        if (!n)
            return std::nullopt;
        Value::Array items;
        for (std::uint32_t i = 0; i < *n; ++i) {
            auto item = decode(in, depth + 1);
            if (!item)
                return std::nullopt;
            items.push_back(std::move(*item));
        }
        return Value(std::move(items));
    }
    case TagDictionary: {
        auto n = in.count();
        if (!n)
            return std::nullopt;
        Value::Dictionary entries;
        for (std::uint32_t i = 0; i < *n; ++i) {
            auto key = in.string();
            if (!key)
                return std::nullopt;
            auto item = decode(in, depth + 1);
            if (!item)
                return std::nullopt;
            entries[std::move(*key)] = std::move(*item);
        }
        return Value(std::move(entries));
    }
    case TagAccessControl: {
        auto protection = in.string();
        auto flags = protection ? in.u64() : std::nullopt;
        if (!flags)
            return std::nullopt;
        return Value(std::make_shared<SecAccessControl>(std::move(*protection), *flags));
    }
    default:
        return std::nullopt;
    }
}

}

std::optional<Bytes> encodeKeychainValue(const Value& value)
{
    Bytes out;
    if (!encode(value, out, 0))
        return std::nullopt;
    return out;
}

std::optional<Value> decodeKeychainValue(const std::uint8_t* data, std::size_t size)
{
    Reader in(data, size);
    auto value = decode(in, 0);
    if (!value || !in.atEnd())
        return std::nullopt;
    return value;
}

std::optional<Value> decodeKeychainValue(const Bytes& bytes) { return decodeKeychainValue(bytes.data(), bytes.size()); }

}
