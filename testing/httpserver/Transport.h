// Transport: blocking byte I/O on one accepted socket, plain or TLS. The socket itself is
// owned by the server, which may shut it down from another thread to end a blocked call.
#pragma once

#include <chrono>
#include <cstddef>
#include <memory>
#include <string_view>

typedef struct ssl_st SSL;
typedef struct ssl_ctx_st SSL_CTX;

namespace httpserver {

class Transport {
public:
    // `tlsContext` null: plain TCP.
    Transport(int fd, SSL_CTX* tlsContext);
    ~Transport();
    Transport(const Transport&) = delete;
    Transport& operator=(const Transport&) = delete;

    bool isTls() const { return ssl_ != nullptr; }
    // TLS handshake; true at once for plain TCP.
    bool handshake();
    // >0 bytes read, 0 end of stream, <0 error.
    long read(char* buffer, std::size_t size);
    bool write(std::string_view bytes);

    // Orderly close: TLS close_notify (unless `abrupt`), FIN, then reads until the peer closes
    // or `linger` passes, so that unread request bytes do not turn the FIN into a reset.
    void finish(bool abrupt, std::chrono::milliseconds linger);
    // The close that follows will send RST.
    void armReset();

private:
    int fd_;
    std::unique_ptr<SSL, void (*)(SSL*)> ssl_;
};

} // namespace httpserver
