#include "support/ui/controls.h"

#include <commctrl.h>
#include <commdlg.h>

#include <algorithm>
#include <climits>

#include "support/win32/win_error.h"
#include "support/win32/win_text.h"

namespace orvo {
namespace {

constexpr wchar_t kControlProp[] = L"orvo.control";
constexpr UINT_PTR kSubclassId = 1;

void drawText(HDC dc, HFONT font, const std::wstring& text, RECT rc, Rgb color, UINT format) {
    SelectObjectScope select(dc, font);
    ::SetBkMode(dc, TRANSPARENT);
    ::SetTextColor(dc, color.ref());
    ::DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &rc, format | DT_NOPREFIX);
}

std::wstring windowText(HWND hwnd) {
    const int n = ::GetWindowTextLengthW(hwnd);
    std::wstring text(static_cast<size_t>(n) + 1, L'\0');
    const int got = ::GetWindowTextW(hwnd, text.data(), n + 1);
    text.resize(static_cast<size_t>(std::max(got, 0)));
    return text;
}

}  // namespace

void fillRect(HDC dc, const RECT& rc, Rgb color) {
    UniqueBrush brush(::CreateSolidBrush(color.ref()));
    ::FillRect(dc, &rc, brush.get());
}

void frameRect(HDC dc, const RECT& rc, Rgb color) {
    UniqueBrush brush(::CreateSolidBrush(color.ref()));
    ::FrameRect(dc, &rc, brush.get());
}

ControlPlace place(HWND parent, int id, int left, int top, int width, int height, bool visible) {
    return {parent, id, Window::dp(left), Window::dp(top), Window::dp(width), Window::dp(height), visible};
}

// ---- Control

Control::~Control() {
    if (hwnd_) {
        ::RemoveWindowSubclass(hwnd_, &Control::subclassProc, kSubclassId);
        ::RemovePropW(hwnd_, kControlProp);
        ::DestroyWindow(hwnd_);
        hwnd_ = nullptr;
    }
}

void Control::createControl(const ControlPlace& place, const wchar_t* className, DWORD style, DWORD exStyle,
                            const std::wstring& text) {
    style |= WS_CHILD | (place.visible ? WS_VISIBLE : 0);
    HWND h = ::CreateWindowExW(exStyle, className, text.c_str(), style, place.left, place.top, place.width, place.height,
                               place.parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(place.id)),
                               ::GetModuleHandleW(nullptr), nullptr);
    throwLastErrorIf(h == nullptr, "CreateWindowEx");
    hwnd_ = h;
    id_ = place.id;
    ::SetPropW(h, kControlProp, this);
    ::SetWindowSubclass(h, &Control::subclassProc, kSubclassId, reinterpret_cast<DWORD_PTR>(this));
}

Control* Control::fromHandle(HWND hwnd) noexcept {
    if (!hwnd) return nullptr;
    return static_cast<Control*>(::GetPropW(hwnd, kControlProp));
}

LRESULT CALLBACK Control::subclassProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR, DWORD_PTR ref) {
    auto* self = reinterpret_cast<Control*>(ref);
    if (msg == WM_NCDESTROY) {
        ::RemoveWindowSubclass(hwnd, &Control::subclassProc, kSubclassId);
        ::RemovePropW(hwnd, kControlProp);
        self->hwnd_ = nullptr;
        return ::DefSubclassProc(hwnd, msg, wp, lp);
    }
    LRESULT result = 0;
    guardEvent(::GetAncestor(hwnd, GA_ROOT), [&] { result = self->onControlMessage(msg, wp, lp); });
    return result;
}

LRESULT Control::onControlMessage(UINT msg, WPARAM wp, LPARAM lp) { return defaultControlProc(msg, wp, lp); }
LRESULT Control::defaultControlProc(UINT msg, WPARAM wp, LPARAM lp) { return ::DefSubclassProc(hwnd_, msg, wp, lp); }

bool Control::visible() const { return hwnd_ && (::GetWindowLongPtrW(hwnd_, GWL_STYLE) & WS_VISIBLE) != 0; }

void Control::setVisible(bool visible) {
    if (hwnd_) ::ShowWindow(hwnd_, visible ? SW_SHOWNA : SW_HIDE);
}

RECT Control::bounds() const {
    RECT rc{};
    if (!hwnd_) return rc;
    ::GetWindowRect(hwnd_, &rc);
    ::MapWindowPoints(HWND_DESKTOP, ::GetParent(hwnd_), reinterpret_cast<POINT*>(&rc), 2);
    return rc;
}

