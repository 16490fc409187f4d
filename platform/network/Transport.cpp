// The libcurl transport: worker pool, socket registry for prompt cancellation, idle watchdog,
// and the easy-handle setup and callbacks of one exchange (shared with the run-loop way).
#include "platform/network/Transport.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <functional>
#include <map>
#include <thread>

#include <netinet/in.h>
#include <openssl/ssl.h>
#include <openssl/x509_vfy.h>
#include <sys/socket.h>
#include <unistd.h>

#include "platform/foundation/NSURL.h"
#include "platform/network/TransportInternal.h"
#include "platform/network/URLError.h"
#include "platform/security/CryptoLifetime.h"

namespace network {
namespace transport {

std::int64_t steadyNow()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

} // namespace transport

namespace {

using Access = TransferAccess;
using transport::steadyNow;

// Sockets open now, and the transfer using each (none between transfers).
struct SocketRegistry {
    std::mutex mutex;
    std::map<int, Transfer*> owners;

    void shutdownFor(Transfer* transfer)
    {
        std::lock_guard lock(mutex);
        for (auto& [fd, owner] : owners)
            if (owner == transfer)
                ::shutdown(fd, SHUT_RDWR);
    }
    void release(Transfer* transfer)
    {
        std::lock_guard lock(mutex);
        for (auto& [fd, owner] : owners)
            if (owner == transfer)
                owner = nullptr;
    }
};

SocketRegistry& sockets()
{
    static auto* registry = new SocketRegistry;
    return *registry;
}

// Transfers in flight, watched for idle and total time-outs.
struct Watchdog {
    std::mutex mutex;
    std::condition_variable changed;
    std::set<std::shared_ptr<Transfer>> active;
    bool running = false;
    bool asleep = false;

    void add(const std::shared_ptr<Transfer>& transfer)
    {
        std::lock_guard lock(mutex);
        active.insert(transfer);
        if (!running) {
            running = true;
            std::thread([this] { loop(); }).detach();
        }
        if (asleep)
            changed.notify_all(); // only a watchdog idle for a while sleeps without a time-out
    }
    void remove(const std::shared_ptr<Transfer>& transfer)
    {
        std::lock_guard lock(mutex);
        active.erase(transfer);
    }
    std::size_t count()
    {
        std::lock_guard lock(mutex);
        return active.size();
    }
    void loop();
};

Watchdog& watchdog()
{
    static auto* instance = new Watchdog;
    return *instance;
}

struct Pool {
    std::mutex mutex;
    std::condition_variable work;
    std::deque<std::shared_ptr<Transfer>> queue;
    std::size_t threads = 0;
    std::size_t idle = 0;
    double idleTimeout = 10;

