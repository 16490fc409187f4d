// The transport: two cpp-httplib servers (data root and account root) whose handlers turn each
// request into an Incoming, record and log it, apply the path's failure rule and answer.
#include "tools/dataserver/DataServer.h"

#include <netinet/in.h>
#include <netinet/tcp.h>

#include "tools/dataserver/Connection.h"
#include "tools/dataserver/ConnectionWatch.h"
#include "tools/dataserver/Control.h"
#include "tools/dataserver/Endpoints.h"
#include "tools/dataserver/Text.h"

#include <httplib.h>

#include <csignal>
#include <cstdio>
#include <regex>
#include <stdexcept>
#include <thread>

namespace dataserver {

namespace {

constexpr std::size_t kMaxPayload = 16 * 1024 * 1024;
const char* const kControlActions[] = { "fail", "reset", "release", "requests" };

// The host as it appears in an address: an IPv6 literal goes in brackets.
std::string hostInUrl(const std::string& host)
{
    if (host.find(':') != std::string::npos && host.front() != '[')
        return "[" + host + "]";
    return host;
}

std::string regexEscape(const std::string& text)
{
    static const std::string special = R"(\^$.|?*+()[]{}/)";
    std::string out;
    for (char c : text) {
        if (special.find(c) != std::string::npos)
            out += '\\';
        out += c;
    }
    return out;
}

// Parameters from the query, the form body and the text parts of a multipart body; the file
// parts (those with a file name) apart.
void collectInput(const httplib::Request& req, Incoming& in)
{
    for (const auto& [name, value] : req.params)
        in.params.emplace(name, value);
    for (const auto& [name, part] : req.files) {
        if (part.filename.empty())
            in.params.emplace(name, part.content);
        else
            in.files.push_back({ name, part.filename, part.content_type, part.content });
    }
}

RecordedRequest recordOf(const Incoming& in, const std::string& root)
{
    RecordedRequest r;
    r.method = in.method;
    r.root = root;
    r.path = in.path;
    r.params = in.params;
    for (const auto& f : in.files)
        r.files.push_back({ f.name, f.filename, f.contentType, f.bytes.size() });
    return r;
}

Reply failureReply(const Failure& f)
{
    switch (f.mode) {
    case FailureMode::Status: return refusal(f.msg, f.status);
    case FailureMode::Http: return { f.httpStatus, "text/plain; charset=utf-8", "injected failure\n" };
    case FailureMode::NotJson: return { 200, "text/html; charset=utf-8", "<html><body>Service unavailable</body></html>" };
    case FailureMode::Empty: return { 200, kJsonType, "" };
    case FailureMode::Body: return { 200, f.contentType, f.body };
    case FailureMode::Normal:
    case FailureMode::Drop: break;
    }
    return notFound();
}

void send(httplib::Response& res, const Reply& reply)
{
    res.status = reply.httpStatus;
    res.set_content(reply.body, reply.contentType.c_str());
}

} // namespace

struct DataServer::Impl {
    explicit Impl(Options o)
        : options(std::move(o))
        , world(options.databasePath)
        , dataWatch(std::make_shared<ConnectionWatch>(options.requestHeadTimeout))
        , accountWatch(std::make_shared<ConnectionWatch>(options.requestHeadTimeout))
    {
    }

    Options options;
    World world;
    FailureRules rules;
    HoldGate gate;
    RequestLog log;
    std::shared_ptr<ConnectionWatch> dataWatch;
    std::shared_ptr<ConnectionWatch> accountWatch;
    httplib::Server dataServer;
    httplib::Server accountServer;
    std::thread dataThread;
    std::thread accountThread;
    int dataPort = -1;
    int accountPort = -1;
    bool started = false;
    bool used = false;

    void writeLog(const std::string& line)
    {
        if (options.log)
            options.log(line);
        else
            std::fprintf(stderr, "dataserver: %s\n", line.c_str());
    }

    std::string dataRootFor(const httplib::Request& req) const
    {
        auto host = hostOfHeader(req.get_header_value("Host")).value_or(hostInUrl(options.host));
        return "http://" + host + ":" + std::to_string(dataPort) + "/" + kDataRootName + "/";
    }

    Incoming incoming(const httplib::Request& req, const std::string& path) const
    {
        Incoming in;
        in.method = req.method;
        in.path = path;
        in.dataRoot = dataRootFor(req);
        collectInput(req, in);
        return in;
    }

    void serve(const httplib::Request& req, httplib::Response& res, const std::string& root, const EndpointTable& table)
    {
        Incoming in = incoming(req, req.path.substr(root.size() + 2));
        auto rule = rules.take(in.path);
        HoldGate::Ticket ticket = rule && rule->hold ? gate.ticket(in.path) : 0;
        RecordedRequest record = recordOf(in, root);
        writeLog(logLine(record, rule ? rule->describe() : "normal"));
        log.add(std::move(record));

        if (rule && rule->hold)
            gate.wait(in.path, ticket, options.holdTimeout);
        if (rule && rule->delay.count() > 0)
            gate.sleep(rule->delay);
        if (rule && rule->mode == FailureMode::Drop) {
            dropConnection(req.local_port, req.remote_addr, req.remote_port);
            // Whatever the library then tries to write goes nowhere.
            return send(res, failureReply(Failure::http(500)));
        }
        if (!rule || rule->mode == FailureMode::Normal)
            return send(res, answer(world, table, in));
        send(res, failureReply(*rule));
    }

    void unrouted(const httplib::Request& req, httplib::Response& res)
    {
        RecordedRequest record = recordOf(incoming(req, req.path), "");
        writeLog(logLine(record, "not found"));
        log.add(std::move(record));
        send(res, notFound());
    }

