// The limits of one response body: what it declares, what arrives, and how far a compressed body
// inflates. Kept by the transport for each exchange; a body past them fails the load with
// NSURLErrorDataLengthExceedsMaximum.
#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <string>

#include "platform/network/ResponseHead.h"

namespace network {

class BodyLimit {
public:
    // Bodies that inflate more than this many times over are refused once past kInflationFloor.
    static constexpr std::int64_t kMaxInflationRatio = 200;
    static constexpr std::int64_t kInflationFloor = 1 << 20;

    BodyLimit() = default;
    BodyLimit(std::int64_t maximum, bool held) : maximum_(maximum), held_(held) { }
    // At the final head: false (with why()) when it already declares too much.
    bool acceptHead(const ResponseHead& head, bool bodyless);
    // After each delivered piece: false (with why()) once past a limit.
    bool acceptBody(std::size_t length, std::int64_t received);
    const std::string& why() const { return why_; }

private:
    std::int64_t maximum_ = std::numeric_limits<std::int64_t>::max();
    bool held_ = false;
    bool encoded_ = false;
    std::int64_t delivered_ = 0;
    std::string why_;
};

} // namespace network