    void submit(std::shared_ptr<Transfer> transfer)
    {
        std::lock_guard lock(mutex);
        queue.push_back(std::move(transfer));
        if (idle >= queue.size()) {
            work.notify_one();
            return;
        }
        ++threads;
        std::thread([this] { worker(); }).detach();
    }
    void worker();
};

Pool& pool()
{
    static auto* instance = new Pool;
    return *instance;
}

} // namespace

namespace transport {

void globalInit()
{
    static std::once_flag once;
    std::call_once(once, [] {
        security::keepCryptoThroughExit();
        curl_global_init(CURL_GLOBAL_ALL);
    });
}

} // namespace transport

namespace {

void Pool::worker()
{
    transport::Handle handle;
    handle.easy = curl_easy_init();
    for (;;) {
        std::shared_ptr<Transfer> transfer;
        {
            std::unique_lock lock(mutex);
            ++idle;
            // The idle time is read again at each wake, so shortening it reaches waiting workers.
            const auto idleSince = std::chrono::steady_clock::now();
            auto idleEnd = [&] {
                return idleSince + std::chrono::duration_cast<std::chrono::steady_clock::duration>(std::chrono::duration<double>(idleTimeout));
            };
            while (queue.empty() && std::chrono::steady_clock::now() < idleEnd())
                work.wait_until(lock, idleEnd());
            bool got = !queue.empty();
            --idle;
            if (!got) {
                --threads;
                break;
            }
            transfer = std::move(queue.front());
            queue.pop_front();
        }
        Access::run(*transfer, handle);
    }
    curl_easy_cleanup(handle.easy);
}

void Watchdog::loop()
{
    std::unique_lock lock(mutex);
    int idleTicks = 0;
    for (;;) {
        // Between transfers it keeps ticking for a second, so a steady stream of requests never
        // has to wake it; after that it sleeps until the next transfer.
        idleTicks = active.empty() ? idleTicks + 1 : 0;
        if (idleTicks > 50) {
            asleep = true;
            changed.wait(lock, [&] { return !active.empty(); });
            asleep = false;
            idleTicks = 0;
        }
        changed.wait_for(lock, std::chrono::milliseconds(20));
        std::int64_t now = steadyNow();
        for (const auto& transfer : active) {
            auto& request = Access::request(*transfer);
            bool idleOut = !Access::waiting(*transfer)
                && now - Access::lastActivity(*transfer) > static_cast<std::int64_t>(request.idleTimeout * 1e9);
            bool totalOut = request.totalTimeout > 0
                && now - Access::startedAt(*transfer) > static_cast<std::int64_t>(request.totalTimeout * 1e9);
            if ((idleOut || totalOut) && !Access::timedOut(*transfer).exchange(true))
                sockets().shutdownFor(transfer.get());
        }
    }
}

// libcurl callbacks.

curl_socket_t openSocket(void* data, curlsocktype, struct curl_sockaddr* address)
{
    int fd = ::socket(address->family, address->socktype | SOCK_CLOEXEC, address->protocol);
    if (fd < 0)
        return CURL_SOCKET_BAD;
    auto& registry = sockets();
    std::lock_guard lock(registry.mutex);
    registry.owners[fd] = static_cast<Transfer*>(data);
    return fd;
}

int closeSocket(void*, curl_socket_t fd)
{
    auto& registry = sockets();
    std::lock_guard lock(registry.mutex);
    registry.owners.erase(fd);
    return ::close(fd);
}

// A reused connection's socket becomes this transfer's.
int beforeRequest(void* data, char*, char*, int, int)
{
    auto& transfer = Access::self(data);
    if (Access::cancelled(transfer) || Access::timedOut(transfer))
        return CURL_PREREQFUNC_ABORT;
    curl_socket_t fd = CURL_SOCKET_BAD;
    if (curl_easy_getinfo(static_cast<CURL*>(Access::easy(transfer)), CURLINFO_ACTIVESOCKET, &fd) == CURLE_OK
        && fd != CURL_SOCKET_BAD) {
        auto& registry = sockets();
        std::lock_guard lock(registry.mutex);
        if (auto it = registry.owners.find(fd); it != registry.owners.end())
            it->second = &transfer;
    }
    return CURL_PREREQFUNC_OK;
}

// The host a certificate must name (an IPv6 literal without its brackets). Worked out only for
// a handshake, not for every exchange.
std::string hostOf(const std::string& url)
{
    auto parsed = NSURL::URLWithString(url);
    std::string host = parsed ? parsed->host() : std::string();
    if (host.size() > 2 && host.front() == '[' && host.back() == ']')
        host = host.substr(1, host.size() - 2);
    return host;
}

int verifyCertificate(X509_STORE_CTX* store, void* data)
{
    auto& transfer = Access::self(data);
    std::vector<SecCertificateRef> certificates;
    if (X509* leaf = X509_STORE_CTX_get0_cert(store)) {
        X509_up_ref(leaf);
        certificates.push_back(std::make_shared<SecCertificate>(leaf));
    }
    if (STACK_OF(X509)* chain = X509_STORE_CTX_get0_untrusted(store)) {
        for (int i = 0; i < sk_X509_num(chain); ++i) {
            X509* certificate = sk_X509_value(chain, i);
            if (!certificates.empty() && X509_cmp(certificate, certificates.front()->x509()) == 0)
                continue;
            X509_up_ref(certificate);
            certificates.push_back(std::make_shared<SecCertificate>(certificate));
        }
    }
    SecTrustRef trust;
    if (SecTrustCreateWithCertificates(certificates, { SecPolicyCreateSSL(true, hostOf(Access::request(transfer).url)) }, &trust)
        != errSecSuccess) {
        Access::trustRefused(transfer) = true;
        return 0;
    }
    bool accepted = false;
    if (Access::onRunLoop(transfer)) {
        // No waiting here: without a decision at hand the handshake is refused (before any
        // request byte) and the exchange goes on on a worker.
        auto decided = Access::cancelled(transfer) ? std::optional<bool>(false)
                                                    : Access::client(transfer).transferEvaluateTrustAtOnce(trust);
        if (!decided) {
            Access::trustDeferred(transfer) = true;
            X509_STORE_CTX_set_error(store, X509_V_ERR_APPLICATION_VERIFICATION);
            return 0;
        }
        accepted = *decided;
    } else {
        transfer.setWaitingForClient(true);
        accepted = !Access::cancelled(transfer) && Access::client(transfer).transferEvaluateTrust(trust);
        transfer.setWaitingForClient(false);
    }
    Access::touch(transfer);
    if (!accepted) {
        Access::trustRefused(transfer) = true;
        X509_STORE_CTX_set_error(store, X509_V_ERR_APPLICATION_VERIFICATION);
        return 0;
    }
    X509_STORE_CTX_set_error(store, X509_V_OK);
    return 1;
}

CURLcode sslContext(CURL*, void* context, void* data)
{
    auto* ssl = static_cast<SSL_CTX*>(context);
    SSL_CTX_set_verify(ssl, SSL_VERIFY_PEER, nullptr);
    SSL_CTX_set_cert_verify_callback(ssl, verifyCertificate, data);
    // The callback's transfer is only valid during this connection's first handshake.
    SSL_CTX_set_options(ssl, SSL_OP_NO_RENEGOTIATION);
    return CURLE_OK;
}

size_t headerLine(char* buffer, size_t size, size_t count, void* data)
{
    auto& transfer = Access::self(data);
    size_t length = size * count;
    Access::touch(transfer);
    if (Access::cancelled(transfer))
        return 0;
    auto result = Access::headReader(transfer).line(std::string_view(buffer, length));
    if (result == ResponseHeadReader::Result::Malformed || result == ResponseHeadReader::Result::TooLarge) {
        Access::headRefused(transfer) = true;
        return 0;
    }
    if (result == ResponseHeadReader::Result::Complete) {
        const auto& head = Access::headReader(transfer).head();
        bool bodyless = Access::request(transfer).method == "HEAD" || head.status == 204 || head.status == 304;
        if (!Access::limit(transfer).acceptHead(head, bodyless)) {
            Access::limitExceeded(transfer) = true;
            return 0;
        }
        Access::sentHead(transfer) = true;
        Access::client(transfer).transferDidReceiveHead(Access::headReader(transfer).takeHead());
    }
    return length;
}

size_t bodyBytes(char* buffer, size_t size, size_t count, void* data)
{
    auto& transfer = Access::self(data);
    size_t length = size * count;
    Access::touch(transfer);
    if (Access::cancelled(transfer) || !Access::sentHead(transfer))
        return 0;
    if (length == 0)
        return 0;
    curl_off_t received = 0;
    curl_easy_getinfo(static_cast<CURL*>(Access::easy(transfer)), CURLINFO_SIZE_DOWNLOAD_T, &received);
    // Bytes handed back by a Wait come again; they were counted already.
    auto& ahead = Access::countedAhead(transfer);
    std::size_t repeated = std::min(ahead, length);
    ahead -= repeated;
    if (!Access::limit(transfer).acceptBody(length - repeated, received)) {
        Access::limitExceeded(transfer) = true;
        return 0;
    }
    bool onRunLoop = Access::onRunLoop(transfer);
    auto answer = Access::client(transfer).transferDidReceiveBody(
        reinterpret_cast<const std::uint8_t*>(buffer), length, !onRunLoop);
    if (answer == BodyAnswer::Stop) {
        Access::clientStopped(transfer) = true;
        return 0;
    }
    if (answer == BodyAnswer::Wait && onRunLoop) {
        ahead = length;
        Access::paused(transfer) = true;
        transfer.setWaitingForClient(true);
        return CURL_WRITEFUNC_PAUSE;
    }
    Access::touch(transfer);
    return length;
}

size_t readBody(char* buffer, size_t size, size_t count, void* data)
{
    auto& transfer = Access::self(data);
    auto& request = Access::request(transfer);
    size_t capacity = size * count;
    if (Access::cancelled(transfer))
        return CURL_READFUNC_ABORT;
    size_t produced = 0;
    if (request.body) {
        auto& offset = Access::bodyOffset(transfer);
        produced = std::min(capacity, request.body->size() - offset);
        std::memcpy(buffer, request.body->data() + offset, produced);
        offset += produced;
    } else if (request.bodyStream) {
        std::int64_t got = request.bodyStream->read(reinterpret_cast<std::uint8_t*>(buffer), capacity);
        if (got < 0) {
            Access::streamError(transfer) = request.bodyStream->streamError();
            if (!Access::streamError(transfer))
                Access::streamError(transfer) = NSError::errorWithDomain(NSPOSIXErrorDomain, 5); // EIO
            return CURL_READFUNC_ABORT;
        }
        produced = static_cast<size_t>(got);
    }
    Access::touch(transfer);
    if (produced > 0) {
        auto& sent = Access::bodySent(transfer);
        sent += static_cast<std::int64_t>(produced);
        std::int64_t expected = request.body ? static_cast<std::int64_t>(request.body->size()) : request.bodyLength;
        Access::client(transfer).transferDidSendBody(static_cast<std::int64_t>(produced), sent, expected);
    }
    return produced;
}

int seekBody(void* data, curl_off_t offset, int origin)
{
    auto& transfer = Access::self(data);
    auto& request = Access::request(transfer);
    if (!request.body || origin != SEEK_SET || offset < 0 || static_cast<std::uint64_t>(offset) > request.body->size())
        return CURL_SEEKFUNC_CANTSEEK;
    Access::bodyOffset(transfer) = static_cast<std::size_t>(offset);
    Access::bodySent(transfer) = offset;
    return CURL_SEEKFUNC_OK;
}

int progress(void* data, curl_off_t, curl_off_t, curl_off_t, curl_off_t)
{
    auto& transfer = Access::self(data);
    return Access::cancelled(transfer) || Access::timedOut(transfer) ? 1 : 0;
}

std::int64_t mapCurlCode(CURLcode code)
{
    switch (code) {
    // Schemes are checked before a transfer starts; here it means an HTTP/0.9 (headless) reply.
    case CURLE_UNSUPPORTED_PROTOCOL: return NSURLErrorBadServerResponse;
    case CURLE_URL_MALFORMAT: return NSURLErrorBadURL;
    case CURLE_COULDNT_RESOLVE_PROXY:
    case CURLE_COULDNT_RESOLVE_HOST: return NSURLErrorCannotFindHost;
    case CURLE_COULDNT_CONNECT: return NSURLErrorCannotConnectToHost;
    case CURLE_OPERATION_TIMEDOUT: return NSURLErrorTimedOut;
    case CURLE_WEIRD_SERVER_REPLY:
    case CURLE_OUT_OF_MEMORY:
    case CURLE_RANGE_ERROR: return NSURLErrorBadServerResponse;
    case CURLE_PARTIAL_FILE:
    case CURLE_GOT_NOTHING:
    case CURLE_SEND_ERROR:
    case CURLE_RECV_ERROR:
    case CURLE_HTTP2:
    case CURLE_HTTP2_STREAM:
    case CURLE_SEND_FAIL_REWIND: return NSURLErrorNetworkConnectionLost;
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_SSL_CERTPROBLEM:
    case CURLE_SSL_CIPHER: return NSURLErrorSecureConnectionFailed;
    case CURLE_PEER_FAILED_VERIFICATION: return NSURLErrorServerCertificateUntrusted;
    case CURLE_BAD_CONTENT_ENCODING: return NSURLErrorCannotDecodeContentData;
    default: return NSURLErrorUnknown;
    }
}

bool hasLineBreak(std::string_view text)
{
    return std::any_of(text.begin(), text.end(), [](char c) { return c == '\r' || c == '\n'; });
}

// The request's fields as libcurl's header list, built in the handle's block (its storage is
// kept from one exchange to the next).
curl_slist* headerList(const TransferRequest& request, transport::Handle& handle)
{
    auto& text = handle.headerText;
    auto& starts = handle.headerStarts;
    text.clear();
    text.reserve(256); // past the short-string buffer: moving the handle keeps the lines in place
    starts.clear();
    auto addLine = [&](std::string_view a, std::string_view b = {}, std::string_view c = {}) {
        starts.push_back(text.size());
        text.append(a).append(b).append(c).push_back('\0');
    };
    bool hasAccept = false;
    bool hasExpect = false;
    bool hasContentType = false;
    for (const auto& [name, value] : request.headers.fields()) {
        hasAccept = hasAccept || equalsIgnoringCase(name, "Accept");
        hasExpect = hasExpect || equalsIgnoringCase(name, "Expect");
        hasContentType = hasContentType || equalsIgnoringCase(name, "Content-Type");
        if (hasLineBreak(name) || name.find(':') != std::string::npos || hasLineBreak(value))
            continue; // never let a field smuggle another line into the head
        if (value.empty())
            addLine(name, ";");
        else
            addLine(name, ": ", value);
    }
    // The request's own fields are the head: libcurl adds no Accept, Expect or Content-Type of
    // its own (the last two only ever come with a body).
    bool hasBody = request.body || request.bodyStream;
    if (!hasAccept)
        addLine("Accept:");
    if (!hasExpect && hasBody)
        addLine("Expect:");
    if (!hasContentType && hasBody)
        addLine("Content-Type:");
    auto& nodes = handle.headerNodes;
    nodes.resize(starts.size());
    for (std::size_t i = 0; i < nodes.size(); ++i) {
        nodes[i].data = text.data() + starts[i];
        nodes[i].next = i + 1 < nodes.size() ? &nodes[i + 1] : nullptr;
    }
    return nodes.empty() ? nullptr : nodes.data();
}

// The options every exchange on a handle shares.
void configureShared(CURL* easy, transport::HandleUse use)
{
    curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(easy, CURLOPT_PROXY, "");
    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 0L);
    curl_easy_setopt(easy, CURLOPT_SSL_VERIFYPEER, 0L);
    curl_easy_setopt(easy, CURLOPT_SSL_VERIFYHOST, 0L);
    curl_easy_setopt(easy, CURLOPT_SSL_SESSIONID_CACHE, 0L);
    curl_easy_setopt(easy, CURLOPT_SSL_CTX_FUNCTION, sslContext);
    curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, headerLine);
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, bodyBytes);
    curl_easy_setopt(easy, CURLOPT_HTTP_VERSION, CURL_HTTP_VERSION_1_1);
    // On a run loop: no progress callback (the loop takes a cancelled or timed-out transfer
    // off the multi handle itself), and sockets are opened and closed by the loop's driver.
    if (use == transport::HandleUse::RunLoop)
        return;
    curl_easy_setopt(easy, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(easy, CURLOPT_XFERINFOFUNCTION, progress);
    curl_easy_setopt(easy, CURLOPT_OPENSOCKETFUNCTION, openSocket);
    curl_easy_setopt(easy, CURLOPT_CLOSESOCKETFUNCTION, closeSocket);
    curl_easy_setopt(easy, CURLOPT_PREREQFUNCTION, beforeRequest);
}

