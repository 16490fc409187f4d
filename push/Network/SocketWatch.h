// Watches a socket from the current thread's run loop (default mode): readable and writable
// events reach the owner's member functions for as long as the owner lives. unwatchSocket stops
// the watch and closes the socket.
#pragma once

#include <unistd.h>

#include <memory>

#include "platform/threading/FileDescriptorSource.h"
#include "platform/threading/NSRunLoop.h"

namespace push::net {

struct SocketWatch {
    std::shared_ptr<threading::FileDescriptorSource> source;
    std::weak_ptr<NSRunLoop> loop;
};

template <class Owner>
SocketWatch watchSocket(int fd, const std::shared_ptr<Owner>& owner, void (Owner::*onReadable)(),
    void (Owner::*onWritable)())
{
    std::weak_ptr<Owner> weak = owner;
    auto source = threading::FileDescriptorSource::create(
        fd,
        [weak, onReadable] {
            if (auto strong = weak.lock())
                ((*strong).*onReadable)();
        },
        [weak, onWritable] {
            if (auto strong = weak.lock())
                ((*strong).*onWritable)();
        });
    auto loop = NSRunLoop::currentRunLoop();
    loop->addSource(source, NSDefaultRunLoopMode);
    return { source, loop };
}

inline void unwatchSocket(std::shared_ptr<threading::FileDescriptorSource>& source, int& fd)
{
    if (source) {
        source->invalidate();
        source.reset();
    }
    if (fd >= 0) {
        ::close(fd);
        fd = -1;
    }
}

} // namespace push::net
