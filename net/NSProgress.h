// NSProgress: a unit count of work done out of a total, observable by key ("totalUnitCount",
// "completedUnitCount", "fractionCompleted"), with cancel and pause that call the owner's
// handlers. The platform layer has no progress object yet; the session manager needs one for
// its upload and download progress, so it lives here. Safe to use from several threads;
// observers are told on the thread that made the change.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "platform/threading/KeyValueObserving.h"

class NSProgress : public NSObject, public threading::KeyValueObservable {
public:
    static std::shared_ptr<NSProgress> progressWithTotalUnitCount(std::int64_t total);
    std::string className() const override { return "NSProgress"; }
    std::string description() const override;

    std::int64_t totalUnitCount() const;
    void setTotalUnitCount(std::int64_t total);
    std::int64_t completedUnitCount() const;
    void setCompletedUnitCount(std::int64_t completed);
    // completed / total; 0 while the total is unknown (0 or less).
    double fractionCompleted() const;

    bool isCancellable() const;
    void setCancellable(bool cancellable);
    bool isPausable() const;
    void setPausable(bool pausable);
    bool isCancelled() const;
    bool isPaused() const;

    // Each runs its handler once per change of state (a second cancel does nothing). A progress
    // that is not cancellable (or pausable) still records the state and calls the handler.
    void cancel();
    void pause();
    void resume();
    void setCancellationHandler(std::function<void()> handler);
    void setPausingHandler(std::function<void()> handler);
    void setResumingHandler(std::function<void()> handler);

    Value valueForKey(const std::string& key) const override;

private:
    mutable std::mutex mutex_;
    std::int64_t total_ = 0;
    std::int64_t completed_ = 0;
    bool cancellable_ = true;
    bool pausable_ = false;
    bool cancelled_ = false;
    bool paused_ = false;
    std::function<void()> cancellationHandler_;
    std::function<void()> pausingHandler_;
    std::function<void()> resumingHandler_;
};