bool isPlainGet(const TransferRequest& request)
{
    return request.method == "GET" && !request.body && !request.bodyStream;
}

} // namespace

Transfer::Transfer(TransferRequest request, std::shared_ptr<TransferClient> client)
    : request_(std::move(request))
    , client_(std::move(client))
    , limit_(request_.maximumBodyLength, request_.bodyHeld)
{
    onRunLoop_ = request_.onCurrentRunLoop && !request_.bodyStream;
}

Transfer::~Transfer() = default;

namespace transport {

bool configure(Transfer& transfer, Handle& handle, HandleUse use)
{
    auto& request = Access::request(transfer);
    CURL* easy = handle.easy;
    Access::easy(transfer) = easy;
    bool fresh = !handle.primed;
    if (fresh) {
        curl_easy_reset(easy);
        configureShared(easy, use);
        handle.decoding = false;
    }
    handle.primed = false; // until this exchange ends well
    curl_easy_setopt(easy, CURLOPT_URL, request.url.c_str());
    curl_easy_setopt(easy, CURLOPT_HTTPHEADER, headerList(request, handle));
    curl_easy_setopt(easy, CURLOPT_SSL_CTX_DATA, &transfer);
    curl_easy_setopt(easy, CURLOPT_HEADERDATA, &transfer);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, &transfer);
    if (use == HandleUse::Worker) {
        curl_easy_setopt(easy, CURLOPT_XFERINFODATA, &transfer);
        curl_easy_setopt(easy, CURLOPT_OPENSOCKETDATA, &transfer);
        curl_easy_setopt(easy, CURLOPT_PREREQDATA, &transfer);
    }
    curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(std::max(1.0, request.idleTimeout * 1000)));
    bool decoding = !request.headers.has("Accept-Encoding");
    if (decoding != handle.decoding) {
        curl_easy_setopt(easy, CURLOPT_ACCEPT_ENCODING, decoding ? "gzip, deflate" : nullptr);
        handle.decoding = decoding;
    }
    bool hasBody = request.body || request.bodyStream;
    if (request.method == "HEAD") {
        curl_easy_setopt(easy, CURLOPT_NOBODY, 1L);
    } else if (hasBody) {
        curl_off_t length = request.body ? static_cast<curl_off_t>(request.body->size()) : request.bodyLength;
        if (request.method == "POST") {
            curl_easy_setopt(easy, CURLOPT_POST, 1L);
            curl_easy_setopt(easy, CURLOPT_POSTFIELDSIZE_LARGE, length);
        } else {
            curl_easy_setopt(easy, CURLOPT_UPLOAD, 1L);
            curl_easy_setopt(easy, CURLOPT_INFILESIZE_LARGE, length);
            curl_easy_setopt(easy, CURLOPT_CUSTOMREQUEST, request.method.c_str());
        }
        curl_easy_setopt(easy, CURLOPT_READFUNCTION, readBody);
        curl_easy_setopt(easy, CURLOPT_READDATA, &transfer);
        curl_easy_setopt(easy, CURLOPT_SEEKFUNCTION, seekBody);
        curl_easy_setopt(easy, CURLOPT_SEEKDATA, &transfer);
        if (request.bodyStream)
            request.bodyStream->open();
    } else if (request.method != "GET") {
        curl_easy_setopt(easy, CURLOPT_CUSTOMREQUEST, request.method.c_str());
    }
    return fresh;
}