void Control::setBounds(int left, int top, int width, int height) {
    if (hwnd_) ::SetWindowPos(hwnd_, nullptr, left, top, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
}

void Control::setTop(int top) {
    const RECT rc = bounds();
    if (hwnd_) ::SetWindowPos(hwnd_, nullptr, rc.left, top, 0, 0, SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOSIZE);
}

void Control::setLeft(int left) {
    const RECT rc = bounds();
    if (hwnd_) ::SetWindowPos(hwnd_, nullptr, left, rc.top, 0, 0, SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOSIZE);
}

void Control::setEnabled(bool enabled) {
    if (hwnd_) ::EnableWindow(hwnd_, enabled);
}

void Control::setCaption(const std::string& gbk) { setCaption(gbkToWide(gbk)); }

void Control::setCaption(const std::wstring& text) {
    if (!hwnd_) return;
    ::SetWindowTextW(hwnd_, text.c_str());
    captionChanged();
    ::InvalidateRect(hwnd_, nullptr, TRUE);
}

std::string Control::caption() const { return wideToGbk(captionW()); }
std::wstring Control::captionW() const { return hwnd_ ? windowText(hwnd_) : std::wstring(); }

void Control::setFont(HFONT font) {
    font_ = font;
    if (hwnd_) ::SendMessageW(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    captionChanged();
}

LRESULT eraseBackground(HWND hwnd, HDC dc, HBRUSH brush) {
    RECT rc{};
    ::GetClientRect(hwnd, &rc);
    ::FillRect(dc, &rc, brush);
    return 1;
}

bool reflectToControl(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) {
    switch (msg) {
    case WM_COMMAND:
        if (Control* c = Control::fromHandle(reinterpret_cast<HWND>(lp)); c && c->onCommand(HIWORD(wp))) {
            result = 0;
            return true;
        }
        return false;
    case WM_DRAWITEM: {
        const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lp);
        if (Control* c = Control::fromHandle(item->hwndItem); c && c->onDrawItem(*item)) {
            result = TRUE;
            return true;
        }
        return false;
    }
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
        if (Control* c = Control::fromHandle(reinterpret_cast<HWND>(lp))) {
            if (HBRUSH brush = c->onColor(reinterpret_cast<HDC>(wp))) {
                result = reinterpret_cast<LRESULT>(brush);
                return true;
            }
        }
        return false;
    default:
        return false;
    }
}

// ---- Label

void Label::create(const ControlPlace& place, const std::wstring& text, HFONT font, const Style& style) {
    style_ = style;
    background_.reset(::CreateSolidBrush(style.background.ref()));
    createControl(place, L"STATIC", (style.centered ? SS_CENTER : SS_LEFT) | SS_NOPREFIX | (style.clickable ? SS_NOTIFY : 0), 0, text);
    setFont(font);
}

void Label::fitToText() {
    if (!hwnd() || !style_.autoSize) return;
    const std::wstring text = captionW();
    WindowDc dc(hwnd());
    SelectObjectScope select(dc.get(), font() ? font() : static_cast<HFONT>(::GetStockObject(DEFAULT_GUI_FONT)));
    RECT rc{0, 0, 0, 0};
    const std::wstring measured = text.empty() ? L" " : text;
    ::DrawTextW(dc.get(), measured.c_str(), static_cast<int>(measured.size()), &rc,
                DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
    ::SetWindowPos(hwnd(), nullptr, 0, 0, text.empty() ? 0 : rc.right, rc.bottom,
                   SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOMOVE);
}

void Label::captionChanged() { fitToText(); }

bool Label::onCommand(WORD code) {
    if (code == STN_CLICKED && onClick) {
        onClick();
        return true;
    }
    return false;
}

HBRUSH Label::onColor(HDC dc) {
    ::SetTextColor(dc, style_.color.ref());
    ::SetBkColor(dc, style_.background.ref());
    return background_.get();
}

LRESULT Label::onControlMessage(UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_SETCURSOR && style_.cursor) {
        ::SetCursor(style_.cursor);
        return TRUE;
    }
    return defaultControlProc(msg, wp, lp);
}

// ---- Owner-drawn buttons

void OwnerDrawButton::createButton(const ControlPlace& place, const std::wstring& text, HFONT font) {
    createControl(place, L"BUTTON", BS_OWNERDRAW | WS_TABSTOP, 0, text);
    setFont(font);
}

bool OwnerDrawButton::onCommand(WORD code) {
    if (code == BN_CLICKED) {
        if (onClick) onClick();
        return true;
    }
    return false;
}

bool OwnerDrawButton::onDrawItem(const DRAWITEMSTRUCT& item) {
    const bool pressed = (item.itemState & ODS_SELECTED) != 0;
    const bool focused = (item.itemState & ODS_FOCUS) != 0 && (item.itemState & ODS_NOFOCUSRECT) == 0;
    const bool disabled = (item.itemState & ODS_DISABLED) != 0;
    paint(item.hDC, item.rcItem, hot_, pressed, focused, disabled);
    return true;
}

LRESULT OwnerDrawButton::onControlMessage(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_MOUSEMOVE:
        if (!hot_) {
            hot_ = true;
            TRACKMOUSEEVENT track{sizeof track, TME_LEAVE, hwnd(), 0};
            ::TrackMouseEvent(&track);
            ::InvalidateRect(hwnd(), nullptr, FALSE);
        }
        break;
    case WM_MOUSELEAVE:
        hot_ = false;
        ::InvalidateRect(hwnd(), nullptr, FALSE);
        break;
    case WM_LBUTTONDBLCLK:
        // A quick second click is a click, not a double click.
        return defaultControlProc(WM_LBUTTONDOWN, wp, lp);
    case WM_ERASEBKGND:
        return 1;
    default:
        break;
    }
    return defaultControlProc(msg, wp, lp);
}

