// The main window's building blocks on a real (Wine) desktop: the flat
// controls, the PNG decoding, the drop shadow's window and the application's
// minimise and restore events.
#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include <climits>
#include <fstream>
#include <iterator>
#include <vector>

#include "application.h"
#include "support/ui/controls.h"
#include "support/ui/font.h"
#include "support/ui/drop_shadow.h"
#include "support/ui/png_image.h"
#include "support/win32/unique.h"
#include "support/win32/win_text.h"

namespace orvo {
namespace {

// A plain top-level window to put controls on.
class Host : public Window {
public:
    explicit Host(DWORD style = WS_POPUP, int x = 100, int y = 100, int w = 300, int h = 200) {
        ClassParams cls{L"ControlsTestHost"};
        CreateParams params;
        params.style = style;
        params.x = x;
        params.y = y;
        params.width = w;
        params.height = h;
        create(cls, params);
    }

protected:
    LRESULT onMessage(UINT msg, WPARAM wp, LPARAM lp) override {
        LRESULT r = 0;
        if (reflectToControl(msg, wp, lp, r)) return r;
        return defaultProc(msg, wp, lp);
    }
};

RECT screenRect(HWND h) {
    RECT r{};
    ::GetWindowRect(h, &r);
    return r;
}

void pump() {
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
}

class OleEnvironment : public ::testing::Environment {
public:
    void SetUp() override { ole_ = std::make_unique<OleScope>(); }
    void TearDown() override { ole_.reset(); }

private:
    std::unique_ptr<OleScope> ole_;
};
const auto* const kOle = ::testing::AddGlobalTestEnvironment(new OleEnvironment);

TEST(FlatGaugeTest, ByteCountsBeyond32BitsKeepTheirProportion) {
    Host host;
    FlatGauge gauge;
    gauge.create({host.hwnd(), 7, 0, 0, 200, 20});
    const auto range = [&] { return ::SendMessageW(gauge.hwnd(), PBM_GETRANGE, FALSE, 0); };
    const auto pos = [&] { return ::SendMessageW(gauge.hwnd(), PBM_GETPOS, 0, 0); };

    gauge.setMax(5'000'000'000LL);
    gauge.setProgress(2'500'000'000LL);
    EXPECT_LE(range(), INT_MAX);
    EXPECT_GT(range(), 1'000'000'000);
    EXPECT_NEAR(static_cast<double>(pos()) / range(), 0.5, 1e-6);
    EXPECT_EQ(gauge.progress(), 2'500'000'000LL);

    // Ordinary sizes pass through unscaled; progress never shows beyond the end.
    gauge.setMax(1000);
    gauge.setProgress(999);
    EXPECT_EQ(range(), 1000);
    EXPECT_EQ(pos(), 999);
    gauge.setProgress(5000);
    EXPECT_EQ(pos(), 1000);
    // An unknown size (0) shows nothing rather than failing.
    gauge.setMax(0);
    gauge.setProgress(10);
    EXPECT_EQ(pos(), 0);
}

TEST(FlatComboBoxTest, ClosedHeightAndGbkItems) {
    Host host;
    UniqueFont font = makeFont(L"微软雅黑", 14);
    for (int height : {28, 40}) {
        FlatComboBox combo;
        combo.create({host.hwnd(), 8, 10, 10, 200, height}, font.get());
        const RECT r = screenRect(combo.hwnd());
        EXPECT_EQ(r.bottom - r.top, height);
        EXPECT_EQ(r.right - r.left, 200);
    }
    FlatComboBox combo;
    combo.create({host.hwnd(), 9, 10, 60, 200, 28}, font.get());
    EXPECT_EQ(combo.selectedIndex(), -1);
    combo.add(L"Printer_A");
    combo.add(L"财务部打印机");
    combo.setSelectedIndex(1);
    EXPECT_EQ(combo.count(), 2);
    EXPECT_EQ(combo.selectedIndex(), 1);
    EXPECT_EQ(combo.item(1), wideToGbk(L"财务部打印机"));
    EXPECT_EQ(combo.item(1).size(), 12u);  // six ideographs, two GBK bytes each
    EXPECT_EQ(combo.item(5), "");
}

TEST(LabelTest, AutoSizeFollowsTheCaption) {
    Host host;
    UniqueFont font = makeFont(L"微软雅黑", 14);
    Label label;
    label.create({host.hwnd(), 10, 18, 48, 0, 0}, L"等待打印...", font.get(), {});
    const RECT first = label.bounds();
    EXPECT_EQ(first.left, 18);
    EXPECT_EQ(first.top, 48);
    EXPECT_GT(first.right - first.left, 20);
    EXPECT_GT(first.bottom - first.top, 8);
    label.setCaption(wideToGbk(L"下载报表文件失败，请重试..."));
    const RECT longer = label.bounds();
    EXPECT_GT(longer.right - longer.left, first.right - first.left);
    EXPECT_EQ(label.caption(), wideToGbk(L"下载报表文件失败，请重试..."));
    label.setCaption(std::string());
    EXPECT_EQ(label.bounds().right - label.bounds().left, 0);
}

std::vector<char> readFile(const char* path) {
    std::ifstream f(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
}

std::uint32_t pixelAt(const Bitmap32& b, int x, int y) {
    DIBSECTION dib{};
    ::GetObjectW(b.bitmap.get(), sizeof dib, &dib);
    return static_cast<const std::uint32_t*>(dib.dsBm.bmBits)[y * b.width + x];
}

TEST(PngTest, LogoDecodesWithTransparentCornersAndBadBytesAreRefused) {
    const auto bytes = readFile(ORVO_RESOURCE_DIR "/logo.png");
    ASSERT_FALSE(bytes.empty());
    const Bitmap32 logo = decodePng(bytes.data(), bytes.size());
    EXPECT_EQ(logo.width, 105);
    EXPECT_EQ(logo.height, 105);
    EXPECT_EQ(pixelAt(logo, 0, 0), 0u);              // transparent corner, premultiplied
    EXPECT_EQ(pixelAt(logo, 52, 52) >> 24, 0xFFu);  // opaque centre

    const std::vector<char> garbage(300, 'x');
    EXPECT_THROW(decodePng(garbage.data(), garbage.size()), AppError);
    EXPECT_THROW(decodePng(bytes.data(), bytes.size() / 2), AppError);
}

TEST(DropShadowTest, PlacedBehindTheTargetAndFollowsIt) {
    Host target(WS_POPUP, 200, 150, 300, 120);
    DropShadow shadow(target.hwnd(), Rgb{82, 82, 82});
    ::ShowWindow(target.hwnd(), SW_SHOWNORMAL);
    shadow.show();
    pump();
    const auto expectAround = [&](const char* when) {
        const RECT t = screenRect(target.hwnd()), s = screenRect(shadow.hwnd());
        EXPECT_EQ(s.left, t.left - 16) << when;
        EXPECT_EQ(s.top, t.top - 14) << when;
        EXPECT_EQ(s.right - s.left, t.right - t.left + 32) << when;
        EXPECT_EQ(s.bottom - s.top, t.bottom - t.top + 32) << when;
        EXPECT_TRUE(::IsWindowVisible(shadow.hwnd())) << when;
    };
    expectAround("shown");
    // Its place in the stacking is checked end to end on the X server, where
    // it shows: Wine's own z-order list follows the X server only loosely.
    const LONG_PTR ex = ::GetWindowLongPtrW(shadow.hwnd(), GWL_EXSTYLE);
    EXPECT_TRUE(ex & WS_EX_LAYERED);
    EXPECT_TRUE(ex & WS_EX_TRANSPARENT);
    EXPECT_TRUE(ex & WS_EX_NOACTIVATE);
    EXPECT_TRUE(ex & WS_EX_TOOLWINDOW);
    EXPECT_EQ(::SendMessageW(shadow.hwnd(), WM_NCHITTEST, 0, MAKELPARAM(210, 160)), HTTRANSPARENT);

    ::SetWindowPos(target.hwnd(), nullptr, 300, 260, 400, 80, SWP_NOZORDER | SWP_NOACTIVATE);
    pump();
    expectAround("moved and resized");

    ::ShowWindow(target.hwnd(), SW_MINIMIZE);
    pump();
    EXPECT_FALSE(::IsWindowVisible(shadow.hwnd()));
    EXPECT_FALSE(shadow.shown());
    // Coming back is the owner's decision, not the shadow's.
    ::ShowWindow(target.hwnd(), SW_RESTORE);
    pump();
    EXPECT_FALSE(::IsWindowVisible(shadow.hwnd()));
    shadow.show();
    pump();
    expectAround("shown again");

    ::ShowWindow(target.hwnd(), SW_HIDE);
    pump();
    EXPECT_FALSE(::IsWindowVisible(shadow.hwnd()));
}

TEST(ApplicationTest, MinimiseAndRestoreEventsFireOnChangesOnly) {
    Application app;
    int minimised = 0, restored = 0;
    app.addMinimizeHandler([&] { ++minimised; });
    app.addRestoreHandler([&] { ++restored; });
    app.mainWindowSized(SIZE_RESTORED);  // a plain resize is no restore
    EXPECT_EQ(restored, 0);
    app.mainWindowSized(SIZE_MINIMIZED);
    app.mainWindowSized(SIZE_MINIMIZED);
    EXPECT_EQ(minimised, 1);
    EXPECT_TRUE(app.minimized());
    app.mainWindowSized(SIZE_RESTORED);
    app.mainWindowSized(SIZE_RESTORED);
    EXPECT_EQ(restored, 1);
    EXPECT_FALSE(app.minimized());
}

}  // namespace
}  // namespace orvo