TransferResult finish(Transfer& transfer, Handle& handle, CURLcode code)
{
    auto& request = Access::request(transfer);
    TransferResult result;
    // Anything else may leave state of its own on the handle (a method, body callbacks, held
    // bytes of a pause): the next exchange starts from a reset handle.
    handle.primed = code == CURLE_OK && isPlainGet(request) && !Access::cancelled(transfer) && !Access::timedOut(transfer);
    if (request.bodyStream)
        request.bodyStream->close();
    if (Access::cancelled(transfer) || Access::clientStopped(transfer)) {
        result.cancelled = true;
        result.urlErrorCode = NSURLErrorCancelled;
    } else if (Access::limitExceeded(transfer)) {
        result.urlErrorCode = NSURLErrorDataLengthExceedsMaximum;
        result.detail = Access::limit(transfer).why();
    } else if (code == CURLE_OK) {
        result.urlErrorCode = Access::sentHead(transfer) ? std::int64_t(0) : std::int64_t(NSURLErrorBadServerResponse);
    } else if (Access::timedOut(transfer) || code == CURLE_OPERATION_TIMEDOUT) {
        result.urlErrorCode = NSURLErrorTimedOut;
    } else if (Access::trustRefused(transfer)) {
        result.trustRefused = true;
        result.urlErrorCode = NSURLErrorServerCertificateUntrusted;
    } else if (Access::headRefused(transfer)) {
        result.urlErrorCode = NSURLErrorBadServerResponse;
        result.detail = "malformed or oversized response head";
    } else if (Access::streamError(transfer)) {
        result.urlErrorCode = NSURLErrorUnknown;
        result.underlyingError = Access::streamError(transfer);
    } else {
        result.urlErrorCode = mapCurlCode(code);
        result.detail = curl_easy_strerror(code);
    }
    return result;
}

