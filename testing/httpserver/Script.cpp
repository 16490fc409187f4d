// Script building and the test-opened gate.
#include "testing/httpserver/Script.h"

#include <algorithm>

namespace httpserver {

BodySource repeating(std::string pattern)
{
    if (pattern.empty())
        pattern = "x";
    return [pattern](std::uint64_t offset, std::size_t max) {
        std::string out;
        out.reserve(max);
        std::size_t at = static_cast<std::size_t>(offset % pattern.size());
        while (out.size() < max) {
            std::size_t n = std::min(pattern.size() - at, max - out.size());
            out.append(pattern, at, n);
            at = 0;
        }
        return out;
    };
}

void Gate::open()
{
    std::lock_guard lock(mutex_);
    open_ = true;
    changed_.notify_all();
}

bool Gate::isOpen() const
{
    std::lock_guard lock(mutex_);
    return open_;
}

bool Gate::waitFor(std::chrono::milliseconds timeout) const
{
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, timeout, [this] { return open_; });
}

Script& Script::send(std::string bytes)
{
    return trickle(std::move(bytes), 0, std::chrono::milliseconds(0));
}

Script& Script::trickle(std::string bytes, std::size_t chunk, std::chrono::milliseconds interval)
{
    if (bytes.empty())
        return *this;
    Step s;
    s.kind = Step::Kind::Send;
    s.bytes = std::move(bytes);
    s.chunk = chunk;
    s.interval = interval;
    steps_.push_back(std::move(s));
    return *this;
}

Script& Script::stream(std::uint64_t length, BodySource source, bool chunked, std::size_t chunk,
    std::chrono::milliseconds interval, bool lastChunk)
{
    Step s;
    s.kind = Step::Kind::Stream;
    s.lastChunk = lastChunk;
    s.length = length;
    s.source = std::move(source);
    s.chunked = chunked;
    s.chunk = chunk;
    s.interval = interval;
    steps_.push_back(std::move(s));
    return *this;
}

Script& Script::pause(std::chrono::milliseconds interval)
{
    Step s;
    s.kind = Step::Kind::Pause;
    s.interval = interval;
    steps_.push_back(std::move(s));
    return *this;
}

Script& Script::wait(std::shared_ptr<Gate> gate)
{
    Step s;
    s.kind = Step::Kind::Wait;
    s.gate = std::move(gate);
    steps_.push_back(std::move(s));
    return *this;
}

namespace {

Script::Step ending(Script::Step::Kind kind)
{
    Script::Step s;
    s.kind = kind;
    return s;
}

} // namespace

Script& Script::close()
{
    steps_.push_back(ending(Step::Kind::Close));
    return *this;
}

Script& Script::drop()
{
    steps_.push_back(ending(Step::Kind::Drop));
    return *this;
}

Script& Script::reset()
{
    steps_.push_back(ending(Step::Kind::Reset));
    return *this;
}

Script& Script::hold()
{
    steps_.push_back(ending(Step::Kind::Hold));
    return *this;
}

bool Script::endsConnection() const
{
    if (steps_.empty())
        return false;
    auto k = steps_.back().kind;
    return k == Step::Kind::Close || k == Step::Kind::Drop || k == Step::Kind::Reset || k == Step::Kind::Hold;
}

} // namespace httpserver
