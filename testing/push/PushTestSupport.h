// Helpers for the push client's tests on loopback: the gunzipped text of a compressed body, and
// an address whose connects are neither accepted nor refused. Header only; it needs nothing
// from the push libraries.
#pragma once

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#include <zlib.h>

#include <cstdint>
#include <string>
#include <vector>

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

// A loopback listener whose accept queue (room for one) is already full: the kernel drops
// every further SYN, so a connect there stays under way until the connecting side gives up.
class UnansweringAddress {
public:
    UnansweringAddress()
    {
        listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address { AF_INET, 0, { htonl(INADDR_LOOPBACK) }, {} };
        socklen_t length = sizeof address;
        ::bind(listener_, reinterpret_cast<sockaddr*>(&address), length);
        ::listen(listener_, 0);
        ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
        port_ = ntohs(address.sin_port);
        for (int i = 0; i < 2; ++i) {
            const int filler = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
            ::connect(filler, reinterpret_cast<sockaddr*>(&address), length);
            fillers_.push_back(filler);
        }
    }
    ~UnansweringAddress()
    {
        for (int fd : fillers_)
            ::close(fd);
        ::close(listener_);
    }
    UnansweringAddress(const UnansweringAddress&) = delete;
    UnansweringAddress& operator=(const UnansweringAddress&) = delete;

    std::uint16_t port() const { return port_; }
    std::string address() const { return "127.0.0.1:" + std::to_string(port_); }

private:
    int listener_ = -1;
    std::uint16_t port_ = 0;
    std::vector<int> fillers_;
};

} // namespace push_test_support
