// Dispatch queues, groups, semaphores, once, queue-specific keys and sources, under their C
// names. Queues are shared objects: the main queue (drained by the main run loop), global
// concurrent queues by priority, and labelled serial or concurrent queues. Work on a queue
// keeps the queue alive until it ran, so dropping a queue with pending work is safe. Every
// time (dispatch_time_t) is in nanoseconds on the platform clock's monotonic scale.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>

struct dispatch_queue_s;
struct dispatch_group_s;
struct dispatch_semaphore_s;
struct dispatch_source_s;
using dispatch_queue_t = std::shared_ptr<dispatch_queue_s>;
using dispatch_group_t = std::shared_ptr<dispatch_group_s>;
using dispatch_semaphore_t = std::shared_ptr<dispatch_semaphore_s>;
using dispatch_source_t = std::shared_ptr<dispatch_source_s>;
using dispatch_block_t = std::function<void()>;
using dispatch_function_t = void (*)(void*);
using dispatch_once_t = std::once_flag;
using dispatch_time_t = std::uint64_t;

// Queue attributes.
enum class dispatch_queue_attr_t { serial, concurrent };
inline constexpr dispatch_queue_attr_t DISPATCH_QUEUE_SERIAL = dispatch_queue_attr_t::serial;
inline constexpr dispatch_queue_attr_t DISPATCH_QUEUE_CONCURRENT = dispatch_queue_attr_t::concurrent;

// Global queue priorities.
inline constexpr long DISPATCH_QUEUE_PRIORITY_HIGH = 2;
inline constexpr long DISPATCH_QUEUE_PRIORITY_DEFAULT = 0;
inline constexpr long DISPATCH_QUEUE_PRIORITY_LOW = -2;
inline constexpr long DISPATCH_QUEUE_PRIORITY_BACKGROUND = -32768;

// Times.
inline constexpr dispatch_time_t DISPATCH_TIME_NOW = 0;
inline constexpr dispatch_time_t DISPATCH_TIME_FOREVER = ~0ull;
inline constexpr std::uint64_t NSEC_PER_SEC = 1000000000ull;
inline constexpr std::uint64_t NSEC_PER_MSEC = 1000000ull;
inline constexpr std::uint64_t NSEC_PER_USEC = 1000ull;
inline constexpr std::uint64_t USEC_PER_SEC = 1000000ull;
// `when` (or now, for DISPATCH_TIME_NOW) plus `delta` nanoseconds.
dispatch_time_t dispatch_time(dispatch_time_t when, std::int64_t delta);

// Queues.
dispatch_queue_t dispatch_get_main_queue();
dispatch_queue_t dispatch_get_global_queue(long priority, unsigned long flags);
dispatch_queue_t dispatch_queue_create(const char* label, dispatch_queue_attr_t attr = DISPATCH_QUEUE_SERIAL);
// The queue running the caller: the innermost queue block, the main queue on the main thread,
// else the default global queue.
dispatch_queue_t dispatch_get_current_queue();
// The queue's label; with nullptr (DISPATCH_CURRENT_QUEUE_LABEL), the current queue's ("" if none).
const char* dispatch_queue_get_label(const dispatch_queue_t& queue);
inline const dispatch_queue_t DISPATCH_CURRENT_QUEUE_LABEL = nullptr;

void dispatch_async(const dispatch_queue_t& queue, dispatch_block_t block);
// Runs `block` on the queue and waits for it. Called from a block already running on that
// queue, or for the main queue from the main thread, it runs the block at once instead of
// waiting for itself forever.
void dispatch_sync(const dispatch_queue_t& queue, const dispatch_block_t& block);
// On a concurrent queue the block runs alone: after every block before it, before every block
// after it. On serial and global queues these are plain async/sync.
void dispatch_barrier_async(const dispatch_queue_t& queue, dispatch_block_t block);
void dispatch_barrier_sync(const dispatch_queue_t& queue, const dispatch_block_t& block);
void dispatch_after(dispatch_time_t when, const dispatch_queue_t& queue, dispatch_block_t block);
void dispatch_once(dispatch_once_t* predicate, const dispatch_block_t& block);