void FlatButton::create(const ControlPlace& place, const std::wstring& text, HFONT font, const Style& style) {
    style_ = style;
    createButton(place, text, font);
}

void FlatButton::paint(HDC dc, const RECT& rc, bool hot, bool pressed, bool focused, bool disabled) {
    const Rgb face = disabled ? style_.disabledFace : pressed ? style_.pressed : hot ? style_.hot : style_.face;
    fillRect(dc, rc, face);
    drawText(dc, font(), captionW(), rc, style_.text, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    if (focused) {
        RECT inner = rc;
        ::InflateRect(&inner, -Window::dp(3), -Window::dp(3));
        ::SetTextColor(dc, style_.text.ref());
        ::SetBkColor(dc, face.ref());
        ::DrawFocusRect(dc, &inner);
    }
}

void ImageButton::create(const ControlPlace& place, const std::wstring& accessibleName, int normalPng, int pressedPng,
                         int releasedPng) {
    normal_ = PngResource(normalPng);
    pressed_ = PngResource(pressedPng);
    released_ = PngResource(releasedPng);
    createButton(place, accessibleName, nullptr);
}

void ImageButton::paint(HDC dc, const RECT& rc, bool hot, bool pressed, bool, bool) {
    PngResource& face = pressed ? pressed_ : hot ? released_ : normal_;
    drawBitmap(dc, face.bitmap(), rc, RGB(255, 255, 255));
}

// ---- Picture

void Picture::create(const ControlPlace& place, int png, Rgb background) {
    picture_ = PngResource(png);
    background_ = background;
    createControl(place, L"STATIC", SS_OWNERDRAW, 0, L"");
}

bool Picture::onDrawItem(const DRAWITEMSTRUCT& item) {
    drawBitmap(item.hDC, picture_.bitmap(), item.rcItem, background_.ref());
    return true;
}

// ---- FlatComboBox

namespace {
constexpr Rgb kComboFrame{190, 190, 190};
constexpr Rgb kComboText{30, 30, 30};
constexpr Rgb kComboHighlight{47, 128, 237};
// Design pixels.
constexpr int kComboButton = 26;
constexpr int kComboTextIndent = 8;
constexpr int kComboListHeight = 220;
constexpr int kComboItemHeight = 24;
}  // namespace

void FlatComboBox::create(const ControlPlace& place, HFONT font) {
    height_ = place.height;
    ControlPlace dropped = place;
    dropped.height = place.height + Window::dp(kComboListHeight);  // the height of the opened list
    createControl(dropped, L"COMBOBOX",
                  CBS_DROPDOWNLIST | CBS_OWNERDRAWFIXED | CBS_HASSTRINGS | WS_VSCROLL | WS_TABSTOP, 0, L"");
    setFont(font);
    // The closed control's height follows the height of its selection field,
    // one for one; the frame around the field (and what the control adds to
    // the field height it is given) differs between systems, so measure.
    auto closedHeight = [this] {
        RECT rc{};
        ::GetWindowRect(hwnd(), &rc);
        return static_cast<int>(rc.bottom - rc.top);
    };
    int field = static_cast<int>(::SendMessageW(hwnd(), CB_GETITEMHEIGHT, static_cast<WPARAM>(-1), 0));
    for (int attempt = 0; attempt < 3; ++attempt) {
        const int off = height_ - closedHeight();
        if (off == 0 || field + off <= 0) break;
        field += off;
        ::SendMessageW(hwnd(), CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), field);
    }
    ::SendMessageW(hwnd(), CB_SETITEMHEIGHT, 0, Window::dp(kComboItemHeight));
}

