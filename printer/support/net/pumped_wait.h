#pragma once
// Blocking work that keeps the window alive. The work runs on a short-lived
// thread while the calling (user-interface) thread waits in a loop that
// dispatches its messages, so flow code can stay sequential ("download, then
// write the file") while windows repaint, buttons answer and incoming COM
// calls are served. Calls the worker posts run on the waiting thread.
#include <windows.h>

#include <deque>
#include <exception>
#include <functional>
#include <mutex>
#include <optional>
#include <utility>

#include "support/portable/app_error.h"
#include "support/win32/unique.h"

namespace orvo {

// The waiting thread saw WM_QUIT (or one of the posted calls failed): the
// work is asked to stop at its next check.
class WaitCancelled : public AppError {
public:
    WaitCancelled();
};

// Carries calls from the worker to the waiting thread. Thread-safe.
class UiQueue {
public:
    UiQueue();
    UiQueue(const UiQueue&) = delete;
    UiQueue& operator=(const UiQueue&) = delete;

    // Queues call to run on the waiting thread. A call with a non-zero
    // coalesceKey replaces a queued call with the same key that has not run
    // yet and is the last in the queue, so a fast transfer's counts cannot
    // flood the queue while a modal loop holds the waiting thread elsewhere.
    void post(std::function<void()> call, int coalesceKey = 0);

    bool cancelRequested() const noexcept;

    // Used by the wait loop.
    void requestCancel() noexcept;
    HANDLE wakeEvent() const noexcept { return wake_.get(); }
    // Runs the queued calls in order; the first exception is returned (and
    // cancels the work), the remaining calls are dropped.
    std::exception_ptr drain();

private:
    struct Entry {
        std::function<void()> call;
        int key;
    };
    mutable std::mutex mutex_;
    std::deque<Entry> entries_;
    bool cancelled_ = false;
    UniqueHandle wake_;
};

// Runs work(queue) on a new thread and waits for it while dispatching the
// calling thread's messages and the calls the work posts. The first
// exception of a posted call (which also cancels the work) is rethrown here;
// failing that, the work's own. A WM_QUIT met while waiting cancels the work
// and is posted again once the work has ended, so the caller's message loop
// still ends.
void runPumped(const std::function<void(UiQueue&)>& work);

template <typename R>
R runPumpedResult(const std::function<R(UiQueue&)>& work) {
    std::optional<R> result;
    runPumped([&](UiQueue& queue) { result.emplace(work(queue)); });
    return std::move(*result);
}

}  // namespace orvo
