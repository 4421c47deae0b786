// The pumped wait: a window on the waiting thread keeps answering while a
// transfer runs, progress reaches the waiting thread, errors come back there.
#include "http/test_server.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <thread>

#include "support/net/http_client.h"
#include "support/net/pumped_wait.h"
#include "support/portable/reentry_guard.h"

namespace orvo {
namespace {

using testing::generatedBody;
using testing::webBase;
using Clock = std::chrono::steady_clock;

constexpr UINT kSecondClick = WM_APP + 1;

// A plain window of the test thread, standing in for the main window.
class TestWindow {
public:
    TestWindow() {
        WNDCLASSW wc{};
        wc.lpfnWndProc = &TestWindow::proc;
        wc.hInstance = ::GetModuleHandleW(nullptr);
        wc.lpszClassName = L"OrvoPumpedWaitTest";
        ::RegisterClassW(&wc);
        hwnd_ = ::CreateWindowExW(0, wc.lpszClassName, L"pumped", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr,
                                  nullptr, wc.hInstance, nullptr);
        ::SetWindowLongPtrW(hwnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    }
    ~TestWindow() { ::DestroyWindow(hwnd_); }
    HWND hwnd() const { return hwnd_; }

    std::function<void()> onSecondClick;

private:
    static LRESULT CALLBACK proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
        auto* self = reinterpret_cast<TestWindow*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
        if (msg == kSecondClick && self && self->onSecondClick) {
            self->onSecondClick();
            return 0;
        }
        return ::DefWindowProcW(hwnd, msg, wp, lp);
    }
    HWND hwnd_;
};

// Asks the window to answer WM_NULL from another thread, over and over,
// and keeps the worst answer time.
class Prober {
public:
    explicit Prober(HWND hwnd)
        : thread_([this, hwnd] {
              while (!stop_) {
                  auto start = Clock::now();
                  DWORD_PTR result = 0;
                  if (!::SendMessageTimeoutW(hwnd, WM_NULL, 0, 0, SMTO_NORMAL, 2000, &result)) ++failures_;
                  auto took = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
                  worstMs_ = std::max<long long>(worstMs_, took);
                  ++answers_;
                  ::Sleep(5);
              }
              ended_ = true;
          }) {}
    ~Prober() { finish(); }
    // Keeps serving the window while the prober ends: it may be in the middle
    // of a call to it.
    void finish() {
        stop_ = true;
        while (!ended_) {
            MSG msg;
            while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageW(&msg);
            ::Sleep(1);
        }
        if (thread_.joinable()) thread_.join();
    }
    long long worstMs() const { return worstMs_; }
    int answers() const { return answers_; }
    int failures() const { return failures_; }

private:
    std::atomic<bool> stop_{false};
    std::atomic<bool> ended_{false};
    std::atomic<long long> worstMs_{0};
    std::atomic<int> answers_{0};
    std::atomic<int> failures_{0};
    std::thread thread_;
};

TEST(PumpedWait, WindowAnswersWhileASlowDownloadRuns) {
    TestWindow window;
    HttpClient client;
    const DWORD uiThread = ::GetCurrentThreadId();
    std::vector<std::uint64_t> begins, works;
    bool callbacksOnUiThread = true;
    TransferProgress onUi{[&](std::uint64_t n) {
                              begins.push_back(n);
                              callbacksOnUiThread &= ::GetCurrentThreadId() == uiThread;
                          },
                          [&](std::uint64_t n) {
                              works.push_back(n);
                              callbacksOnUiThread &= ::GetCurrentThreadId() == uiThread;
                          }};

    Prober prober(window.hwnd());
    auto start = Clock::now();
    // 48 KiB in 4 KiB pieces every 100 ms: over a second of transfer.
    auto body = runPumpedResult<std::vector<std::uint8_t>>([&](UiQueue& queue) {
        return client.get(webBase() + "/gen/49152/slow.doc?trickle=4096&interval_ms=100", forwardToUi(queue, onUi));
    });
    auto took = Clock::now() - start;
    prober.finish();

    EXPECT_TRUE(body == generatedBody(49152));
    EXPECT_GE(took, std::chrono::milliseconds(1000));
    EXPECT_GE(prober.answers(), 20);
    EXPECT_EQ(prober.failures(), 0);
    EXPECT_LT(prober.worstMs(), 50);
    EXPECT_TRUE(callbacksOnUiThread);
    ASSERT_EQ(begins.size(), 1u);
    EXPECT_EQ(begins[0], 49152u);
    ASSERT_FALSE(works.empty());
    EXPECT_EQ(works.back(), 49152u);
    // The pieces arrive one by one, so the bar moves more than once.
    EXPECT_GE(works.size(), 3u);
}

TEST(PumpedWait, RethrowsTheWorkersErrorOnTheWaitingThread) {
    HttpClient client;
    try {
        runPumped([&](UiQueue&) { client.get(webBase() + "/status/404"); });
        ADD_FAILURE() << "no error";
    } catch (const HttpError& e) {
        EXPECT_EQ(e.status(), 404);
    }
    EXPECT_THROW(runPumped([](UiQueue&) { throw std::logic_error("worker"); }), std::logic_error);
    // A failing progress call stops the transfer and is the error reported.
    auto start = Clock::now();
    try {
        runPumped([&](UiQueue& queue) {
            client.get(webBase() + "/gen/40000/slow.doc?trickle=4000&interval_ms=100",
                       forwardToUi(queue, {[](std::uint64_t) { throw std::runtime_error("bar broke"); }, nullptr}));
        });
        ADD_FAILURE() << "no error";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "bar broke");
    }
    EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(700));
}

