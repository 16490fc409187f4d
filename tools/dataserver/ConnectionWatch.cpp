// Connection threads, the request-head deadline and prompt stopping for one HTTP server.
#include "tools/dataserver/ConnectionWatch.h"

#include <sys/socket.h>

#include <algorithm>

namespace dataserver {

namespace {

// While connections are open the watch looks at the process's sockets this often.
constexpr std::chrono::milliseconds kLookEvery { 250 };
// Threads kept ready once the first connection came, so that a burst of connections finds one
// waiting; more are made as more connections stay open at once.
constexpr std::size_t kReadyThreads = 8;

} // namespace

// The server's task queue: hands each accepted connection to the watch.
class ConnectionWatch::Queue final : public httplib::TaskQueue {
public:
    explicit Queue(std::shared_ptr<ConnectionWatch> watch) : watch_(std::move(watch)) { }
    void enqueue(std::function<void()> work) override { watch_->run(std::move(work)); }
    void shutdown() override { watch_->finish(); }

private:
    std::shared_ptr<ConnectionWatch> watch_;
};

ConnectionWatch::ConnectionWatch(std::chrono::milliseconds headDeadline)
    : headDeadline_(headDeadline)
{
}

ConnectionWatch::~ConnectionWatch()
{
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    if (watcher_.joinable())
        watcher_.join();
}

void ConnectionWatch::install(httplib::Server& server)
{
    server.new_task_queue = [this] { return new Queue(shared_from_this()); };
    server.set_pre_routing_handler([this](const httplib::Request& req, httplib::Response&) {
        requestStarted(req.remote_addr, req.remote_port);
        return httplib::Server::HandlerResponse::Unhandled;
    });
    // The library logs each request once its answer is written.
    server.set_logger([this](const httplib::Request& req, const httplib::Response&) {
        requestAnswered(req.remote_addr, req.remote_port);
    });
}

void ConnectionWatch::setPort(int port)
{
    std::lock_guard lock(mutex_);
    port_ = port;
}

// On the accepting thread: only queue the work, so that a burst of connections finds the
// listening socket's short backlog emptied quickly.
void ConnectionWatch::run(std::function<void()> work)
{
    std::unique_lock lock(mutex_);
    work_.push_back(std::move(work));
    lookAgain_ = true;
    if (!watcher_.joinable() && !stopping_)
        watcher_ = std::thread([this] { watchLoop(); });
    bool spawn = idle_ < work_.size();
    if (spawn)
        ++threads_;
    lock.unlock();
    workCame_.notify_one();
    changed_.notify_all();
    if (spawn)
        std::thread([self = shared_from_this()] { self->workLoop(); }).detach();
}

void ConnectionWatch::workLoop()
{
    std::unique_lock lock(mutex_);
    if (threads_ < kReadyThreads && !stopping_) {
        ++threads_; // the next ready thread is made here, off the accepting thread
        std::thread([self = shared_from_this()] { self->workLoop(); }).detach();
    }
    for (;;) {
        ++idle_;
        workCame_.wait(lock, [this] { return !work_.empty() || stopping_; });
        --idle_;
        if (work_.empty())
            break;
        auto work = std::move(work_.front());
        work_.pop_front();
        lock.unlock();
        work();
        work = nullptr;
        lock.lock();
    }
    --threads_;
    changed_.notify_all();
}

void ConnectionWatch::finish()
{
    std::unique_lock lock(mutex_);
    int port = port_;
    lock.unlock();
    // Every connection was accepted by now: reading ends, answers being written go out.
    for (const auto& socket : connectedSockets(port))
        ::shutdown(socket.fd, SHUT_RD);
    lock.lock();
    stopping_ = true;
    workCame_.notify_all();
    changed_.notify_all();
    changed_.wait(lock, [this] { return threads_ == 0; });
    lock.unlock();
    if (watcher_.joinable())
        watcher_.join();
}

ConnectionWatch::Watched& ConnectionWatch::findLocked(const std::string& peerAddress, int peerPort)
{
    auto it = std::find_if(connections_.begin(), connections_.end(), [&](const Watched& c) {
        return c.socket.peerPort == peerPort && c.socket.peerAddress == peerAddress;
    });
    if (it != connections_.end())
        return *it;
    Watched made;
    made.socket = { -1, peerAddress, peerPort };
    made.since = std::chrono::steady_clock::now();
    made.look = looks_;
    return connections_.emplace_back(std::move(made));
}

void ConnectionWatch::requestStarted(const std::string& peerAddress, int peerPort)
{
    std::lock_guard lock(mutex_);
    findLocked(peerAddress, peerPort).answering = true;
}

void ConnectionWatch::requestAnswered(const std::string& peerAddress, int peerPort)
{
    std::lock_guard lock(mutex_);
    auto& c = findLocked(peerAddress, peerPort);
    c.answering = false;
    c.since = std::chrono::steady_clock::now();
}

void ConnectionWatch::reconcileLocked(const std::vector<ConnectedSocket>& open, std::uint64_t look)
{
    for (const auto& socket : open) {
        auto& c = findLocked(socket.peerAddress, socket.peerPort);
        c.socket.fd = socket.fd;
        c.look = look;
    }
    // Entries made while this look went on are kept for the next one.
    connections_.remove_if([look](const Watched& c) { return c.look < look; });
}

void ConnectionWatch::watchLoop()
{
    std::unique_lock lock(mutex_);
    while (!stopping_) {
        lookAgain_ = false;
        std::uint64_t look = ++looks_;
        int port = port_;
        lock.unlock();
        auto open = connectedSockets(port);
        lock.lock();
        reconcileLocked(open, look);
        auto now = std::chrono::steady_clock::now();
        auto next = now + kLookEvery;
        for (auto& c : connections_) {
            if (c.answering || c.shut || c.socket.fd < 0)
                continue;
            auto due = c.since + headDeadline_;
            if (due > now) {
                next = std::min(next, due);
                continue;
            }
            c.shut = true;
            if (stillConnected(c.socket))
                ::shutdown(c.socket.fd, SHUT_RDWR);
        }
        auto woken = [this] { return lookAgain_ || stopping_; };
        if (connections_.empty())
            changed_.wait(lock, woken);
        else
            changed_.wait_until(lock, next, woken);
    }
}

} // namespace dataserver
