// How the server treats connections: slow clients hold no thread that others need and are cut
// off when a request head takes too long; stopping ends idle keep-alive connections at once.
#include "ServerFixture.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <future>
#include <thread>

namespace dataserver::test {

namespace {

using namespace std::chrono_literals;

// A client socket on the loopback that sends exactly the bytes a test gives it.
class RawClient {
public:
    explicit RawClient(int port)
    {
        fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address {};
        address.sin_family = AF_INET;
        address.sin_port = htons(static_cast<std::uint16_t>(port));
        inet_pton(AF_INET, "127.0.0.1", &address.sin_addr);
        connected_ = ::connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
        timeval wait { 10, 0 }; // no read waits longer
        setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
    }
    ~RawClient() { ::close(fd_); }
    RawClient(const RawClient&) = delete;
    RawClient& operator=(const RawClient&) = delete;

    bool connected() const { return connected_; }
    bool send(std::string_view bytes)
    {
        return ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(bytes.size());
    }
    // True once the server has closed the connection.
    bool closedByServer()
    {
        char byte;
        ssize_t n = ::recv(fd_, &byte, 1, MSG_DONTWAIT | MSG_PEEK);
        return n == 0 || (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK);
    }
private:
    int fd_ = -1;
    bool connected_ = false;
};

// A server of its own, with the given connection limits.
std::unique_ptr<DataServer> startServer(std::chrono::milliseconds headTimeout, std::chrono::seconds keepAlive)
{
    DataServer::Options options;
    options.log = [](const std::string&) { };
    options.requestHeadTimeout = headTimeout;
    options.keepAlive = keepAlive;
    auto server = std::make_unique<DataServer>(options);
    server->start();
    return server;
}

class Connections : public ServerTest { };

TEST_F(Connections, SlowClientsLeaveRoomForEveryOtherClient)
{
    std::vector<std::unique_ptr<RawClient>> slow;
    for (int i = 0; i < 16; ++i) {
        slow.push_back(std::make_unique<RawClient>(server().dataPort()));
        ASSERT_TRUE(slow.back()->connected());
        slow.back()->send("P");
        std::this_thread::sleep_for(5ms); // the listening socket's backlog is short
    }
    // A byte a second each: never silent long enough for a read time-out.
    std::atomic<bool> done { false };
    std::thread trickle([&] {
        for (int second = 0; second < 30 && !done; ++second) {
            for (auto& client : slow)
                client->send("O");
            for (int i = 0; i < 10 && !done; ++i)
                std::this_thread::sleep_for(100ms);
        }
    });
    auto client = dataClient();
    client.set_connection_timeout(3);
    client.set_read_timeout(3);
    auto answer = answerOf(client.Post("/brelvoxin/data/listSection.do", httplib::Params {}));
    done = true;
    trickle.join();
    ASSERT_TRUE(answer.connected()) << "the slow clients locked the server";
    EXPECT_EQ(info(answer).size(), 24u);
}

TEST(DataServerConnections, ARequestHeadThatTakesTooLongIsCutOff)
{
    auto server = startServer(300ms, 1s);
    RawClient slow(server->dataPort());
    ASSERT_TRUE(slow.connected());
    // Far below the read time-out between bytes, and never a whole head.
    std::size_t sent = 0;
    while (sent < 100 && !slow.closedByServer() && slow.send("G")) {
        ++sent;
        std::this_thread::sleep_for(100ms);
    }
    EXPECT_LT(sent, 100u) << "still reading a head after ten seconds";
    httplib::Client prompt("127.0.0.1", server->dataPort());
    auto reply = prompt.Get("/brelvoxin/data/listSection.do");
    EXPECT_TRUE(reply && reply->status == 200) << "a client that sends its head in time is answered";
}

TEST(DataServerConnections, StoppingEndsIdleKeepAliveConnectionsAtOnce)
{
    auto server = startServer(2min, 60s);
    httplib::Client idle("127.0.0.1", server->dataPort());
    idle.set_keep_alive(true);
    auto reply = idle.Get("/brelvoxin/data/listSection.do");
    ASSERT_TRUE(reply && reply->status == 200);
    auto stopped = std::async(std::launch::async, [&] { server->stop(); });
    EXPECT_EQ(stopped.wait_for(20s), std::future_status::ready) << "stop waited out the keep-alive";
}

} // namespace

} // namespace dataserver::test
