// Encoding and decoding of push file-cache bytes.
#include "push/Storage/PUSHCacheFileCodec.h"

#include "platform/persistence/NSJSONSerialization.h"
#include "platform/persistence/NSKeyedArchiver.h"
#include "push/Utilities/PUSHAES.h"
#include "push/Utilities/PUSHJSONSerializer.h"

namespace push::storage {

namespace {

// The plain bytes of a file: deciphered when the cache is enciphered; nothing when that fails.
std::optional<Bytes> plainBytes(const Bytes& bytes, bool enciphered)
{
    if (bytes.empty() || bytes.size() > kMaxCacheFileBytes)
        return std::nullopt;
    if (!enciphered)
        return bytes;
    return PUSHAES::AES256DecryptData(bytes, kFileCacheKey);
}

bool keptLegacyKind(const Value& value)
{
    return value.isString() || value.isData() || value.isDictionary() || value.isNumber() || value.isArray();
}

} // namespace

std::optional<Bytes> encodeCacheFile(const Value& entries, bool enciphered)
{
    registerArchivableClasses();
    auto archive = NSKeyedArchiver::archivedDataWithRootObject(entries.isDictionary() ? entries : Value::dictionary());
    if (!archive || !enciphered)
        return archive;
    return PUSHAES::AES256EncryptData(*archive, kFileCacheKey);
}

Value decodeCacheFile(const Bytes& bytes, bool enciphered)
{
    registerArchivableClasses();
    auto plain = plainBytes(bytes, enciphered);
    if (!plain || plain->empty())
        return {};
    Value root = NSKeyedUnarchiver::unarchiveObjectWithData(*plain);
    return root.isDictionary() ? root : Value();
}

Value decodeLegacyJSONFile(const Bytes& bytes, bool enciphered)
{
    auto plain = plainBytes(bytes, enciphered);
    if (!plain || plain->empty())
        return {};
    NSErrorRef error;
    const Value parsed = NSJSONSerialization::JSONObjectWithData(*plain, 0, &error);
    if (error || !parsed.isDictionary())
        return {};
    Value entries = Value::dictionary();
    for (const auto& [key, value] : parsed.asDictionary()) {
        if (!value.isDictionary())
            continue;
        Value object = PUSHJSONSerializer::getObjectFromJSON(value);
        if (keptLegacyKind(object))
            entries.set(key, std::move(object));
    }
    return entries;
}

} // namespace push::storage
