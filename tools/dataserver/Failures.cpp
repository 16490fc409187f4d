// Failure rules by path and the hold gate.
#include "tools/dataserver/Failures.h"

namespace dataserver {

Failure Failure::refuse(std::string msg, int status)
{
    Failure f;
    f.mode = FailureMode::Status;
    f.status = status;
    f.msg = std::move(msg);
    return f;
}

Failure Failure::http(int status)
{
    Failure f;
    f.mode = FailureMode::Http;
    f.httpStatus = status;
    return f;
}

Failure Failure::notJson()
{
    Failure f;
    f.mode = FailureMode::NotJson;
    return f;
}

Failure Failure::empty()
{
    Failure f;
    f.mode = FailureMode::Empty;
    return f;
}

Failure Failure::drop()
{
    Failure f;
    f.mode = FailureMode::Drop;
    return f;
}

Failure Failure::withBody(std::string body, std::string contentType)
{
    Failure f;
    f.mode = FailureMode::Body;
    f.body = std::move(body);
    f.contentType = std::move(contentType);
    return f;
}

Failure Failure::delayed(std::chrono::milliseconds delay)
{
    Failure f;
    f.delay = delay;
    return f;
}

Failure Failure::held()
{
    Failure f;
    f.hold = true;
    return f;
}

std::optional<FailureMode> Failure::modeNamed(const std::string& name)
{
    static const std::map<std::string, FailureMode> names = {
        { "status", FailureMode::Status }, { "http", FailureMode::Http }, { "notjson", FailureMode::NotJson },
        { "empty", FailureMode::Empty }, { "body", FailureMode::Body }, { "drop", FailureMode::Drop },
        { "delay", FailureMode::Normal }, { "hold", FailureMode::Normal },
    };
    auto it = names.find(name);
    if (it == names.end())
        return std::nullopt;
    return it->second;
}

std::string Failure::describe() const
{
    std::string text;
    switch (mode) {
    case FailureMode::Normal: text = "normal"; break;
    case FailureMode::Status: text = "status " + std::to_string(status); break;
    case FailureMode::Http: text = "http " + std::to_string(httpStatus); break;
    case FailureMode::NotJson: text = "notjson"; break;
    case FailureMode::Empty: text = "empty"; break;
    case FailureMode::Body: text = "body"; break;
    case FailureMode::Drop: text = "drop"; break;
    }
    if (hold)
        text += ", held";
    if (delay.count() > 0)
        text += ", delay " + std::to_string(delay.count()) + "ms";
    return text;
}

void FailureRules::set(const std::string& path, Failure failure)
{
    std::lock_guard lock(mutex_);
    rules_[path] = std::move(failure);
}

void FailureRules::clear()
{
    std::lock_guard lock(mutex_);
    rules_.clear();
}

std::optional<Failure> FailureRules::take(const std::string& path)
{
    std::lock_guard lock(mutex_);
    auto it = rules_.find(path);
    if (it == rules_.end())
        it = rules_.find("*");
    if (it == rules_.end())
        return std::nullopt;
    Failure failure = it->second;
    if (it->second.times > 0 && --it->second.times == 0)
        rules_.erase(it);
    return failure;
}

HoldGate::Ticket HoldGate::ticket(const std::string&)
{
    std::lock_guard lock(mutex_);
    return ++counter_;
}

void HoldGate::wait(const std::string& path, Ticket ticket, std::chrono::milliseconds timeout)
{
    std::unique_lock lock(mutex_);
    changed_.wait_for(lock, timeout, [&] {
        auto it = releasedAt_.find(path);
        bool released = allReleasedAt_ > ticket || (it != releasedAt_.end() && it->second > ticket);
        return released || shut_;
    });
}

void HoldGate::sleep(std::chrono::milliseconds delay)
{
    std::unique_lock lock(mutex_);
    changed_.wait_for(lock, delay, [&] { return shut_; });
}

void HoldGate::release(const std::string& path)
{
    {
        std::lock_guard lock(mutex_);
        ++counter_;
        if (path.empty())
            allReleasedAt_ = counter_;
        else
            releasedAt_[path] = counter_;
    }
    changed_.notify_all();
}

void HoldGate::shut()
{
    {
        std::lock_guard lock(mutex_);
        shut_ = true;
    }
    changed_.notify_all();
}

void HoldGate::open()
{
    std::lock_guard lock(mutex_);
    shut_ = false;
}

} // namespace dataserver