TEST(PumpedWait, QuitCancelsTheTransferAndIsPostedAgain) {
    TestWindow window;
    HttpClient client;
    auto start = Clock::now();
    HttpError::Kind kind = HttpError::Kind::Refused;
    try {
        runPumped([&](UiQueue& queue) {
            // Ten seconds of trickle, unless the quit stops it.
            client.get(webBase() + "/gen/100000/slow.doc?trickle=1000&interval_ms=100",
                       forwardToUi(queue, {[](std::uint64_t) { ::PostQuitMessage(7); }, nullptr}));
        });
        ADD_FAILURE() << "no error";
    } catch (const HttpError& e) {
        kind = e.kind();
    }
    EXPECT_EQ(kind, HttpError::Kind::Cancelled);
    EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(2000));
    MSG msg;
    ASSERT_TRUE(::PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(msg.wParam, 7u);
}

TEST(PumpedWait, SecondClickDuringATransferIsRefused) {
    TestWindow window;
    ReentryGuard downloading;
    int started = 0, refused = 0;
    HttpClient client;
    auto flow = [&] {
        auto busy = downloading.tryEnter();
        if (!busy) {
            ++refused;
            return;
        }
        ++started;
        runPumped([&](UiQueue& queue) {
            // The second click arrives while this transfer is in progress.
            ::PostMessageW(window.hwnd(), kSecondClick, 0, 0);
            client.get(webBase() + "/gen/8000/x.doc?trickle=2000&interval_ms=100", forwardToUi(queue, {}));
        });
    };
    window.onSecondClick = flow;
    flow();
    EXPECT_EQ(started, 1);
    EXPECT_EQ(refused, 1);
    EXPECT_FALSE(downloading.busy());
    // Once it is over, the flow can run again.
    auto again = downloading.tryEnter();
    EXPECT_TRUE(static_cast<bool>(again));
}

TEST(PumpedWait, ProgressCountsAreCoalescedInOrder) {
    // Counts posted while the waiting thread is busy collapse into the
    // latest, and never overtake the calls before or after them.
    std::vector<std::string> seen;
    UniqueHandle uiBusy(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    UniqueHandle posted(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    runPumped([&](UiQueue& queue) {
        queue.post([&] {
            seen.push_back("begin");
            ::SetEvent(uiBusy.get());
            ::WaitForSingleObject(posted.get(), 5000);
        });
        ::WaitForSingleObject(uiBusy.get(), 5000);
        for (int i = 1; i <= 1000; ++i) queue.post([&seen, i] { seen.push_back(std::to_string(i)); }, 1);
        queue.post([&] { seen.push_back("begin2"); });
        queue.post([&] { seen.push_back("x"); }, 1);
        ::SetEvent(posted.get());
    });
    EXPECT_EQ(seen, (std::vector<std::string>{"begin", "1000", "begin2", "x"}));
}

}  // namespace
}  // namespace orvo
