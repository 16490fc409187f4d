// Raw loopback echo: what moving the messages and receipts costs without the push client.
#include "RawEcho.h"

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <thread>
#include <vector>

namespace push_bench {

namespace {

constexpr std::size_t kAnswerBytes = 24;

bool readExactly(int fd, std::uint8_t* data, std::size_t size)
{
    while (size > 0) {
        const ssize_t got = ::recv(fd, data, size, 0);
        if (got <= 0)
            return false;
        data += got;
        size -= static_cast<std::size_t>(got);
    }
    return true;
}

bool writeAll(int fd, const std::uint8_t* data, std::size_t size)
{
    while (size > 0) {
        const ssize_t sent = ::send(fd, data, size, MSG_NOSIGNAL);
        if (sent <= 0)
            return false;
        data += sent;
        size -= static_cast<std::size_t>(sent);
    }
    return true;
}

// Reads framed packets (u16 big-endian length first) and answers each one.
void answerEach(int fd, std::size_t count)
{
    std::vector<std::uint8_t> packet(65536);
    const std::vector<std::uint8_t> answer(kAnswerBytes, 0x24);
    for (std::size_t i = 0; i < count; ++i) {
        if (!readExactly(fd, packet.data(), 2))
            return;
        const std::size_t length = static_cast<std::size_t>(packet[0] << 8 | packet[1]);
        if (length < 2 || !readExactly(fd, packet.data() + 2, length - 2)
            || !writeAll(fd, answer.data(), answer.size()))
            return;
    }
}

} // namespace

bool rawEcho(std::size_t count, std::size_t packetBytes)
{
    const int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address { AF_INET, 0, { htonl(INADDR_LOOPBACK) }, {} };
    socklen_t length = sizeof address;
    ::bind(listener, reinterpret_cast<sockaddr*>(&address), length);
    ::listen(listener, 1);
    ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length);
    const int client = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    ::connect(client, reinterpret_cast<sockaddr*>(&address), length);
    const int server = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
    ::close(listener);
    const int on = 1;
    ::setsockopt(client, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    ::setsockopt(server, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);

    std::thread answering([client, count] { answerEach(client, count); });
    std::vector<std::uint8_t> packet(packetBytes, 0x33);
    packet[0] = static_cast<std::uint8_t>(packetBytes >> 8);
    packet[1] = static_cast<std::uint8_t>(packetBytes);
    std::atomic<bool> ok { true };
    std::thread writing([&] {
        for (std::size_t i = 0; i < count && ok; ++i)
            ok = writeAll(server, packet.data(), packet.size());
    });
    std::vector<std::uint8_t> answers(kAnswerBytes);
    for (std::size_t i = 0; i < count && ok; ++i)
        ok = readExactly(server, answers.data(), answers.size());
    writing.join();
    answering.join();
    ::close(client);
    ::close(server);
    return ok;
}

} // namespace push_bench
