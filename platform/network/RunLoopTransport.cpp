// The run-loop way of the transport: one libcurl multi handle per thread's run loop, driven by a
// file-descriptor source per socket and one timer, so a transfer runs on the thread whose loop
// delivers it, with no hand-off to a worker. The timer is a timerfd: the transport's time-outs
// (libcurl's own, and the idle and total time-outs of each exchange) are in real time whatever
// the platform clock does. The multi handle keeps its keep-alive connections for every transfer
// of the loop and is let go after the transport's idle time without transfers, or with its
// thread. Its sources serve runs of the loop but do not keep one going. A socket the driver
// opened keeps its source (and the loop's registration of it) from one transfer to the next on a
// kept-alive connection, until libcurl closes it through the driver.
#include <sys/socket.h>
#include <sys/timerfd.h>
#include <unistd.h>

#include <algorithm>
#include <map>
#include <set>
#include <utility>
#include <vector>

#include "platform/network/TransportInternal.h"
#include "platform/network/URLError.h"
#include "platform/threading/FileDescriptorSource.h"

namespace network::transport {
namespace {

using Access = TransferAccess;
using threading::FileDescriptorSource;

constexpr long kMaxConnections = 64; // keep-alive connections a loop keeps for its bursts
constexpr std::size_t kSpareHandles = 16;
constexpr std::int64_t kNever = std::numeric_limits<std::int64_t>::max();

std::atomic<std::size_t> transfersOnLoops { 0 };
std::atomic<std::size_t> loopsWithMulti { 0 };

std::int64_t nanos(double seconds) { return static_cast<std::int64_t>(seconds * 1e9); }

class LoopDriver {
public:
    explicit LoopDriver(const std::shared_ptr<NSRunLoop>& loop);
    ~LoopDriver();
    LoopDriver(const LoopDriver&) = delete;
    LoopDriver& operator=(const LoopDriver&) = delete;

    void add(std::shared_ptr<Transfer> transfer, const std::vector<NSRunLoopMode>& modes);
    void cancel(const std::shared_ptr<Transfer>& transfer);
    void resume(const std::shared_ptr<Transfer>& transfer);
    void kicked();
    bool idleExpired() const { return active_.empty() && steadyNow() >= idleSince_ + nanos(idleTimeout()); }
    bool busy() const { return depth_ > 0; }
    void perform(std::function<void()> block);

private:
    static int onSocket(CURL*, curl_socket_t fd, int what, void* self, void*);
    static curl_socket_t openSocket(void* self, curlsocktype, struct curl_sockaddr* address);
    static int closeSocket(void* self, curl_socket_t fd);
    void forgetSocket(curl_socket_t fd);
    static int onTimer(CURLM*, long milliseconds, void* self);
    void watchSocket(curl_socket_t fd, int what);
    void socketReady(curl_socket_t fd, int flags);
    void act(curl_socket_t fd, int flags);
    void reap();
    void complete(CURL* easy, CURLcode code);
    void timerFired();
    void expireTransfers(std::int64_t now);
    void rearm();
    void addModes(const std::vector<NSRunLoopMode>& modes);
    void addSource(const std::shared_ptr<FileDescriptorSource>& source);
    Handle takeHandle();
    void recycle(Handle handle);

