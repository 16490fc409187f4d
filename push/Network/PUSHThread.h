// The push client's run-loop threads: PUSHThread (a platform thread in normal or alive mode),
// the builder that names and starts one, and the registry of threads by name. The alive mode
// keeps its run loop turning with nothing scheduled, so sockets and timers can be added later.
#pragma once

#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "platform/threading/NSThread.h"

class PUSHThreadBuilder;

enum PUSHThreadMode : unsigned {
    PUSHThreadNormalMode = 0,
    PUSHThreadAliveMode = 1,
};

class PUSHThread : public NSThread {
public:
    // A thread of the mode: 0 plain, 1 alive (its body runs clientThreadMain). Any other mode
    // gives an object that is never started.
    static std::shared_ptr<PUSHThread> initWithRunLoopMode(unsigned mode);

    static std::shared_ptr<PUSHThreadBuilder> builder(unsigned mode);
    static std::shared_ptr<PUSHThreadBuilder> builderWithPrototype(const std::shared_ptr<PUSHThread>& prototype);
    std::shared_ptr<PUSHThreadBuilder> toBuilder();

    // The two process-wide defaults; none until the initialisers ran.
    static std::shared_ptr<PUSHThread> defaultNormalModeInstance();
    static std::shared_ptr<PUSHThread> defaultAliveModeInstance();
    static void normalModeInitialize();
    static void aliveModeinitialize();

    const std::string& threadName() const { return threadName_; }
    // Also names the platform thread.
    void setThreadName(const std::string& name);
    void clearThreadName();
    bool hasThreadName() const { return hasThreadName_; }
    unsigned type() const { return type_; }
    bool hasType() const { return hasType_; }
    bool platformInitialized() const { return platformInitialized_; }
    bool isInitialized() const { return true; }

    // The same object, or a PUSHThread of the same name and type.
    bool isEqual(const PUSHThread& other) const;

    // Runs `action` on this thread without waiting, as long as `target` lives then.
    template <class T>
    void invokeMethodWithTarget(const std::shared_ptr<T>& target, std::function<void(T&)> action)
    {
        invokeBlock(threading::weakly(target, std::move(action)));
    }
    // Runs `block` on this thread without waiting.
    void invokeBlock(std::function<void()> block);

    // Asks the thread to end: its run loop stops and its body returns.
    void closeMySelf();
    // Ends the calling thread's run (to be called on this thread).
    void close();
    bool isClosing() const { return closing_; }

    void main() override;
    std::string className() const override { return "PUSHThread"; }

    PUSHThread(unsigned mode, bool platformInitialized);

private:
    void clientThreadMain();

    std::string threadName_;
    bool hasThreadName_ = false;
    unsigned type_ = PUSHThreadNormalMode;
    bool hasType_ = false;
    bool platformInitialized_ = false;
    std::atomic<bool> closing_ { false };
};

class PUSHThreadBuilder : public NSObject {
public:
    static std::shared_ptr<PUSHThreadBuilder> initWithRunLoopMode(unsigned mode);

    std::shared_ptr<PUSHThread> resultThread() const;
    void setResultThread(std::shared_ptr<PUSHThread> thread);

    std::shared_ptr<PUSHThreadBuilder> setThreadName(const std::string& name);
    std::shared_ptr<PUSHThreadBuilder> clearThreadName();
    bool hasThreadName() const;
    std::string threadName() const;
    bool hasType() const;
    unsigned type() const;

    // Starts the result thread and returns it.
    std::shared_ptr<PUSHThread> build();
    // The result thread, not started.
    std::shared_ptr<PUSHThread> buildPartial();
    // Closes the result thread and starts over with a fresh one of the same type.
    std::shared_ptr<PUSHThreadBuilder> clear();
    std::shared_ptr<PUSHThreadBuilder> clone();
    std::shared_ptr<PUSHThread> defaultInstance() const;
    // Takes over the other thread's name when it has one and is not the default instance.
    std::shared_ptr<PUSHThreadBuilder> mergeFrom(const std::shared_ptr<PUSHThread>& other);

    std::string className() const override { return "PUSHThreadBuilder"; }

private:
    mutable std::mutex mutex_;
    std::shared_ptr<PUSHThread> resultThread_;
};

class PUSHThreadController : public NSObject {
public:
    static std::shared_ptr<PUSHThreadController> shareThreadInstance();

    // Registers the thread under its platform name; false without a thread or a name.
    bool addThread(const std::shared_ptr<NSThread>& thread);
    // Closes the registered thread of that name and forgets it; false when there is none.
    bool deleteThread(const std::string& name);
    std::shared_ptr<NSThread> getThreadWithName(const std::string& name) const;

    std::string className() const override { return "PUSHThreadController"; }

private:
    mutable std::mutex mutex_;
    std::map<std::string, std::shared_ptr<NSThread>> threadQueue_;
};
