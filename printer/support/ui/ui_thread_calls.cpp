#include "support/ui/ui_thread_calls.h"

#include <algorithm>
#include <mutex>
#include <vector>

namespace orvo {
namespace {

constexpr UINT kRunCall = WM_APP + 1;

// The calls on their way. Any process may send a message to our window, so
// the handler runs only a call that is listed here, never a pointer it was
// merely handed.
class CallsInFlight {
public:
    void add(const void* call) {
        std::lock_guard lock(mutex_);
        calls_.push_back(call);
    }
    void remove(const void* call) {
        std::lock_guard lock(mutex_);
        calls_.erase(std::find(calls_.begin(), calls_.end(), call));
    }
    bool contains(const void* call) const {
        std::lock_guard lock(mutex_);
        return std::find(calls_.begin(), calls_.end(), call) != calls_.end();
    }

private:
    mutable std::mutex mutex_;
    std::vector<const void*> calls_;
};

CallsInFlight& callsInFlight() {
    static CallsInFlight calls;
    return calls;
}

}  // namespace

UiThreadCalls::UiThreadCalls() {
    CreateParams params;
    params.style = 0;
    params.x = params.y = params.width = params.height = 0;
    params.parent = HWND_MESSAGE;
    create(ClassParams{L"TOrvoUiThreadCalls"}, params);
}

bool UiThreadCalls::run(HWND calls, const std::function<void()>& call) {
    callsInFlight().add(&call);
    const bool ran = ::SendMessageW(calls, kRunCall, 0, reinterpret_cast<LPARAM>(&call)) != 0;
    callsInFlight().remove(&call);
    return ran;
}

LRESULT UiThreadCalls::onMessage(UINT msg, WPARAM wp, LPARAM lp) {
    const auto* call = reinterpret_cast<const std::function<void()>*>(lp);
    if (msg != kRunCall || !callsInFlight().contains(call)) return defaultProc(msg, wp, lp);
    ++depth_;
    guardEvent(nullptr, *call);
    --depth_;
    return 1;
}

}  // namespace orvo
