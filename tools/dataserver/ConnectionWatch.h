// ConnectionWatch: how one HTTP server of the data server runs its connections. Each open
// connection has a thread of its own (threads are reused), so slow clients never hold the
// threads others need, and a connection must send each request head within a deadline (counted
// from its accept or from its last answer) or its socket is shut down. Stopping shuts the
// reading side of every connection, so idle keep-alive connections end at once while answers
// being written finish. The library hands out no sockets: the watch finds them among the
// process's descriptors, off the accepting thread.
#pragma once

#include <httplib.h>

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "tools/dataserver/Connection.h"

namespace dataserver {

class ConnectionWatch : public std::enable_shared_from_this<ConnectionWatch> {
public:
    explicit ConnectionWatch(std::chrono::milliseconds headDeadline);
    ~ConnectionWatch();
    ConnectionWatch(const ConnectionWatch&) = delete;
    ConnectionWatch& operator=(const ConnectionWatch&) = delete;

    // Sends `server`'s connections through this watch (before it listens).
    void install(httplib::Server& server);
    // Where the server listens, once bound.
    void setPort(int port);

private:
    struct Watched {
        ConnectedSocket socket; // fd -1 until the socket is found
        std::chrono::steady_clock::time_point since; // waiting for a head since then
        bool answering = false; // a head arrived; the request is being read or answered
        bool shut = false;
        std::uint64_t look = 0; // the last look at the process's sockets that found it (or made it)
    };
    class Queue;

    // The queue's side: one accepted connection's work, and the end of the server.
    void run(std::function<void()> work);
    void finish();
    // The server's side: a request head arrived, an answer went out.
    void requestStarted(const std::string& peerAddress, int peerPort);
    void requestAnswered(const std::string& peerAddress, int peerPort);

    void workLoop();
    void watchLoop();
    // Brings the list up to date with the sockets open now: new ones are added, gone ones dropped.
    void reconcileLocked(const std::vector<ConnectedSocket>& open, std::uint64_t look);
    // The entry for a peer, made when the sockets have not been looked at since it connected.
    Watched& findLocked(const std::string& peerAddress, int peerPort);

    const std::chrono::milliseconds headDeadline_;
    std::mutex mutex_;
    std::condition_variable changed_; // for the watcher and for finish()
    std::condition_variable workCame_; // for idle connection threads
    int port_ = -1;
    std::list<Watched> connections_;
    std::deque<std::function<void()>> work_;
    std::size_t threads_ = 0; // connection threads alive
    std::size_t idle_ = 0; // of them, waiting for work
    bool lookAgain_ = false; // a connection came since the last look
    std::uint64_t looks_ = 0;
    bool stopping_ = false;
    std::thread watcher_;
};

} // namespace dataserver
