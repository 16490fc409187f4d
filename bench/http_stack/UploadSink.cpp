// UploadSink: one connection at a time, keep-alive, bodies discarded in 64 KB reads.
#include "UploadSink.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>
#include <strings.h>
#include <vector>

UploadSink::UploadSink()
{
    listener_ = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::listen(listener_, 16);
    socklen_t length = sizeof address;
    ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this] { serve(); });
}

UploadSink::~UploadSink()
{
    stopping_ = true;
    ::shutdown(listener_, SHUT_RDWR);
    ::close(listener_);
    thread_.join();
}

std::string UploadSink::url(const std::string& path) const
{
    return "http://127.0.0.1:" + std::to_string(port_) + path;
}

void UploadSink::serve()
{
    std::vector<char> buffer(1 << 16);
    while (!stopping_) {
        pollfd waiting { listener_, POLLIN, 0 };
        if (::poll(&waiting, 1, 100) <= 0)
            continue;
        int client = ::accept(listener_, nullptr, nullptr);
        if (client < 0)
            continue;
        std::string head;
        for (;;) {
            std::size_t end;
            while ((end = head.find("\r\n\r\n")) == std::string::npos) {
                ssize_t got = ::recv(client, buffer.data(), buffer.size(), 0);
                if (got <= 0)
                    goto done;
                head.append(buffer.data(), static_cast<std::size_t>(got));
            }
            std::uint64_t length = 0;
            std::size_t at = 0;
            while ((at = head.find('\n', at)) != std::string::npos && at < end) {
                ++at;
                if (::strncasecmp(head.c_str() + at, "Content-Length:", 15) == 0)
                    length = std::strtoull(head.c_str() + at + 15, nullptr, 10);
            }
            std::uint64_t have = head.size() - end - 4;
            head.erase(0, end + 4 + std::min<std::uint64_t>(have, length));
            std::uint64_t left = length - std::min<std::uint64_t>(have, length);
            while (left > 0) {
                ssize_t got = ::recv(client, buffer.data(), std::min<std::uint64_t>(left, buffer.size()), 0);
                if (got <= 0)
                    goto done;
                left -= static_cast<std::uint64_t>(got);
            }
            lastBody_ = length;
            std::string body = "{\"bytes\":" + std::to_string(length) + "}";
            std::string reply = "HTTP/1.1 200 OK\r\nContent-Type: application/json\r\nContent-Length: "
                + std::to_string(body.size()) + "\r\n\r\n" + body;
            ::send(client, reply.data(), reply.size(), MSG_NOSIGNAL);
        }
    done:
        ::close(client);
    }
}
