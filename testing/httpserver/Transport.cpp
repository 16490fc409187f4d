// Socket and TLS I/O for one connection.
#include "testing/httpserver/Transport.h"

#include <poll.h>
#include <sys/socket.h>

#include <cerrno>
#include <chrono>

#include <openssl/err.h>
#include <openssl/ssl.h>

namespace httpserver {

namespace {

SSL* newSsl(int fd, SSL_CTX* context)
{
    if (!context)
        return nullptr;
    SSL* ssl = SSL_new(context);
    if (ssl)
        SSL_set_fd(ssl, fd);
    return ssl;
}

void freeSsl(SSL* ssl)
{
    if (ssl)
        SSL_free(ssl);
}

} // namespace

Transport::Transport(int fd, SSL_CTX* tlsContext)
    : fd_(fd)
    , ssl_(newSsl(fd, tlsContext), freeSsl)
{
}

Transport::~Transport()
{
    ERR_clear_error();
}

bool Transport::handshake()
{
    if (!ssl_)
        return true;
    int rc = SSL_accept(ssl_.get());
    ERR_clear_error();
    return rc == 1;
}

long Transport::read(char* buffer, std::size_t size)
{
    if (ssl_) {
        std::size_t got = 0;
        int rc = SSL_read_ex(ssl_.get(), buffer, size, &got);
        if (rc == 1)
            return static_cast<long>(got);
        int error = SSL_get_error(ssl_.get(), rc);
        ERR_clear_error();
        return error == SSL_ERROR_ZERO_RETURN ? 0 : -1;
    }
    while (true) {
        ssize_t n = ::recv(fd_, buffer, size, 0);
        if (n < 0 && errno == EINTR)
            continue;
        return static_cast<long>(n);
    }
}

bool Transport::write(std::string_view bytes)
{
    while (!bytes.empty()) {
        if (ssl_) {
            std::size_t sent = 0;
            if (SSL_write_ex(ssl_.get(), bytes.data(), bytes.size(), &sent) != 1) {
                ERR_clear_error();
                return false;
            }
            bytes.remove_prefix(sent);
            continue;
        }
        ssize_t n = ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

void Transport::finish(bool abrupt, std::chrono::milliseconds linger)
{
    if (ssl_ && !abrupt) {
        SSL_shutdown(ssl_.get());
        ERR_clear_error();
    }
    ::shutdown(fd_, SHUT_WR);
    auto deadline = std::chrono::steady_clock::now() + linger;
    char scratch[4096];
    while (true) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            return;
        pollfd p { fd_, POLLIN, 0 };
        int rc = ::poll(&p, 1, static_cast<int>(left.count()));
        if (rc < 0 && errno == EINTR)
            continue;
        if (rc <= 0)
            return;
        ssize_t n = ::recv(fd_, scratch, sizeof scratch, 0);
        if (n <= 0)
            return;
    }
}

void Transport::armReset()
{
    linger l { 1, 0 };
    ::setsockopt(fd_, SOL_SOCKET, SO_LINGER, &l, sizeof l);
}

} // namespace httpserver