// Queue-specific values: the destructor runs on the context when it is replaced or the queue ends.
void dispatch_queue_set_specific(
    const dispatch_queue_t& queue, const void* key, void* context, dispatch_function_t destructor);
void* dispatch_queue_get_specific(const dispatch_queue_t& queue, const void* key);
// The value for `key` on the current queue (see dispatch_get_current_queue), or nullptr.
void* dispatch_get_specific(const void* key);

// Groups.
dispatch_group_t dispatch_group_create();
void dispatch_group_async(const dispatch_group_t& group, const dispatch_queue_t& queue, dispatch_block_t block);
void dispatch_group_enter(const dispatch_group_t& group);
void dispatch_group_leave(const dispatch_group_t& group);
void dispatch_group_notify(const dispatch_group_t& group, const dispatch_queue_t& queue, dispatch_block_t block);
// 0 when the group emptied, non-zero when `timeout` passed first.
long dispatch_group_wait(const dispatch_group_t& group, dispatch_time_t timeout);

// Semaphores. wait returns 0, or non-zero when `timeout` passed; signal returns non-zero when it
// woke a waiter.
dispatch_semaphore_t dispatch_semaphore_create(long value);
long dispatch_semaphore_wait(const dispatch_semaphore_t& semaphore, dispatch_time_t timeout);
long dispatch_semaphore_signal(const dispatch_semaphore_t& semaphore);

// Sources: timers, readable and writable descriptors, and file events (delete, rename, write,
// attributes). A source starts suspended; dispatch_resume starts it. Its handlers run on its
// queue, one at a time. The event data of a timer counts the fires since the last handler; of a
// descriptor, the bytes readable (an estimate); of a file, the event bits. A source dropped by
// its owner stops by itself; dispatch_source_cancel stops it and runs the cancel handler.
enum class dispatch_source_type_t { timer, read, write, vnode };
inline constexpr dispatch_source_type_t DISPATCH_SOURCE_TYPE_TIMER = dispatch_source_type_t::timer;
inline constexpr dispatch_source_type_t DISPATCH_SOURCE_TYPE_READ = dispatch_source_type_t::read;
inline constexpr dispatch_source_type_t DISPATCH_SOURCE_TYPE_WRITE = dispatch_source_type_t::write;
inline constexpr dispatch_source_type_t DISPATCH_SOURCE_TYPE_VNODE = dispatch_source_type_t::vnode;
inline constexpr unsigned long DISPATCH_VNODE_DELETE = 0x1;
inline constexpr unsigned long DISPATCH_VNODE_WRITE = 0x2;
inline constexpr unsigned long DISPATCH_VNODE_EXTEND = 0x4;
inline constexpr unsigned long DISPATCH_VNODE_ATTRIB = 0x8;
inline constexpr unsigned long DISPATCH_VNODE_LINK = 0x10;
inline constexpr unsigned long DISPATCH_VNODE_RENAME = 0x20;

dispatch_source_t dispatch_source_create(
    dispatch_source_type_t type, std::uintptr_t handle, unsigned long mask, const dispatch_queue_t& queue);
// First fire at `start`, then every `interval` ns (DISPATCH_TIME_FOREVER: once). Leeway is ignored.
void dispatch_source_set_timer(
    const dispatch_source_t& source, dispatch_time_t start, std::uint64_t interval, std::uint64_t leeway);
void dispatch_source_set_event_handler(const dispatch_source_t& source, dispatch_block_t handler);
void dispatch_source_set_cancel_handler(const dispatch_source_t& source, dispatch_block_t handler);
void dispatch_resume(const dispatch_source_t& source);
void dispatch_suspend(const dispatch_source_t& source);
void dispatch_source_cancel(const dispatch_source_t& source);
long dispatch_source_testcancel(const dispatch_source_t& source);
unsigned long dispatch_source_get_data(const dispatch_source_t& source);
std::uintptr_t dispatch_source_get_handle(const dispatch_source_t& source);
unsigned long dispatch_source_get_mask(const dispatch_source_t& source);
