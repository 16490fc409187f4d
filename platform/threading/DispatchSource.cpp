// Dispatch sources on the manager thread's run loop: timers as NSTimers, descriptors as
// FileDescriptorSources, file events through inotify. Events are merged into the source's data
// and its handler is queued on the target queue, one at a time.
#include <fcntl.h>
#include <sys/inotify.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cmath>

#include "platform/threading/DispatchInternal.h"
#include "platform/threading/FileDescriptorSource.h"
#include "platform/threading/NSTimer.h"

struct dispatch_source_s : std::enable_shared_from_this<dispatch_source_s> {
    dispatch_source_s(dispatch_source_type_t t, std::uintptr_t h, unsigned long m, dispatch_queue_t q)
        : type(t)
        , handle(h)
        , mask(m)
        , queue(std::move(q))
    {
    }
    ~dispatch_source_s() { teardown(); }

    void arm();
    void armTimer();
    void armDescriptor();
    void armFileEvents();
    void deliver(unsigned long data);
    void queueHandlerLocked();
    void runHandler();
    void readFileEvents();
    void teardown();

    const dispatch_source_type_t type;
    const std::uintptr_t handle;
    const unsigned long mask;
    const dispatch_queue_t queue;

    std::mutex mutex;
    dispatch_block_t handler;
    dispatch_block_t cancelHandler;
    int suspendCount = 1;
    bool armed = false;
    bool cancelled = false;
    bool handlerQueued = false;
    unsigned long pending = 0;
    unsigned long current = 0;
    dispatch_time_t start = DISPATCH_TIME_FOREVER;
    std::uint64_t interval = DISPATCH_TIME_FOREVER;
    std::shared_ptr<NSTimer> timer;
    std::shared_ptr<threading::FileDescriptorSource> fdSource;
    int inotifyFd = -1;
    int watchedFd = -1; // a vnode source's own descriptor of its file, whatever the caller closes
};

void dispatch_source_s::arm()
{
    armed = true;
    switch (type) {
    case dispatch_source_type_t::timer:
        armTimer();
        return;
    case dispatch_source_type_t::read:
    case dispatch_source_type_t::write:
        armDescriptor();
        return;
    case dispatch_source_type_t::vnode:
        armFileEvents();
        return;
    }
}

void dispatch_source_s::armTimer()
{
    if (timer)
        timer->invalidate();
    timer = nullptr;
    if (start == DISPATCH_TIME_FOREVER)
        return;
    bool repeats = interval != DISPATCH_TIME_FOREVER && interval > 0;
    double seconds = repeats ? static_cast<double>(interval) / 1e9 : 0;
    std::weak_ptr<dispatch_source_s> weak = shared_from_this();
    timer = NSTimer::timerWithDeadline(threading::detail::secondsForDispatchTime(start), seconds, repeats,
        [weak, seconds, repeats](const std::shared_ptr<NSTimer>& t) {
            auto self = weak.lock();
            if (!self)
                return;
            // Fires missed while the clock jumped count too.
            unsigned long fires = 1;
            double late = foundation::clock::monotonic() - t->monotonicFire();
            if (repeats && late > 0)
                fires += static_cast<unsigned long>(std::floor(late / seconds));
            self->deliver(fires);
        });
    threading::detail::managerRunLoop()->addTimer(timer, NSRunLoopCommonModes);
}

void dispatch_source_s::armDescriptor()
{
    std::weak_ptr<dispatch_source_s> weak = shared_from_this();
    int fd = static_cast<int>(handle);
    if (type == dispatch_source_type_t::read) {
        fdSource = threading::FileDescriptorSource::create(
            fd,
            [weak, fd] {
                auto self = weak.lock();
                if (!self)
                    return;
                std::shared_ptr<threading::FileDescriptorSource> source;
                {
                    std::lock_guard lock(self->mutex);
                    source = self->fdSource;
                }
                if (source)
                    source->setReadEnabled(false); // until the handler ran
                int available = 0;
                if (ioctl(fd, FIONREAD, &available) != 0 || available < 0)
                    available = 0;
                self->deliver(static_cast<unsigned long>(available));
            },
            nullptr);
    } else {
        fdSource = threading::FileDescriptorSource::create(fd, nullptr, [weak] {
            if (auto self = weak.lock())
                self->deliver(1);
        });
        fdSource->enableWriteOnce();
    }
    threading::detail::managerRunLoop()->addSource(fdSource, NSRunLoopCommonModes);
}

