// The hidden print host window.
#include <gtest/gtest.h>

#include <memory>

#include "container_test_support.h"
#include "hosting/frm_xlsOLE.h"

using namespace orvo;
using namespace orvo::test;

namespace {

class PrintHostTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(SUCCEEDED(ole.result()));
        ::GetWindowRect(mainWindow.hwnd(), &mainRect);
    }

    OleScope ole;
    HostWindow mainWindow;
    RECT mainRect{};
};

TEST_F(PrintHostTest, IsAHiddenBorderlessWindowCentredOnTheMainWindowHoldingItsContainer) {
    TfrmXlsOLE host(mainRect, mainWindow.hwnd());
    HWND window = host.hwnd();
    EXPECT_FALSE(::IsWindowVisible(window));
    wchar_t caption[32] = {};
    ::GetWindowTextW(window, caption, 32);
    EXPECT_STREQ(caption, L"frmXlsOLE");
    LONG_PTR style = ::GetWindowLongPtrW(window, GWL_STYLE);
    EXPECT_EQ(style & (WS_CAPTION | WS_BORDER | WS_THICKFRAME | WS_DLGFRAME), 0);

    RECT client{}, outer{};
    ::GetClientRect(window, &client);
    ::GetWindowRect(window, &outer);
    EXPECT_EQ(client.right, 328);
    EXPECT_EQ(client.bottom, 136);
    EXPECT_EQ((outer.left + outer.right) / 2, (mainRect.left + mainRect.right) / 2);
    EXPECT_EQ((outer.top + outer.bottom) / 2, (mainRect.top + mainRect.bottom) / 2);

    HWND container = host.OleContainer().hwnd();
    EXPECT_EQ(::GetParent(container), window);
    EXPECT_EQ(::GetDlgCtrlID(container), TfrmXlsOLE::kOleContainerId);
    RECT placed{};
    ::GetWindowRect(container, &placed);
    ::MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&placed), 2);
    EXPECT_EQ(placed.left, 24);
    EXPECT_EQ(placed.top, 31);
    EXPECT_EQ(placed.right - placed.left, 249);
    EXPECT_EQ(placed.bottom - placed.top, 66);
    EXPECT_NE(::GetWindowLongPtrW(container, GWL_STYLE) & WS_BORDER, 0);
    EXPECT_TRUE(host.OleContainer().empty());
}

TEST_F(PrintHostTest, ShownAtZeroSizeItIsVisibleWithNoAreaAndTheMainWindowKeepsTheActivation) {
    // Hiding a shown window costs Wine two seconds without a window manager,
    // so only this test shows the main window.
    ::ShowWindow(mainWindow.hwnd(), SW_SHOW);
    ::SetForegroundWindow(mainWindow.hwnd());
    ::SetActiveWindow(mainWindow.hwnd());
    TfrmXlsOLE host(mainRect, mainWindow.hwnd());
    HWND active = ::GetActiveWindow();
    ASSERT_EQ(active, mainWindow.hwnd());
    host.showAtZeroSize();
    EXPECT_TRUE(::IsWindowVisible(host.hwnd()));
    RECT outer{};
    ::GetWindowRect(host.hwnd(), &outer);
    EXPECT_EQ(outer.right - outer.left, 0);
    EXPECT_EQ(outer.bottom - outer.top, 0);
    EXPECT_EQ(::GetActiveWindow(), active);

    host.showAtZeroSize();  // a later print shows it again the same way
    ::GetWindowRect(host.hwnd(), &outer);
    EXPECT_EQ(outer.right - outer.left, 0);
    EXPECT_TRUE(::IsWindowVisible(host.hwnd()));
}

TEST_F(PrintHostTest, ShownItIsCentredOnTheMainWindowWhereItIsNow) {
    // The main window is placed and laid out only after the host exists.
    TfrmXlsOLE host(mainRect, mainWindow.hwnd());
    ::SetWindowPos(mainWindow.hwnd(), nullptr, 300, 200, 506, 318, SWP_NOZORDER | SWP_NOACTIVATE);
    host.showAtZeroSize();
    RECT outer{};
    ::GetWindowRect(host.hwnd(), &outer);
    EXPECT_EQ(outer.left, 300 + (506 - 328) / 2);
    EXPECT_EQ(outer.top, 200 + (318 - 136) / 2);
}

TEST_F(PrintHostTest, ClosingOnlyHidesItAndItsWindowGoesWithItsOwner) {
    HWND window = nullptr;
    {
        auto host = std::make_unique<TfrmXlsOLE>(mainRect, mainWindow.hwnd());
        window = host->hwnd();
        ::SendMessageW(window, WM_CLOSE, 0, 0);  // closing only hides it
        EXPECT_TRUE(::IsWindow(window));
    }
    EXPECT_FALSE(::IsWindow(window));
}

}  // namespace