void FlatComboBox::clear() { ::SendMessageW(hwnd(), CB_RESETCONTENT, 0, 0); }

void FlatComboBox::add(const std::wstring& item) {
    ::SendMessageW(hwnd(), CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item.c_str()));
}

int FlatComboBox::count() const { return static_cast<int>(::SendMessageW(hwnd(), CB_GETCOUNT, 0, 0)); }
int FlatComboBox::selectedIndex() const { return static_cast<int>(::SendMessageW(hwnd(), CB_GETCURSEL, 0, 0)); }

void FlatComboBox::setSelectedIndex(int index) {
    ::SendMessageW(hwnd(), CB_SETCURSEL, static_cast<WPARAM>(index), 0);
    ::InvalidateRect(hwnd(), nullptr, FALSE);
}

std::wstring FlatComboBox::itemW(int index) const {
    const auto n = ::SendMessageW(hwnd(), CB_GETLBTEXTLEN, static_cast<WPARAM>(index), 0);
    if (n == CB_ERR) return {};
    std::wstring text(static_cast<size_t>(n) + 1, L'\0');
    const auto got = ::SendMessageW(hwnd(), CB_GETLBTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text.data()));
    text.resize(got == CB_ERR ? 0 : static_cast<size_t>(got));
    return text;
}

std::string FlatComboBox::item(int index) const { return wideToGbk(itemW(index)); }

bool FlatComboBox::onDrawItem(const DRAWITEMSTRUCT& item) {
    if (item.itemState & ODS_COMBOBOXEDIT) {
        // The selection field: the whole face is ours.
        paintFace(item.hDC);
        return true;
    }
    const bool selected = (item.itemState & ODS_SELECTED) != 0;
    fillRect(item.hDC, item.rcItem, selected ? kComboHighlight : Rgb{255, 255, 255});
    if (item.itemID != static_cast<UINT>(-1)) {
        RECT text = item.rcItem;
        text.left += Window::dp(kComboTextIndent);
        drawText(item.hDC, font(), itemW(static_cast<int>(item.itemID)), text,
                 selected ? Rgb{255, 255, 255} : kComboText, DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_END_ELLIPSIS);
    }
    return true;
}

void FlatComboBox::paintFace(HDC dc) {
    RECT rc{};
    ::GetClientRect(hwnd(), &rc);
    const bool focused = ::GetFocus() == hwnd();
    fillRect(dc, rc, Rgb{255, 255, 255});
    frameRect(dc, rc, focused ? kComboHighlight : kComboFrame);
    const int index = selectedIndex();
    if (index >= 0) {
        RECT text = rc;
        text.left += Window::dp(kComboTextIndent);
        text.right -= Window::dp(kComboButton);
        drawText(dc, font(), itemW(index), text, kComboText, DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_END_ELLIPSIS);
    }
    // The chevron.
    auto dp = [](int designPixels) { return Window::dp(designPixels); };
    const int cx = rc.right - dp(kComboButton) / 2 - 1, cy = (rc.top + rc.bottom) / 2;
    UniqueGdiObject pen(::CreatePen(PS_SOLID, 1, RGB(90, 90, 90)));
    SelectObjectScope select(dc, pen.get());
    for (int i = 0; i < dp(2); ++i) {
        ::MoveToEx(dc, cx - dp(4), cy - dp(2) + i, nullptr);
        ::LineTo(dc, cx, cy + dp(2) + i);
        ::LineTo(dc, cx + dp(5), cy - dp(3) + i);
    }
}

LRESULT FlatComboBox::onControlMessage(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = ::BeginPaint(hwnd(), &ps);
        paintFace(dc);
        ::EndPaint(hwnd(), &ps);
        return 0;
    }
    case WM_ERASEBKGND:
        return 1;
    case WM_SETFOCUS:
    case WM_KILLFOCUS: {
        const LRESULT r = defaultControlProc(msg, wp, lp);
        ::InvalidateRect(hwnd(), nullptr, FALSE);
        return r;
    }
    default:
        return defaultControlProc(msg, wp, lp);
    }
}

// ---- FlatGauge