void dispatch_source_s::armFileEvents()
{
    // The caller may close its descriptor before it cancels the source, and the number may then
    // name another file: the source looks at the file through a descriptor of its own.
    watchedFd = fcntl(static_cast<int>(handle), F_DUPFD_CLOEXEC, 0);
    if (watchedFd < 0)
        return;
    inotifyFd = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (inotifyFd < 0)
        return;
    char path[PATH_MAX] = {};
    std::string link = "/proc/self/fd/" + std::to_string(watchedFd);
    ssize_t length = readlink(link.c_str(), path, sizeof path - 1);
    if (length <= 0 || inotify_add_watch(inotifyFd, path, IN_DELETE_SELF | IN_MOVE_SELF | IN_ATTRIB | IN_MODIFY) < 0) {
        close(inotifyFd);
        inotifyFd = -1;
        return;
    }
    std::weak_ptr<dispatch_source_s> weak = shared_from_this();
    fdSource = threading::FileDescriptorSource::create(
        inotifyFd,
        [weak] {
            if (auto self = weak.lock())
                self->readFileEvents();
        },
        nullptr);
    threading::detail::managerRunLoop()->addSource(fdSource, NSRunLoopCommonModes);
}

// Unlinking a file that is still open gives no delete-self event, only an attribute change
// (the link count), so the link count of the open descriptor is checked on every event.
void dispatch_source_s::readFileEvents()
{
    alignas(inotify_event) char buffer[4096];
    unsigned long bits = 0;
    std::unique_lock lock(mutex);
    if (inotifyFd < 0)
        return;
    for (;;) {
        ssize_t length = read(inotifyFd, buffer, sizeof buffer);
        if (length <= 0)
            break;
        for (ssize_t offset = 0; offset + static_cast<ssize_t>(sizeof(inotify_event)) <= length;) {
            auto* event = reinterpret_cast<inotify_event*>(buffer + offset);
            if (event->mask & IN_DELETE_SELF)
                bits |= DISPATCH_VNODE_DELETE;
            if (event->mask & IN_MOVE_SELF)
                bits |= DISPATCH_VNODE_RENAME;
            if (event->mask & IN_ATTRIB)
                bits |= DISPATCH_VNODE_ATTRIB;
            if (event->mask & IN_MODIFY)
                bits |= DISPATCH_VNODE_WRITE | DISPATCH_VNODE_EXTEND;
            offset += static_cast<ssize_t>(sizeof(inotify_event)) + event->len;
        }
    }
    struct stat info {};
    if (fstat(watchedFd, &info) == 0 && info.st_nlink == 0)
        bits |= DISPATCH_VNODE_DELETE;
    lock.unlock();
    bits &= mask;
    if (bits)
        deliver(bits);
}

void dispatch_source_s::deliver(unsigned long data)
{
    std::lock_guard lock(mutex);
    if (cancelled)
        return;
    if (type == dispatch_source_type_t::vnode)
        pending |= data;
    else if (type == dispatch_source_type_t::timer)
        pending += data;
    else
        pending = data;
    queueHandlerLocked();
}

void dispatch_source_s::queueHandlerLocked()
{
    if (handlerQueued || suspendCount > 0 || cancelled)
        return;
    handlerQueued = true;
    auto self = shared_from_this();
    dispatch_async(queue, [self] { self->runHandler(); });
}

