#include "support/net/pumped_wait.h"

#include <thread>

#include "support/win32/win_error.h"
#include "support/win32/win_text.h"

namespace orvo {
namespace {

// Messages handled per pass before the loop looks at its events again, so a
// window that keeps producing messages cannot hide the end of the work.
constexpr int kMessagesPerPass = 64;

// How long an ending program waits for cancelled work. A blocking WinHTTP
// call on a server that accepts and then says nothing only returns when the
// server does, and the work holds references into the waiting frame, so it
// can be neither abandoned nor waited for without end.
constexpr DWORD kQuitGraceMs = 2000;

}  // namespace

WaitCancelled::WaitCancelled() : AppError(wideToGbk(L"操作已取消")) {}

UiQueue::UiQueue() : wake_(::CreateEventW(nullptr, FALSE, FALSE, nullptr)) {
    throwLastErrorIf(!wake_, "CreateEvent");
}

void UiQueue::post(std::function<void()> call, int coalesceKey) {
    {
        std::lock_guard lock(mutex_);
        if (coalesceKey != 0 && !entries_.empty() && entries_.back().key == coalesceKey)
            entries_.back().call = std::move(call);
        else
            entries_.push_back({std::move(call), coalesceKey});
    }
    ::SetEvent(wake_.get());
}

bool UiQueue::cancelRequested() const noexcept {
    std::lock_guard lock(mutex_);
    return cancelled_;
}

void UiQueue::requestCancel() noexcept {
    std::lock_guard lock(mutex_);
    cancelled_ = true;
}

std::exception_ptr UiQueue::drain() {
    for (;;) {
        std::function<void()> call;
        {
            std::lock_guard lock(mutex_);
            if (entries_.empty()) return nullptr;
            call = std::move(entries_.front().call);
            entries_.pop_front();
        }
        // Unlocked while it runs: the call may dispatch messages or post.
        try {
            call();
        } catch (...) {
            std::lock_guard lock(mutex_);
            cancelled_ = true;
            entries_.clear();
            return std::current_exception();
        }
    }
}

void runPumped(const std::function<void(UiQueue&)>& work) {
    UiQueue queue;
    UniqueHandle done(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    throwLastErrorIf(!done, "CreateEvent");

    std::exception_ptr workError;
    std::thread worker([&] {
        try {
            work(queue);
        } catch (...) {
            workError = std::current_exception();
        }
        ::SetEvent(done.get());
    });

    std::exception_ptr uiError;
    bool quit = false;
    WPARAM quitCode = 0;
    const HANDLE handles[] = {done.get(), queue.wakeEvent()};
    for (;;) {
        if (std::exception_ptr e = queue.drain(); e && !uiError) uiError = e;
        if (::WaitForSingleObject(done.get(), 0) == WAIT_OBJECT_0) break;
        if (quit) {
            // The program is ending: serve nothing more, give the work a
            // moment to see the cancellation, then end the process rather
            // than linger invisibly behind a silent server.
            if (::WaitForSingleObject(done.get(), kQuitGraceMs) != WAIT_OBJECT_0)
                ::ExitProcess(static_cast<UINT>(quitCode));
            break;
        }

        DWORD r = ::MsgWaitForMultipleObjectsEx(2, handles, INFINITE, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
        if (r == WAIT_OBJECT_0 + 2) {
            MSG msg;
            for (int n = 0; n < kMessagesPerPass && ::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE); ++n) {
                if (msg.message == WM_QUIT) {
                    // Keep it for the caller's loop; stop the work meanwhile.
                    quit = true;
                    quitCode = msg.wParam;
                    queue.requestCancel();
                    continue;
                }
                ::TranslateMessage(&msg);
                ::DispatchMessageW(&msg);
            }
        } else if (r == WAIT_FAILED) {
            // Cannot wait properly; fall back to a short sleep rather than spin.
            ::Sleep(10);
        }
    }
    worker.join();
    // Calls posted just before the work ended (the final byte count).
    if (std::exception_ptr e = queue.drain(); e && !uiError) uiError = e;

    if (quit) ::PostQuitMessage(static_cast<int>(quitCode));
    // A failed posted call cancels the work, so it is the cause to report.
    if (uiError) std::rethrow_exception(uiError);
    if (workError) std::rethrow_exception(workError);
}

}  // namespace orvo
