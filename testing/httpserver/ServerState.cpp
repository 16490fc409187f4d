// Shared server state: TLS context, connection threads, stop and records.
#include "testing/httpserver/ServerState.h"

#include <pthread.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <stdexcept>

#include <openssl/err.h>
#include <openssl/ssl.h>

#include "testing/httpserver/Transport.h"

namespace httpserver {

namespace {

SSL_CTX* makeTlsContext(const std::optional<Identity>& identity)
{
    if (!identity)
        return nullptr;
    SSL_CTX* ctx = SSL_CTX_new(TLS_server_method());
    if (!ctx)
        throw std::runtime_error("SSL_CTX_new failed");
    SSL_CTX_set_min_proto_version(ctx, TLS1_2_VERSION);
    bool ok = SSL_CTX_use_certificate(ctx, identity->certificate.x509()) == 1;
    for (const auto& c : identity->chain)
        ok = ok && SSL_CTX_add1_chain_cert(ctx, c.x509()) == 1;
    ok = ok && SSL_CTX_use_PrivateKey(ctx, identity->key.pkey()) == 1;
    ok = ok && SSL_CTX_check_private_key(ctx) == 1;
    ERR_clear_error();
    if (!ok) {
        SSL_CTX_free(ctx);
        throw std::runtime_error("the TLS identity does not load");
    }
    return ctx;
}

void freeTlsContext(SSL_CTX* ctx)
{
    if (ctx)
        SSL_CTX_free(ctx);
}

// A write to a socket the peer closed must fail with EPIPE, not kill the test process.
void blockSigpipe()
{
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

} // namespace

ServerState::ServerState(ServerOptions options)
    : options_(std::move(options))
    , tls_(makeTlsContext(options_.tls), freeTlsContext)
{
}

ServerState::~ServerState()
{
    requestStop();
    joinAll();
}

void ServerState::requestStop()
{
    std::lock_guard lock(mutex);
    stopping_ = true;
    for (auto& [id, slot] : slots_) {
        if (slot.fd >= 0)
            ::shutdown(slot.fd, SHUT_RDWR);
    }
    changed.notify_all();
}

bool ServerState::stopping() const
{
    std::lock_guard lock(mutex);
    return stopping_;
}

bool ServerState::sleepFor(std::chrono::milliseconds duration) const
{
    std::unique_lock lock(mutex);
    return !changed.wait_for(lock, duration, [this] { return stopping_; });
}

bool ServerState::waitGate(const Gate& gate) const
{
    while (!gate.waitFor(std::chrono::milliseconds(10))) {
        if (stopping())
            return false;
    }
    return !stopping();
}

bool ServerState::start(int fd)
{
    std::lock_guard lock(mutex);
    if (stopping_) {
        ::close(fd);
        return false;
    }
    std::uint64_t id = ++accepted;
    ++open;
    Slot& slot = slots_[id];
    slot.fd = fd;
    slot.thread = std::thread(&ServerState::run, this, id, fd);
    changed.notify_all();
    return true;
}

void ServerState::run(std::uint64_t id, int fd)
{
    blockSigpipe();
    {
        Transport transport(fd, tls_.get());
        if (transport.handshake())
            serveConnection(*this, transport, id);
        else
            countHandshakeFailure();
    }
    finish(id);
}

void ServerState::finish(std::uint64_t id)
{
    std::lock_guard lock(mutex);
    auto it = slots_.find(id);
    if (it == slots_.end())
        return;
    Slot& slot = it->second;
    ::close(slot.fd);
    slot.fd = -1;
    slot.finished = true;
    --open;
    changed.notify_all();
}

void ServerState::joinFinished()
{
    std::vector<std::thread> done;
    {
        std::lock_guard lock(mutex);
        for (auto it = slots_.begin(); it != slots_.end();) {
            if (!it->second.finished) {
                ++it;
                continue;
            }
            done.push_back(std::move(it->second.thread));
            it = slots_.erase(it);
        }
    }
    for (auto& t : done)
        t.join();
}

void ServerState::joinAll()
{
    std::vector<std::thread> all;
    {
        std::lock_guard lock(mutex);
        for (auto& [id, slot] : slots_) {
            if (slot.thread.joinable())
                all.push_back(std::move(slot.thread));
        }
    }
    for (auto& t : all)
        t.join();
    std::lock_guard lock(mutex);
    slots_.clear();
}

void ServerState::record(Request& request)
{
    std::lock_guard lock(mutex);
    request.index = nextIndex++;
    ++recorded;
    if (options_.keepRequests)
        requests.push_back(request);
    changed.notify_all();
}

void ServerState::countHandshakeFailure()
{
    std::lock_guard lock(mutex);
    ++handshakeFailures;
    changed.notify_all();
}

void ServerState::countBadRequest()
{
    std::lock_guard lock(mutex);
    ++badRequests;
    changed.notify_all();
}

} // namespace httpserver