void dispatch_source_s::runHandler()
{
    dispatch_block_t block;
    {
        std::lock_guard lock(mutex);
        handlerQueued = false;
        if (cancelled || suspendCount > 0)
            return;
        current = pending;
        pending = 0;
        block = handler;
    }
    if (block)
        block();
    std::lock_guard lock(mutex);
    if (cancelled || !fdSource)
        return;
    if (type == dispatch_source_type_t::read)
        fdSource->setReadEnabled(true);
    else if (type == dispatch_source_type_t::write)
        fdSource->enableWriteOnce();
}

void dispatch_source_s::teardown()
{
    if (timer)
        timer->invalidate();
    timer = nullptr;
    if (fdSource)
        fdSource->invalidate();
    fdSource = nullptr;
    if (inotifyFd >= 0)
        close(inotifyFd);
    inotifyFd = -1;
    if (watchedFd >= 0)
        close(watchedFd);
    watchedFd = -1;
}

dispatch_source_t dispatch_source_create(
    dispatch_source_type_t type, std::uintptr_t handle, unsigned long mask, const dispatch_queue_t& queue)
{
    dispatch_queue_t target = queue ? queue : dispatch_get_global_queue(DISPATCH_QUEUE_PRIORITY_DEFAULT, 0);
    return std::make_shared<dispatch_source_s>(type, handle, mask, std::move(target));
}

void dispatch_source_set_timer(
    const dispatch_source_t& source, dispatch_time_t start, std::uint64_t interval, std::uint64_t)
{
    if (!source || source->type != dispatch_source_type_t::timer)
        return;
    std::lock_guard lock(source->mutex);
    source->start = start == DISPATCH_TIME_NOW ? dispatch_time(DISPATCH_TIME_NOW, 0) : start;
    source->interval = interval;
    source->pending = 0;
    if (source->armed && !source->cancelled)
        source->armTimer();
}

void dispatch_source_set_event_handler(const dispatch_source_t& source, dispatch_block_t handler)
{
    if (!source)
        return;
    dispatch_block_t old;
    std::lock_guard lock(source->mutex);
    old = std::move(source->handler);
    if (!source->cancelled)
        source->handler = std::move(handler);
}

void dispatch_source_set_cancel_handler(const dispatch_source_t& source, dispatch_block_t handler)
{
    if (!source)
        return;
    dispatch_block_t old;
    std::lock_guard lock(source->mutex);
    old = std::move(source->cancelHandler);
    if (!source->cancelled)
        source->cancelHandler = std::move(handler);
}

void dispatch_resume(const dispatch_source_t& source)
{
    if (!source)
        return;
    std::lock_guard lock(source->mutex);
    if (source->suspendCount == 0 || --source->suspendCount > 0 || source->cancelled)
        return;
    if (!source->armed)
        source->arm();
    else if (source->pending)
        source->queueHandlerLocked();
}

void dispatch_suspend(const dispatch_source_t& source)
{
    if (!source)
        return;
    std::lock_guard lock(source->mutex);
    ++source->suspendCount;
}

void dispatch_source_cancel(const dispatch_source_t& source)
{
    if (!source)
        return;
    dispatch_block_t handler;
    dispatch_block_t cancelHandler;
    {
        std::lock_guard lock(source->mutex);
        if (source->cancelled)
            return;
        source->cancelled = true;
        handler = std::move(source->handler);
        cancelHandler = std::move(source->cancelHandler);
        source->handler = nullptr;
        source->cancelHandler = nullptr;
        source->teardown();
    }
    if (cancelHandler)
        dispatch_async(source->queue, std::move(cancelHandler));
}

long dispatch_source_testcancel(const dispatch_source_t& source)
{
    if (!source)
        return 0;
    std::lock_guard lock(source->mutex);
    return source->cancelled ? 1 : 0;
}

unsigned long dispatch_source_get_data(const dispatch_source_t& source)
{
    if (!source)
        return 0;
    std::lock_guard lock(source->mutex);
    return source->current;
}

std::uintptr_t dispatch_source_get_handle(const dispatch_source_t& source) { return source ? source->handle : 0; }

unsigned long dispatch_source_get_mask(const dispatch_source_t& source) { return source ? source->mask : 0; }