    std::weak_ptr<NSRunLoop> loop_;
    std::set<NSRunLoopMode> modes_ { NSRunLoopCommonModes };
    CURLM* multi_ = nullptr;
    int timerFd_ = -1;
    std::shared_ptr<FileDescriptorSource> timerSource_;
    struct Socket {
        std::shared_ptr<FileDescriptorSource> source;
        int what = 0; // CURL_POLL_REMOVE: a kept socket no transfer uses now
        bool ours = false; // opened here, closed through closeSocket: its source may be kept
    };
    std::map<curl_socket_t, Socket> sockets_;
    struct Running {
        std::shared_ptr<Transfer> transfer;
        Handle handle; // stays in place while libcurl reads its header lines
    };
    std::map<CURL*, Running> active_;
    std::vector<Handle> spare_; // primed or not, see Handle
    std::vector<std::pair<CURL*, CURLcode>> reaped_; // kept for the next reap
    std::int64_t curlDeadline_ = kNever; // steady nanoseconds
    std::int64_t watchDeadline_ = kNever; // the earliest idle or total time-out, as last seen
    std::int64_t armedFor_ = kNever;
    std::int64_t idleSince_ = 0;
    bool kickPending_ = false;
    bool adding_ = false; // inside add(): a kick asked for then is made when libcurl returns
    bool kickNow_ = false;
    bool quieted_ = false; // sockets were quieted during a nested run
    int depth_ = 0; // inside libcurl: it must not be entered again
};

thread_local std::unique_ptr<LoopDriver> tlsDriver;

// Runs `step` on the transfer's loop, with that loop's driver (if it still has one).
void onLoopOf(const std::shared_ptr<Transfer>& transfer, void (LoopDriver::*step)(const std::shared_ptr<Transfer>&))
{
    auto loop = Access::runLoop(*transfer).lock();
    if (!loop)
        return;
    std::weak_ptr<Transfer> weak = transfer;
    loop->performBlock([weak, step] {
        auto strong = weak.lock();
        if (strong && tlsDriver)
            ((*tlsDriver).*step)(strong);
    });
}

LoopDriver::LoopDriver(const std::shared_ptr<NSRunLoop>& loop)
    : loop_(loop)
    , idleSince_(steadyNow())
{
    multi_ = curl_multi_init();
    curl_multi_setopt(multi_, CURLMOPT_SOCKETFUNCTION, onSocket);
    curl_multi_setopt(multi_, CURLMOPT_SOCKETDATA, this);
    curl_multi_setopt(multi_, CURLMOPT_TIMERFUNCTION, onTimer);
    curl_multi_setopt(multi_, CURLMOPT_TIMERDATA, this);
    curl_multi_setopt(multi_, CURLMOPT_MAXCONNECTS, kMaxConnections);
    timerFd_ = timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
    timerSource_ = FileDescriptorSource::create(
        timerFd_,
        [] {
            if (tlsDriver)
                tlsDriver->timerFired();
        },
        nullptr, false);
    addSource(timerSource_);
    ++loopsWithMulti;
}

LoopDriver::~LoopDriver()
{
    // Transfers still here (their thread is ending) are dropped without a report: their
    // delivery went with the loop.
    for (auto& [easy, running] : active_) {
        curl_multi_remove_handle(multi_, easy);
        curl_easy_cleanup(easy);
        --transfersOnLoops;
    }
    active_.clear();
    for (auto& handle : spare_)
        curl_easy_cleanup(handle.easy);
    curl_multi_cleanup(multi_); // closes the kept connections (their sources go first)
    for (auto& [fd, socket] : sockets_)
        if (socket.source)
            socket.source->invalidate();
    timerSource_->invalidate();
    ::close(timerFd_);
    --loopsWithMulti;
}

void LoopDriver::perform(std::function<void()> block)
{
    if (auto loop = loop_.lock())
        loop->performInModes(std::vector<NSRunLoopMode>(modes_.begin(), modes_.end()), std::move(block));
}

void LoopDriver::addSource(const std::shared_ptr<FileDescriptorSource>& source)
{
    auto loop = loop_.lock();
    if (!loop)
        return;
    for (const auto& mode : modes_)
        loop->addSource(source, mode);
}

void LoopDriver::addModes(const std::vector<NSRunLoopMode>& modes)
{
    auto loop = loop_.lock();
    for (const auto& mode : modes) {
        if (!modes_.insert(mode).second || !loop)
            continue;
        loop->addSource(timerSource_, mode);
        for (auto& [fd, socket] : sockets_)
            if (socket.source)
                loop->addSource(socket.source, mode);
    }
}

Handle LoopDriver::takeHandle()
{
    if (spare_.empty()) {
        Handle handle;
        handle.easy = curl_easy_init();
        return handle;
    }
    Handle handle = std::move(spare_.back());
    spare_.pop_back();
    return handle;
}

void LoopDriver::recycle(Handle handle)
{
    if (spare_.size() >= kSpareHandles) {
        curl_easy_cleanup(handle.easy);
        return;
    }
    spare_.push_back(std::move(handle));
}

void LoopDriver::add(std::shared_ptr<Transfer> transfer, const std::vector<NSRunLoopMode>& modes)
{
    addModes(modes);
    Handle taken = takeHandle();
    CURL* easy = taken.easy;
    auto& running = active_[easy];
    running.handle = std::move(taken);
    if (configure(*transfer, running.handle, HandleUse::RunLoop)) {
        curl_easy_setopt(easy, CURLOPT_OPENSOCKETFUNCTION, openSocket);
        curl_easy_setopt(easy, CURLOPT_OPENSOCKETDATA, this);
        curl_easy_setopt(easy, CURLOPT_CLOSESOCKETFUNCTION, closeSocket);
        curl_easy_setopt(easy, CURLOPT_CLOSESOCKETDATA, this);
    }
    const auto& request = Access::request(*transfer);
    std::int64_t deadline = Access::lastActivity(*transfer) + nanos(request.idleTimeout);
    if (request.totalTimeout > 0)
        deadline = std::min(deadline, Access::startedAt(*transfer) + nanos(request.totalTimeout));
    watchDeadline_ = std::min(watchDeadline_, deadline);
    running.transfer = std::move(transfer);
    ++transfersOnLoops;
    // libcurl asks for a timer at once; it is served when libcurl has returned, here: the
    // request goes out in this turn rather than the next (what it reports is posted to the
    // client's delivery, which the caller's step holds, so nothing reaches the client early).
    ++depth_;
    adding_ = true;
    curl_multi_add_handle(multi_, easy);
    adding_ = false;
    --depth_;
    if (std::exchange(kickNow_, false))
        return act(CURL_SOCKET_TIMEOUT, 0);
    rearm();
}

void LoopDriver::cancel(const std::shared_ptr<Transfer>& transfer)
{
    CURL* easy = static_cast<CURL*>(Access::easy(*transfer));
    auto it = active_.find(easy);
    if (it == active_.end() || it->second.transfer != transfer)
        return;
    if (depth_ > 0)
        return perform([weak = std::weak_ptr<Transfer>(transfer)] {
            if (auto strong = weak.lock(); strong && tlsDriver)
                tlsDriver->cancel(strong);
        });
    complete(easy, CURLE_ABORTED_BY_CALLBACK);
    rearm();
}

void LoopDriver::resume(const std::shared_ptr<Transfer>& transfer)
{
    CURL* easy = static_cast<CURL*>(Access::easy(*transfer));
    auto it = active_.find(easy);
    if (it == active_.end() || it->second.transfer != transfer || !Access::paused(*transfer))
        return;
    if (depth_ > 0)
        return onLoopOf(transfer, &LoopDriver::resume);
    Access::paused(*transfer) = false;
    transfer->setWaitingForClient(false);
    ++depth_;
    curl_easy_pause(easy, CURLPAUSE_CONT); // may hand the held bytes over at once
    --depth_;
    reap();
    rearm();
}

int LoopDriver::onSocket(CURL*, curl_socket_t fd, int what, void* self, void*)
{
    static_cast<LoopDriver*>(self)->watchSocket(fd, what);
    return 0;
}

curl_socket_t LoopDriver::openSocket(void* self, curlsocktype, struct curl_sockaddr* address)
{
    int fd = ::socket(address->family, address->socktype | SOCK_CLOEXEC, address->protocol);
    if (fd < 0)
        return CURL_SOCKET_BAD;
    auto& driver = *static_cast<LoopDriver*>(self);
    driver.forgetSocket(fd); // a source left for this number belonged to a closed socket
    driver.sockets_[fd].ours = true;
    return fd;
}

int LoopDriver::closeSocket(void* self, curl_socket_t fd)
{
    // The source goes before the descriptor: its number may come back with the next socket.
    static_cast<LoopDriver*>(self)->forgetSocket(fd);
    return ::close(fd);
}

void LoopDriver::forgetSocket(curl_socket_t fd)
{
    auto it = sockets_.find(fd);
    if (it == sockets_.end())
        return;
    if (it->second.source)
        it->second.source->invalidate();
    sockets_.erase(it);
}

void LoopDriver::watchSocket(curl_socket_t fd, int what)
{
    if (what == CURL_POLL_REMOVE) {
        auto it = sockets_.find(fd);
        if (it == sockets_.end())
            return;
        if (!it->second.ours || !it->second.source)
            return forgetSocket(fd);
        // Kept for the connection's next transfer, read interest left on so the loop's
        // registration stays; a readable kept socket (the peer closed it) is quieted.
        it->second.what = CURL_POLL_REMOVE;
        return;
    }
    auto& socket = sockets_[fd];
    if (!socket.source) {
        socket.source = FileDescriptorSource::create(
            fd,
            [fd] {
                if (tlsDriver)
                    tlsDriver->socketReady(fd, CURL_CSELECT_IN);
            },
            [fd] {
                if (tlsDriver)
                    tlsDriver->socketReady(fd, CURL_CSELECT_OUT);
            },
            false);
        addSource(socket.source);
    }
    socket.what = what;
    socket.source->setReadEnabled(what == CURL_POLL_IN || what == CURL_POLL_INOUT);
    if (what == CURL_POLL_OUT || what == CURL_POLL_INOUT)
        socket.source->enableWriteOnce();
}

void LoopDriver::socketReady(curl_socket_t fd, int flags)
{
    if (auto it = sockets_.find(fd); it != sockets_.end() && it->second.what == CURL_POLL_REMOVE) {
        it->second.source->setReadEnabled(false); // no transfer on it: libcurl sees to it at reuse
        return;
    }
    if (depth_ > 0) {
        // A run nested in a callback: the socket waits, quiet, for the outer turn.
        if (auto it = sockets_.find(fd); it != sockets_.end())
            it->second.source->setReadEnabled(false);
        quieted_ = true;
        return;
    }
    act(fd, flags);
    // Write interest is one-shot in the source but lasting for libcurl.
    auto it = sockets_.find(fd);
    if (it != sockets_.end() && (it->second.what == CURL_POLL_OUT || it->second.what == CURL_POLL_INOUT)
        && !it->second.source->isWriteArmed())
        it->second.source->enableWriteOnce();
}

int LoopDriver::onTimer(CURLM*, long milliseconds, void* self)
{
    auto& driver = *static_cast<LoopDriver*>(self);
    if (milliseconds < 0) {
        driver.curlDeadline_ = kNever;
        return 0;
    }
    if (milliseconds == 0) {
        // Soon, but not from inside libcurl: a perform on this loop's own thread wakes nothing.
        driver.curlDeadline_ = kNever;
        if (driver.adding_) {
            driver.kickNow_ = true;
            return 0;
        }
        if (!driver.kickPending_) {
            driver.kickPending_ = true;
            driver.perform([] {
                if (tlsDriver)
                    tlsDriver->kicked();
            });
        }
        return 0;
    }
    driver.curlDeadline_ = steadyNow() + static_cast<std::int64_t>(milliseconds) * 1000000;
    return 0; // armed by rearm() once libcurl returns
}

void LoopDriver::kicked()
{
    kickPending_ = false;
    if (depth_ > 0) {
        kickPending_ = true;
        return perform([] {
            if (tlsDriver)
                tlsDriver->kicked();
        });
    }
    act(CURL_SOCKET_TIMEOUT, 0);
}

void LoopDriver::act(curl_socket_t fd, int flags)
{
    int running = 0;
    ++depth_;
    curl_multi_socket_action(multi_, fd, flags, &running);
    --depth_;
    if (depth_ == 0 && quieted_) {
        quieted_ = false;
        for (auto& [socketFd, socket] : sockets_)
            if (socket.source && socket.what != CURL_POLL_REMOVE)
                watchSocket(socketFd, socket.what);
    }
    reap();
    rearm();
}

void LoopDriver::reap()
{
    // The kept buffer is taken, so a reap nested in a completion (through a run of the loop)
    // gets one of its own.
    auto done = std::exchange(reaped_, {});
    done.clear();
    int left = 0;
    while (CURLMsg* message = curl_multi_info_read(multi_, &left)) {
        if (message->msg == CURLMSG_DONE)
            done.emplace_back(message->easy_handle, message->data.result);
    }
    for (auto [easy, code] : done)
        complete(easy, code);
    if (done.capacity() > reaped_.capacity())
        reaped_ = std::move(done);
}

void LoopDriver::complete(CURL* easy, CURLcode code)
{
    auto it = active_.find(easy);
    if (it == active_.end())
        return;
    auto transfer = std::move(it->second.transfer);
    Handle handle = std::move(it->second.handle);
    active_.erase(it);
    --transfersOnLoops;
    ++depth_;
    curl_multi_remove_handle(multi_, easy);
    --depth_;
    if (active_.empty())
        idleSince_ = steadyNow();
    if (Access::trustDeferred(*transfer) && !Access::cancelled(*transfer)) {
        // The handshake was refused before any request byte; the worker asks and waits.
        finish(*transfer, handle, code);
        Access::trustDeferred(*transfer) = false;
        Access::onRunLoop(*transfer) = false;
        recycle(std::move(handle));
        runOnWorker(std::move(transfer));
        return;
    }
    TransferResult result = finish(*transfer, handle, code);
    recycle(std::move(handle));
    auto client = std::move(Access::clientPointer(*transfer));
    if (client)
        client->transferDidComplete(std::move(result));
}

void LoopDriver::expireTransfers(std::int64_t now)
{
    std::vector<CURL*> expired;
    watchDeadline_ = kNever;
    for (const auto& [easy, running] : active_) {
        const auto& transfer = running.transfer;
        const auto& request = Access::request(*transfer);
        std::int64_t deadline = kNever;
        if (!Access::waiting(*transfer))
            deadline = Access::lastActivity(*transfer) + nanos(request.idleTimeout);
        if (request.totalTimeout > 0)
            deadline = std::min(deadline, Access::startedAt(*transfer) + nanos(request.totalTimeout));
        if (deadline <= now) {
            Access::timedOut(*transfer) = true;
            expired.push_back(easy);
        } else if (deadline < kNever) {
            watchDeadline_ = std::min(watchDeadline_, deadline);
        } else {
            watchDeadline_ = std::min(watchDeadline_, now + nanos(1)); // waiting: look again in a second
        }
    }
    for (CURL* easy : expired)
        complete(easy, CURLE_OPERATION_TIMEDOUT);
}

void LoopDriver::timerFired()
{
    std::uint64_t expirations = 0;
    [[maybe_unused]] auto got = ::read(timerFd_, &expirations, sizeof expirations);
    armedFor_ = kNever; // armed again by the next rearm()
    if (depth_ > 0)
        return; // a run nested in a callback: the outer turn rearms when libcurl returns
    std::int64_t now = steadyNow();
    if (curlDeadline_ <= now) {
        curlDeadline_ = kNever;
        act(CURL_SOCKET_TIMEOUT, 0);
    }
    if (watchDeadline_ <= now)
        expireTransfers(now);
    if (idleExpired()) {
        // Let go of the multi handle and its connections, on a later turn (not from inside it).
        perform([] {
            if (tlsDriver && tlsDriver->idleExpired() && !tlsDriver->busy())
                tlsDriver.reset();
        });
        return;
    }
    rearm();
}

void LoopDriver::rearm()
{
    std::int64_t next = std::min(curlDeadline_, watchDeadline_);
    if (active_.empty())
        next = std::min(next, idleSince_ + nanos(idleTimeout()));
    // A later deadline keeps the armed one: the timer then fires early and looks again, which
    // costs less than setting it at every turn.
    if (next >= armedFor_)
        return;
    armedFor_ = next;
    itimerspec spec {};
    if (next != kNever) {
        std::int64_t left = std::max<std::int64_t>(next - steadyNow(), 1);
        spec.it_value.tv_sec = static_cast<time_t>(left / 1000000000);
        spec.it_value.tv_nsec = static_cast<long>(left % 1000000000);
    }
    timerfd_settime(timerFd_, 0, &spec, nullptr);
}

} // namespace

void startOnRunLoop(std::shared_ptr<Transfer> transfer)
{
    auto loop = NSRunLoop::currentRunLoop();
    Access::runLoop(*transfer) = loop;
    if (Access::cancelled(*transfer)) {
        TransferResult result;
        result.cancelled = true;
        result.urlErrorCode = NSURLErrorCancelled;
        if (auto client = std::move(Access::clientPointer(*transfer)))
            client->transferDidComplete(std::move(result));
        return;
    }
    if (tlsDriver && tlsDriver->busy()) {
        // Started from inside a callback of another transfer: added on the next turn.
        return tlsDriver->perform([transfer = std::move(transfer)]() mutable { startOnRunLoop(std::move(transfer)); });
    }
    if (!tlsDriver)
        tlsDriver = std::make_unique<LoopDriver>(loop);
    const auto& modes = Access::request(*transfer).runLoopModes; // the driver holds the transfer
    tlsDriver->add(std::move(transfer), modes);
}

void cancelOnRunLoop(const std::shared_ptr<Transfer>& transfer) { onLoopOf(transfer, &LoopDriver::cancel); }

void resumeOnRunLoop(const std::shared_ptr<Transfer>& transfer) { onLoopOf(transfer, &LoopDriver::resume); }

std::size_t runLoopTransferCount() { return transfersOnLoops; }

std::size_t runLoopCount() { return loopsWithMulti; }

} // namespace network::transport