    void install(httplib::Server& server, ConnectionWatch& watch, const std::string& root, const EndpointTable& table,
        DataServer& owner)
    {
        watch.install(server);
        for (const auto& [path, endpoint] : table) {
            (void)endpoint;
            std::string pattern = "/" + regexEscape(root) + "/" + regexEscape(path);
            auto handler = [this, root, &table](const httplib::Request& req, httplib::Response& res) {
                serve(req, res, root, table);
            };
            server.Get(pattern, handler);
            server.Post(pattern, handler);
        }
        for (const char* action : kControlActions) {
            std::string name = action;
            auto handler = [this, name, &owner](const httplib::Request& req, httplib::Response& res) {
                Incoming in = incoming(req, name);
                writeLog(logLine(recordOf(in, "__control"), "control"));
                send(res, handleControl(owner, name, in));
            };
            server.Get(kControlPrefix + name, handler);
            server.Post(kControlPrefix + name, handler);
        }
        // A path no route knows: httplib answers 404 with no body; record and answer it here.
        server.set_error_handler([this](const httplib::Request& req, httplib::Response& res) {
            if (res.status == 404 && res.body.empty())
                unrouted(req, res);
        });
        server.set_exception_handler([this](const httplib::Request&, httplib::Response& res, std::exception_ptr) {
            writeLog("internal error");
            Reply reply = refusal("服务器错误");
            reply.httpStatus = 500;
            send(res, reply);
        });
        // Reuse the address after a restart, but never share a port with a running server (the
        // library's default would let a second instance bind it too and split the requests).
        // No Nagle delay: a reply goes out as a head and a body in two writes, and on a reused
        // connection the body would otherwise wait for the client's delayed acknowledgement
        // (about 40 ms a request). Accepted connections inherit the option.
        server.set_socket_options([](socket_t sock) {
            int yes = 1;
            setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
            setsockopt(sock, IPPROTO_TCP, TCP_NODELAY, &yes, sizeof yes);
        });
        server.set_payload_max_length(kMaxPayload);
        server.set_keep_alive_timeout(options.keepAlive.count());
    }

    int bind(httplib::Server& server, ConnectionWatch& watch, int port)
    {
        if (port == 0)
            port = server.bind_to_any_port(options.host);
        else if (!server.bind_to_port(options.host.c_str(), port))
            port = -1;
        watch.setPort(port);
        return port;
    }
};

DataServer::DataServer(Options options)
    : impl_(std::make_unique<Impl>(std::move(options)))
{
}

DataServer::~DataServer()
{
    stop();
}

void DataServer::start()
{
    if (impl_->started)
        return;
    if (impl_->used)
        throw std::logic_error("dataserver: a stopped server cannot start again");
    impl_->used = true;
    std::signal(SIGPIPE, SIG_IGN);
    impl_->install(impl_->dataServer, *impl_->dataWatch, kDataRootName, dataEndpoints(), *this);
    impl_->install(impl_->accountServer, *impl_->accountWatch, kAccountRootName, accountEndpoints(), *this);
    impl_->dataPort = impl_->bind(impl_->dataServer, *impl_->dataWatch, impl_->options.dataPort);
    if (impl_->dataPort < 0)
        throw std::runtime_error("dataserver: cannot listen on " + impl_->options.host + ":" + std::to_string(impl_->options.dataPort));
    impl_->accountPort = impl_->bind(impl_->accountServer, *impl_->accountWatch, impl_->options.accountPort);
    if (impl_->accountPort < 0) {
        impl_->dataServer.stop();
        throw std::runtime_error("dataserver: cannot listen on " + impl_->options.host + ":" + std::to_string(impl_->options.accountPort));
    }
    impl_->gate.open();
    impl_->dataThread = std::thread([this] { impl_->dataServer.listen_after_bind(); });
    impl_->accountThread = std::thread([this] { impl_->accountServer.listen_after_bind(); });
    impl_->started = true;
    // The sockets already listen; wait until both accept loops run, so that stop() reaches them.
    auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while ((!impl_->dataServer.is_running() || !impl_->accountServer.is_running()) && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

void DataServer::stop()
{
    if (!impl_->started)
        return;
    impl_->gate.shut();
    impl_->dataServer.stop();
    impl_->accountServer.stop();
    impl_->dataThread.join();
    impl_->accountThread.join();
    impl_->started = false;
}

int DataServer::dataPort() const
{
    return impl_->dataPort;
}

int DataServer::accountPort() const
{
    return impl_->accountPort;
}

std::string DataServer::dataRoot() const
{
    return "http://" + hostInUrl(impl_->options.host) + ":" + std::to_string(impl_->dataPort) + "/" + kDataRootName + "/";
}

std::string DataServer::accountRoot() const
{
    return "http://" + hostInUrl(impl_->options.host) + ":" + std::to_string(impl_->accountPort) + "/" + kAccountRootName + "/";
}

void DataServer::fail(const std::string& path, Failure failure)
{
    impl_->rules.set(path, std::move(failure));
}

void DataServer::reset()
{
    impl_->rules.clear();
    impl_->gate.release({});
    impl_->log.clear();
}

void DataServer::release(const std::string& path)
{
    impl_->gate.release(path);
}

std::vector<RecordedRequest> DataServer::requests(const std::string& path, unsigned long long since) const
{
    return impl_->log.snapshot(path, since);
}

bool DataServer::waitForRequests(const std::string& path, std::size_t count, std::chrono::milliseconds timeout) const
{
    return impl_->log.waitFor(path, count, timeout);
}

World& DataServer::world()
{
    return impl_->world;
}

} // namespace dataserver
