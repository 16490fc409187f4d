// The one shared instance of a logger class, and the rule that a further instance is refused
// once the shared one exists.
#pragma once

#include <memory>
#include <mutex>

template <typename T>
class PUSHOneInstance {
public:
    // The shared instance, made with `make` on the first call.
    template <typename Make>
    std::shared_ptr<T> shared(Make make)
    {
        std::lock_guard lock(mutex_);
        if (!instance_)
            instance_ = make();
        return instance_;
    }
    // A new instance from `make`, or null once the shared instance exists.
    template <typename Make>
    std::shared_ptr<T> another(Make make)
    {
        std::lock_guard lock(mutex_);
        return instance_ ? nullptr : make();
    }

private:
    std::mutex mutex_;
    std::shared_ptr<T> instance_;
};
