// Script: the bytes a connection sends and what it does between and after them. A structured
// reply is rendered into a script; a handler may also return one directly for byte-level faults.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace httpserver {

// Produces up to `max` bytes of a body starting at `offset`; never returns an empty string
// before the body's length is reached.
using BodySource = std::function<std::string(std::uint64_t offset, std::size_t max)>;

// A source whose byte i is pattern[i % pattern.size()]: large bodies a client can check
// without the server holding them whole.
BodySource repeating(std::string pattern);

// A barrier the test opens: a script that waits on it sends nothing further until then.
class Gate {
public:
    void open();
    bool isOpen() const;
    // True once open; false if `timeout` passed first.
    bool waitFor(std::chrono::milliseconds timeout) const;

private:
    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    bool open_ = false;
};

class Script {
public:
    struct Step {
        enum class Kind {
            Send, // bytes, in pieces of `chunk` bytes with `interval` between them (chunk 0: at once)
            Stream, // `length` bytes from `source`, paced like Send; each piece a chunk if `chunked`
            Pause, // wait `interval`
            Wait, // wait until `gate` opens
            Close, // orderly close (TLS close_notify, then FIN); the connection ends
            Drop, // FIN without TLS close_notify, as a peer that vanished; the connection ends
            Reset, // RST; the connection ends
            Hold, // read and discard until the peer closes or the server stops; the connection ends
        };
        Kind kind = Kind::Send;
        std::string bytes;
        std::size_t chunk = 0;
        std::chrono::milliseconds interval { 0 };
        std::shared_ptr<Gate> gate;
        BodySource source;
        std::uint64_t length = 0;
        bool chunked = false;
        bool lastChunk = true;
    };

    Script& send(std::string bytes);
    Script& trickle(std::string bytes, std::size_t chunk, std::chrono::milliseconds interval);
    // `length` bytes from `source`; with `chunked`, each piece is framed as a chunk and, if
    // `lastChunk`, the last chunk follows. Pieces are `chunk` bytes (0: 64 KiB) with
    // `interval` between them.
    Script& stream(std::uint64_t length, BodySource source, bool chunked, std::size_t chunk,
        std::chrono::milliseconds interval, bool lastChunk = true);
    Script& pause(std::chrono::milliseconds interval);
    Script& wait(std::shared_ptr<Gate> gate);
    Script& close();
    Script& drop();
    Script& reset();
    Script& hold();

    const std::vector<Step>& steps() const { return steps_; }
    // True when the script ends its connection (its last step is Close, Drop, Reset or Hold).
    bool endsConnection() const;

private:
    std::vector<Step> steps_;
};

} // namespace httpserver
