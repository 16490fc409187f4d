// The pool of worker threads beneath the dispatch queues and operation queues. Jobs wait in one
// FIFO per priority; a free worker takes the oldest job of the highest priority. The pool keeps
// about one running worker per processor and lends an extra thread whenever a worker blocks in
// one of the platform's waits (BlockingScope), or when no job finished for a while although jobs
// are waiting (a worker blocked elsewhere), so blocked work never starves the rest.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>

namespace threading {

class WorkerPool {
public:
    enum class Priority { High = 0, Default = 1, Low = 2, Background = 3 };
    static constexpr int kPriorityCount = 4;

    // `activeLimit` running workers at most (more only while some are blocked), `threadLimit`
    // threads in all. Idle workers leave after `idleSeconds` (real time).
    WorkerPool(std::size_t activeLimit, std::size_t threadLimit, double idleSeconds = 5.0);
    // Drops jobs not yet started and waits for the workers to leave.
    ~WorkerPool();
    WorkerPool(const WorkerPool&) = delete;
    WorkerPool& operator=(const WorkerPool&) = delete;

    // The process-wide pool (never destroyed).
    static WorkerPool& shared();

    void submit(Priority priority, std::function<void()> job);

    // Number of threads right now (for tests and benchmarks).
    std::size_t threadCount() const;
    // True on a worker of the shared pool while jobs wait in it that nobody was woken for (the
    // running job queued them, or every worker is busy): the job should return soon rather
    // than wait for anything else.
    static bool currentJobHoldsUpWork();

private:
    friend class BlockingScope;
    struct State;
    void workerLoop();
    bool submitLocked(Priority priority, std::function<void()> job);
    void spawnLocked();
    void maybeSpawnLocked();
    void startWatchdogLocked();
    void watchdogLoop();
    void blockingBegan();
    void blockingEnded();

    std::shared_ptr<State> state_;
};

// Work a thread took ahead of time and has not started (a batch of queue blocks). When the
// thread blocks in one of the platform's waits, it is told, and hands the work back so others
// can run it; it is told again when the wait ends (waits may nest).
class HeldWork {
public:
    virtual void blockingBegan() = 0;
    virtual void blockingEnded() = 0;

protected:
    ~HeldWork() = default;
};

// Makes `work` the current thread's held work while it lives.
class HeldWorkScope {
public:
    explicit HeldWorkScope(HeldWork* work);
    ~HeldWorkScope();
    HeldWorkScope(const HeldWorkScope&) = delete;
    HeldWorkScope& operator=(const HeldWorkScope&) = delete;

private:
    HeldWork* previous_;
};

// Marks the current thread as blocked in a wait while it lives (handing back its held work). On a pool worker this lets the
// pool start another worker; elsewhere it does nothing.
class BlockingScope {
public:
    BlockingScope();
    ~BlockingScope();
    BlockingScope(const BlockingScope&) = delete;
    BlockingScope& operator=(const BlockingScope&) = delete;

private:
    WorkerPool* pool_;
    HeldWork* held_;
};

} // namespace threading