namespace {
constexpr Rgb kGaugeBack{255, 255, 255};
constexpr Rgb kGaugeFrame{200, 200, 200};
constexpr Rgb kGaugeFill{47, 128, 237};
}  // namespace

void FlatGauge::create(const ControlPlace& place) {
    createControl(place, PROGRESS_CLASSW, PBS_SMOOTH, 0, L"");
    sync();
}

void FlatGauge::setMax(std::int64_t max) {
    max_ = std::max<std::int64_t>(max, 0);
    sync();
}

void FlatGauge::setProgress(std::int64_t progress) {
    progress_ = std::max<std::int64_t>(progress, 0);
    sync();
}

void FlatGauge::sync() {
    if (!hwnd()) return;
    // The common control counts in 32 bits; larger byte counts are scaled.
    const std::int64_t scale = max_ > INT_MAX ? max_ / INT_MAX + 1 : 1;
    const auto range = static_cast<int>(max_ / scale);
    const auto pos = static_cast<int>(std::min(progress_, max_) / scale);
    ::SendMessageW(hwnd(), PBM_SETRANGE32, 0, range);
    ::SendMessageW(hwnd(), PBM_SETPOS, static_cast<WPARAM>(pos), 0);
    ::InvalidateRect(hwnd(), nullptr, FALSE);
}

LRESULT FlatGauge::onControlMessage(UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_ERASEBKGND) return 1;
    if (msg != WM_PAINT) return defaultControlProc(msg, wp, lp);
    PAINTSTRUCT ps;
    HDC dc = ::BeginPaint(hwnd(), &ps);
    RECT rc{};
    ::GetClientRect(hwnd(), &rc);
    fillRect(dc, rc, kGaugeBack);
    frameRect(dc, rc, kGaugeFrame);
    const auto high = static_cast<std::int64_t>(::SendMessageW(hwnd(), PBM_GETRANGE, FALSE, 0));
    const auto low = static_cast<std::int64_t>(::SendMessageW(hwnd(), PBM_GETRANGE, TRUE, 0));
    const auto pos = static_cast<std::int64_t>(::SendMessageW(hwnd(), PBM_GETPOS, 0, 0));
    if (high > low && pos > low) {
        RECT bar = rc;
        ::InflateRect(&bar, -1, -1);
        const std::int64_t inner = bar.right - bar.left;
        bar.right = bar.left + static_cast<LONG>(inner * std::min(pos - low, high - low) / (high - low));
        fillRect(dc, bar, kGaugeFill);
    }
    ::EndPaint(hwnd(), &ps);
    return 0;
}

// ---- Panel

void Panel::create(const ControlPlace& place, Rgb background) {
    setBackground(background);
    id_ = place.id;
    ClassParams cls{L"TPanel"};
    CreateParams params;
    params.style = WS_CHILD | WS_CLIPCHILDREN | WS_CLIPSIBLINGS | (place.visible ? WS_VISIBLE : 0);
    params.x = place.left;
    params.y = place.top;
    params.width = place.width;
    params.height = place.height;
    params.parent = place.parent;
    Window::create(cls, params);
    ::SetWindowLongPtrW(hwnd(), GWLP_ID, place.id);
}

void Panel::anchorRight(Control& control) {
    RECT client{};
    ::GetClientRect(hwnd(), &client);
    anchors_.push_back({&control, client.right - control.bounds().right});
}

LRESULT Panel::onMessage(UINT msg, WPARAM wp, LPARAM lp) {
    LRESULT answered = 0;
    if (answerCommon(msg, wp, lp, answered)) return answered;
    switch (msg) {
    case WM_SIZE:
        for (const Anchor& a : anchors_) {
            const RECT rc = a.control->bounds();
            a.control->setLeft(LOWORD(lp) - a.rightGap - (rc.right - rc.left));
        }
        return 0;
    case WM_LBUTTONDOWN:
        if (onLeftButtonDown) onLeftButtonDown(static_cast<short>(LOWORD(lp)), static_cast<short>(HIWORD(lp)));
        return 0;
    default:
        return defaultProc(msg, wp, lp);
    }
}

// ---- Timer

Timer::~Timer() {
    if (enabled_ && owner_ && ::IsWindow(owner_)) ::KillTimer(owner_, id_);
}

void Timer::setEnabled(bool enabled) {
    if (!owner_) return;
    if (enabled) {
        throwLastErrorIf(::SetTimer(owner_, id_, interval_, nullptr) == 0, "SetTimer");
    } else {
        ::KillTimer(owner_, id_);
    }
    enabled_ = enabled;
}

}  // namespace orvo
