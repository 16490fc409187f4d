// Digests, compression, Base64, JSON and socket addresses of the push library.
#include <arpa/inet.h>
#include <zlib.h>

#include <cstring>

#include "platform/foundation/Base64.h"
#include "platform/persistence/NSJSONSerialization.h"
#include "platform/security/CommonDigest.h"
#include "push/Utilities/PUSHLog.h"
#include "push/Utilities/PUSHUtilities.h"

namespace {

std::string hexDigest(const unsigned char* bytes, std::size_t length)
{
    unsigned char digest[CC_MD5_DIGEST_LENGTH] = {};
    CC_MD5(bytes, static_cast<CC_LONG>(length), digest);
    std::string text;
    for (int i = 0; i < CC_MD5_DIGEST_LENGTH; ++i)
        text += NSString::stringWithFormat("%02x", digest[i]);
    return text;
}

} // namespace

std::string PUSHMD5HexString(const std::optional<std::string>& text)
{
    std::string bytes = text.value_or("");
    std::size_t length = std::strlen(bytes.c_str()); // up to the first zero byte
    return hexDigest(reinterpret_cast<const unsigned char*>(bytes.data()), length);
}

std::string PUSHMD5HexData(const Bytes& data)
{
    return hexDigest(data.data(), data.size());
}

Value PUSHJSONObject(const std::optional<Bytes>& data)
{
    if (!data || data->empty())
        return Value();
    NSErrorRef error;
    Value object = NSJSONSerialization::JSONObjectWithData(*data, 0, &error);
    if (error || object.isAbsent()) {
        PUSHLogError("trans data to obj with error:%ld", error ? error->code() : 0);
        return Value();
    }
    return object;
}

std::optional<Bytes> PUSHJSONData(const Value& object)
{
    if (!NSJSONSerialization::isValidJSONObject(object)) {
        PUSHLogError("serialization unknown type");
        return std::nullopt;
    }
    return NSJSONSerialization::dataWithJSONObject(object);
}

std::optional<Bytes> PUSHGzipData(const Bytes& data)
{
    if (data.empty())
        return data;
    z_stream stream {};
    stream.next_in = const_cast<Bytef*>(data.data());
    stream.avail_in = static_cast<uInt>(data.size());
    if (deflateInit2(&stream, Z_DEFAULT_COMPRESSION, Z_DEFLATED, 31, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        return std::nullopt;
    constexpr std::size_t kChunk = 16384;
    Bytes output(kChunk);
    int status = Z_OK;
    do {
        if (stream.total_out >= output.size())
            output.resize(output.size() + kChunk);
        stream.next_out = output.data() + stream.total_out;
        stream.avail_out = static_cast<uInt>(output.size() - stream.total_out);
        status = deflate(&stream, Z_FINISH);
    } while (stream.avail_out == 0 && status != Z_STREAM_END);
    output.resize(stream.total_out);
    deflateEnd(&stream);
    if (status != Z_STREAM_END)
        return std::nullopt;
    return output;
}

std::string PUSHBase64String(const Bytes& data)
{
    return foundation::base64Encode(data);
}

std::optional<Bytes> PUSHSocketAddressData(const std::string& host, std::uint16_t port)
{
    if (host.empty())
        return std::nullopt;
    std::string dotted = (host == "localhost" || host == "loopback") ? "127.0.0.1" : host;
    in_addr_t address = ::inet_addr(dotted.c_str());
    if (address == INADDR_NONE)
        return std::nullopt;
    Bytes bytes(16, 0);
    bytes[0] = 16;
    bytes[1] = 2;
    bytes[2] = static_cast<std::uint8_t>(port >> 8);
    bytes[3] = static_cast<std::uint8_t>(port & 0xFF);
    std::memcpy(bytes.data() + 4, &address, 4); // already in network order
    return bytes;
}
