// Readers for what the push client's tests receive on their loopback servers: the gunzipped
// text of a compressed body. Header only; it needs nothing from the push libraries.
#pragma once

#include <zlib.h>

#include <string>

namespace push_test_support {

// The inflated text of gzip `bytes`; empty when they are not a complete gzip stream.
inline std::string gunzip(const std::string& bytes)
{
    z_stream stream {};
    if (inflateInit2(&stream, 31) != Z_OK)
        return {};
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data()));
    stream.avail_in = static_cast<uInt>(bytes.size());
    std::string out;
    char buffer[16384];
    int status = Z_OK;
    while (status == Z_OK) {
        stream.next_out = reinterpret_cast<Bytef*>(buffer);
        stream.avail_out = sizeof buffer;
        status = inflate(&stream, Z_NO_FLUSH);
        out.append(buffer, sizeof buffer - stream.avail_out);
    }
    inflateEnd(&stream);
    return status == Z_STREAM_END ? out : std::string();
}

} // namespace push_test_support
