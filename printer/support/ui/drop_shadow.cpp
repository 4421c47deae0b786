#include "support/ui/drop_shadow.h"

#include <commctrl.h>

#include <vector>

#include "support/portable/shadow_bitmap.h"
#include "support/ui/dib.h"
#include "support/win32/unique.h"
#include "support/win32/win_error.h"

namespace orvo {
namespace {

constexpr UINT_PTR kTargetSubclassId = 0x5344;  // "SD"

// The target's shape in its own window coordinates: its region when it has
// one, else nothing, which stands for its rectangle.
std::vector<ShadowRect> targetShape(HWND target) {
    std::vector<ShadowRect> shape;
    UniqueGdiObject region(::CreateRectRgn(0, 0, 0, 0));
    if (!region || ::GetWindowRgn(target, static_cast<HRGN>(region.get())) == ERROR) return shape;
    const DWORD bytes = ::GetRegionData(static_cast<HRGN>(region.get()), 0, nullptr);
    if (bytes < sizeof(RGNDATAHEADER)) return shape;
    std::vector<unsigned char> buffer(bytes);
    auto* data = reinterpret_cast<RGNDATA*>(buffer.data());
    if (::GetRegionData(static_cast<HRGN>(region.get()), bytes, data) == 0) return shape;
    const auto* rects = reinterpret_cast<const RECT*>(data->Buffer);
    for (DWORD i = 0; i < data->rdh.nCount; ++i)
        shape.push_back({rects[i].left, rects[i].top, rects[i].right, rects[i].bottom});
    if (shape.empty()) shape.push_back({0, 0, 0, 0});  // an empty region: no shape at all
    return shape;
}

// True when no visible top-level window lies above this one.
bool isTopVisible(HWND hwnd) {
    for (HWND above = ::GetWindow(hwnd, GW_HWNDPREV); above; above = ::GetWindow(above, GW_HWNDPREV))
        if (::IsWindowVisible(above)) return false;
    return true;
}

}  // namespace

DropShadow::DropShadow(HWND target, Rgb color) : target_(target), color_(color) {
    create({kClassName}, {.exStyle = WS_EX_LAYERED | WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE | WS_EX_TRANSPARENT,
                          .style = WS_POPUP, .x = 0, .y = 0, .width = 0, .height = 0});
    ::SetWindowSubclass(target_, &DropShadow::targetProc, kTargetSubclassId, reinterpret_cast<DWORD_PTR>(this));
}

DropShadow::~DropShadow() {
    if (target_) ::RemoveWindowSubclass(target_, &DropShadow::targetProc, kTargetSubclassId);
}

void DropShadow::show() {
    shown_ = true;
    redraw(true);
}

void DropShadow::hide() {
    shown_ = false;
    if (hwnd()) ::ShowWindow(hwnd(), SW_HIDE);
}

BYTE DropShadow::targetOpacity() const {
    BYTE alpha = 255;
    DWORD flags = 0;
    if ((::GetWindowLongPtrW(target_, GWL_EXSTYLE) & WS_EX_LAYERED) &&
        ::GetLayeredWindowAttributes(target_, nullptr, &alpha, &flags) && (flags & LWA_ALPHA))
        return alpha;
    return 255;
}

void DropShadow::redraw(bool makeVisible) {
    if (!hwnd() || !target_) return;
    RECT rc{};
    ::GetWindowRect(target_, &rc);
    const int tw = rc.right - rc.left, th = rc.bottom - rc.top;
    const ShadowGeometry geometry{dp(kShadowGrow), dp(kShadowLeft), dp(kShadowTop), dp(kShadowShapeOffset)};
    const int width = tw + geometry.grow, height = th + geometry.grow;
    const auto shape = targetShape(target_);
    const auto pixels = buildShadowPicture(tw, th, shape, color_.r, color_.g, color_.b, geometry);

    WindowDc screen(nullptr);
    void* bits = nullptr;
    UniqueBitmap bitmap = createTopDownDib(screen.get(), width, height, &bits);
    if (!bitmap) return;
    std::copy(pixels.begin(), pixels.end(), static_cast<std::uint32_t*>(bits));
    UniqueMemoryDc memory(::CreateCompatibleDC(screen.get()));
    SelectObjectScope select(memory.get(), bitmap.get());

    POINT place{rc.left + geometry.left, rc.top + geometry.top};
    SIZE size{width, height};
    POINT origin{0, 0};
    BLENDFUNCTION blend{AC_SRC_OVER, 0, targetOpacity(), AC_SRC_ALPHA};
    const UINT flags = SWP_NOACTIVATE | SWP_NOOWNERZORDER | (makeVisible ? SWP_SHOWWINDOW : 0);
    if (isTopVisible(target_)) {
        // Right behind a target that is on top: the shadow goes on top, gets
        // its picture, and the target is raised over it. Wine passes only
        // raises on to the X server and maps a layered window when it first
        // gets a picture, so this order keeps the shadow below there too.
        restacking_ = true;
        ::SetWindowPos(hwnd(), HWND_TOP, place.x, place.y, width, height, flags);
        ::UpdateLayeredWindow(hwnd(), screen.get(), &place, &size, memory.get(), &origin, 0, &blend, ULW_ALPHA);
        ::SetWindowPos(target_, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        restacking_ = false;
    } else {
        // Right behind the target.
        ::SetWindowPos(hwnd(), target_, place.x, place.y, width, height, flags);
        ::UpdateLayeredWindow(hwnd(), screen.get(), &place, &size, memory.get(), &origin, 0, &blend, ULW_ALPHA);
    }
}

void DropShadow::targetChanged(const WINDOWPOS& pos) {
    if (pos.flags & SWP_HIDEWINDOW) {
        hide();
        return;
    }
    if (!shown_ || restacking_) return;
    if (::IsIconic(target_) || ::IsZoomed(target_)) {
        hide();
        return;
    }
    const bool moved = !(pos.flags & SWP_NOMOVE) || !(pos.flags & SWP_NOSIZE);
    const bool restacked = !(pos.flags & SWP_NOZORDER);
    if (moved || restacked) redraw(false);
}

LRESULT CALLBACK DropShadow::targetProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR, DWORD_PTR ref) {
    auto* self = reinterpret_cast<DropShadow*>(ref);
    switch (msg) {
    case WM_WINDOWPOSCHANGED:
        self->targetChanged(*reinterpret_cast<const WINDOWPOS*>(lp));
        break;
    case WM_SIZE:
        if (wp == SIZE_MINIMIZED || wp == SIZE_MAXIMIZED) self->hide();
        break;
    case WM_NCDESTROY:
        ::RemoveWindowSubclass(hwnd, &DropShadow::targetProc, kTargetSubclassId);
        self->target_ = nullptr;
        self->hide();
        break;
    default:
        break;
    }
    return ::DefSubclassProc(hwnd, msg, wp, lp);
}

LRESULT DropShadow::onMessage(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_NCHITTEST:
        return HTTRANSPARENT;  // clicks go through to whatever lies below
    case WM_MOUSEACTIVATE:
        return MA_NOACTIVATE;
    default:
        return defaultProc(msg, wp, lp);
    }
}

}  // namespace orvo
