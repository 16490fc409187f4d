// Failure injection: per path, how the server should answer instead of (or before) its normal
// reply, and the gate that holds requests until a test releases them.
#pragma once

#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <optional>
#include <string>

namespace dataserver {

enum class FailureMode {
    Normal,  // the normal reply, after the delay (or hold)
    Status,  // an envelope with `status` (0 = a refusal the app shows) and `msg`
    Http,    // an HTTP error status (500 unless set) with a short text body
    NotJson, // status 200 with an HTML body
    Empty,   // status 200 with an empty body
    Body,    // status 200 with `body` as given, typed `contentType`
    Drop,    // the connection is closed without any reply
};

struct Failure {
    FailureMode mode = FailureMode::Normal;
    int status = 0;
    std::string msg;
    int httpStatus = 500;
    std::string body;
    std::string contentType = "application/json";
    std::chrono::milliseconds delay { 0 };
    bool hold = false; // wait for release() (or the server's stop) before answering
    int times = 0;     // how many requests it applies to; 0 = until reset

    static Failure refuse(std::string msg, int status = 0);
    static Failure http(int status = 500);
    static Failure notJson();
    static Failure empty();
    static Failure drop();
    static Failure withBody(std::string body, std::string contentType = "application/json");
    static Failure delayed(std::chrono::milliseconds delay);
    static Failure held();

    // Names used by the HTTP control: "status", "http", "notjson", "empty", "body", "drop",
    // "delay", "hold".
    static std::optional<FailureMode> modeNamed(const std::string& name);
    std::string describe() const;
};

class FailureRules {
public:
    // `path` is below the root ("data/listPhone.do"); "*" applies to every path without its own.
    void set(const std::string& path, Failure failure);
    void clear();
    // The rule for a request to `path`, counting it against the rule's `times`.
    std::optional<Failure> take(const std::string& path);

private:
    std::mutex mutex_;
    std::map<std::string, Failure> rules_;
};

// Holds requests until released. A request takes a ticket before it is recorded, so a release
// that follows the recording always frees it.
class HoldGate {
public:
    using Ticket = unsigned long long;

    Ticket ticket(const std::string& path);
    // Waits until the path (or everything) is released after the ticket, the gate is shut, or
    // the time-out passes.
    void wait(const std::string& path, Ticket ticket, std::chrono::milliseconds timeout);
    // Waits up to `delay`, cut short when the gate is shut.
    void sleep(std::chrono::milliseconds delay);
    // An empty path releases every held request.
    void release(const std::string& path);
    void shut();
    void open();

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::map<std::string, Ticket> releasedAt_;
    Ticket counter_ = 0;
    Ticket allReleasedAt_ = 0;
    bool shut_ = false;
};

} // namespace dataserver
