#pragma once
// Refuses a second run of a flow while one is in progress: a wait that
// dispatches messages lets a second click arrive in the middle of the first
// transfer. For one thread only (the user-interface thread).
#include <utility>

namespace orvo {

class ReentryGuard {
public:
    class Scope {
    public:
        Scope(Scope&& other) noexcept : guard_(std::exchange(other.guard_, nullptr)) {}
        Scope(const Scope&) = delete;
        Scope& operator=(const Scope&) = delete;
        Scope& operator=(Scope&&) = delete;
        ~Scope() {
            if (guard_) guard_->busy_ = false;
        }
        // False when the guard was already held: the caller should not start.
        explicit operator bool() const noexcept { return guard_ != nullptr; }

    private:
        friend class ReentryGuard;
        explicit Scope(ReentryGuard* guard) noexcept : guard_(guard) {}
        ReentryGuard* guard_;
    };

    ReentryGuard() = default;
    ReentryGuard(const ReentryGuard&) = delete;
    ReentryGuard& operator=(const ReentryGuard&) = delete;

    Scope tryEnter() noexcept {
        if (busy_) return Scope(nullptr);
        busy_ = true;
        return Scope(this);
    }
    bool busy() const noexcept { return busy_; }

private:
    bool busy_ = false;
};

}  // namespace orvo