void runOnWorker(std::shared_ptr<Transfer> transfer)
{
    watchdog().add(transfer);
    pool().submit(std::move(transfer));
}

double idleTimeout()
{
    auto& p = pool();
    std::lock_guard lock(p.mutex);
    return p.idleTimeout;
}

} // namespace transport

std::shared_ptr<Transfer> Transfer::start(TransferRequest request, std::shared_ptr<TransferClient> client)
{
    transport::globalInit();
    auto transfer = std::make_shared<Transfer>(std::move(request), std::move(client));
    transfer->startedAt_ = steadyNow();
    transfer->touch();
    if (transfer->onRunLoop_)
        transport::startOnRunLoop(transfer);
    else
        transport::runOnWorker(transfer);
    return transfer;
}

void Transfer::cancel()
{
    if (cancelled_.exchange(true))
        return;
    if (onRunLoop_)
        transport::cancelOnRunLoop(shared_from_this());
    else
        sockets().shutdownFor(this);
}

void Transfer::resume()
{
    if (onRunLoop_ && paused_)
        transport::resumeOnRunLoop(shared_from_this());
}

void Transfer::setWaitingForClient(bool waiting)
{
    waiting_ = waiting;
    if (!waiting)
        touch();
}

void Transfer::touch() { lastActivity_ = steadyNow(); }

void Transfer::run(transport::Handle& handle)
{
    auto self = shared_from_this();
    TransferResult result;
    if (cancelled_) {
        result.cancelled = true;
    } else {
        transport::configure(*this, handle, transport::HandleUse::Worker);
        result = transport::finish(*this, handle, curl_easy_perform(handle.easy));
    }
    sockets().release(this);
    watchdog().remove(self);
    auto client = std::move(client_);
    client->transferDidComplete(std::move(result));
}

std::size_t activeTransferCount() { return watchdog().count() + transport::runLoopTransferCount(); }

std::size_t transportThreadCount()
{
    auto& p = pool();
    std::lock_guard lock(p.mutex);
    return p.threads + transport::runLoopCount();
}

std::size_t transportRunLoopCount() { return transport::runLoopCount(); }

void setTransportIdleTimeout(double seconds)
{
    auto& p = pool();
    std::lock_guard lock(p.mutex);
    p.idleTimeout = seconds;
    p.work.notify_all();
}

} // namespace network
