#pragma once
// Synchronous calls from another thread onto the thread that created this
// object: a hidden message-only window that callers SendMessage. The caller
// waits until the call has run; the owning thread runs it whenever it serves
// sent messages (its message loop, a modal loop, or a wait that serves them).
#include <windows.h>

#include <functional>

#include "support/ui/window.h"

namespace orvo {

class UiThreadCalls : public Window {
public:
    // Must be created on the thread that is to run the calls.
    UiThreadCalls();

    // From any thread: runs call on the owning thread and waits for it. A call
    // that throws is shown in the standard error box. False when the window is
    // already gone and the call did not run.
    static bool run(HWND calls, const std::function<void()>& call);

    // On the owning thread: true while it runs a call sent by another thread.
    // That thread is blocked until the call returns, so waiting for it here
    // would never end.
    bool serving() const noexcept { return depth_ > 0; }

protected:
    LRESULT onMessage(UINT msg, WPARAM wp, LPARAM lp) override;

private:
    int depth_ = 0;
};

}  // namespace orvo
