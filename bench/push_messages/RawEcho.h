// The baseline of the push message bench: a loopback TCP pair where one side writes `count`
// length-framed packets of `packetBytes` and the other answers each with a 24-byte packet, as
// plain blocking sockets on two threads; returns when the last answer has been read.
#pragma once

#include <cstddef>

namespace push_bench {

bool rawEcho(std::size_t count, std::size_t packetBytes);

} // namespace push_bench
