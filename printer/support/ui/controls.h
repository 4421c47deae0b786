#pragma once
// The flat controls of our windows. Each is a real Win32 child control with
// a stable control id (so tests and screen readers can reach it), drawn by us
// for the flat look. Parent windows pass the notifications they receive to
// reflectToControl, which hands them to the control object they concern.
#include <windows.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "support/ui/form.h"
#include "support/ui/png_image.h"
#include "support/ui/rgb.h"
#include "support/win32/unique.h"
#include "support/ui/window.h"

namespace orvo {

// A rectangle filled, or framed with a 1-pixel line, in a plain colour.
void fillRect(HDC dc, const RECT& rc, Rgb color);
void frameRect(HDC dc, const RECT& rc, Rgb color);

// Where a control goes: its parent, id and place in the parent's client area,
// in screen pixels.
struct ControlPlace {
    HWND parent = nullptr;
    int id = 0;
    int left = 0, top = 0, width = 0, height = 0;
    bool visible = true;

};

// A control's place given in design pixels, as the layouts give it (96 DPI),
// scaled to the system DPI: every form places its controls through here.
ControlPlace place(HWND parent, int id, int left, int top, int width, int height, bool visible = true);

class Control {
public:
    Control() = default;
    virtual ~Control();
    Control(const Control&) = delete;
    Control& operator=(const Control&) = delete;

    HWND hwnd() const noexcept { return hwnd_; }
    int id() const noexcept { return id_; }

    bool visible() const;
    void setVisible(bool visible);
    RECT bounds() const;  // in the parent's client coordinates
    void setBounds(int left, int top, int width, int height);
    void setTop(int top);
    void setLeft(int left);
    void setEnabled(bool enabled);

    // Captions are GBK inside the system; the wide form is for literals.
    void setCaption(const std::string& gbk);
    void setCaption(const std::wstring& text);
    std::string caption() const;
    std::wstring captionW() const;
    void setFont(HFONT font);

    // The control object behind a child window handle, or null.
    static Control* fromHandle(HWND hwnd) noexcept;

protected:
    void createControl(const ControlPlace& place, const wchar_t* className, DWORD style, DWORD exStyle,
                       const std::wstring& text);
    // Notifications and drawing requests the parent passes on.
    virtual bool onCommand(WORD code) { return false; }
    virtual bool onDrawItem(const DRAWITEMSTRUCT& item) { return false; }
    virtual HBRUSH onColor(HDC dc) { return nullptr; }
    // Messages sent to the control itself (it is subclassed).
    virtual LRESULT onControlMessage(UINT msg, WPARAM wp, LPARAM lp);
    LRESULT defaultControlProc(UINT msg, WPARAM wp, LPARAM lp);
    virtual void captionChanged() {}
    HFONT font() const noexcept { return font_; }

private:
    friend bool reflectToControl(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result);

    static LRESULT CALLBACK subclassProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR, DWORD_PTR self);
    HWND hwnd_ = nullptr;
    int id_ = 0;
    HFONT font_ = nullptr;
};

// For parents: WM_COMMAND, WM_DRAWITEM and WM_CTLCOLOR* from our controls go
// to the control object. True when the control handled it.
bool reflectToControl(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result);

// WM_ERASEBKGND for windows that keep their own background brush.
LRESULT eraseBackground(HWND hwnd, HDC dc, HBRUSH brush);

// A text label. With autoSize it takes the size of its text, as captions
// change; a clickable label reports clicks and can show its own cursor.
class Label : public Control {
public:
    struct Style {
        Rgb color{30, 30, 30};
        Rgb background{240, 240, 240};
        bool autoSize = true;
        bool centered = false;  // text centred in the label's width
        bool clickable = false;
        HCURSOR cursor = nullptr;
    };
    void create(const ControlPlace& place, const std::wstring& text, HFONT font, const Style& style);
    std::function<void()> onClick;

protected:
    bool onCommand(WORD code) override;
    HBRUSH onColor(HDC dc) override;
    LRESULT onControlMessage(UINT msg, WPARAM wp, LPARAM lp) override;
    void captionChanged() override;

private:
    void fitToText();
    Style style_;
    UniqueBrush background_;
};

// Buttons drawn by us, with hot tracking.
class OwnerDrawButton : public Control {
public:
    std::function<void()> onClick;

protected:
    void createButton(const ControlPlace& place, const std::wstring& text, HFONT font);
    bool onCommand(WORD code) override;
    bool onDrawItem(const DRAWITEMSTRUCT& item) override;
    LRESULT onControlMessage(UINT msg, WPARAM wp, LPARAM lp) override;
    virtual void paint(HDC dc, const RECT& rc, bool hot, bool pressed, bool focused, bool disabled) = 0;

private:
    bool hot_ = false;
};

// A flat text button: a filled rectangle that lightens under the mouse and
// darkens while pressed.
class FlatButton : public OwnerDrawButton {
public:
    struct Style {
        Rgb face{47, 128, 237};
        Rgb hot{74, 148, 242};
        Rgb pressed{20, 86, 184};
        Rgb text{255, 255, 255};
        Rgb disabledFace{190, 190, 190};
    };
    void create(const ControlPlace& place, const std::wstring& text, HFONT font, const Style& style);

protected:
    void paint(HDC dc, const RECT& rc, bool hot, bool pressed, bool focused, bool disabled) override;

private:
    Style style_;
};

// A picture button with its normal, pressed and released (mouse over, button
// up) pictures.
class ImageButton : public OwnerDrawButton {
public:
    void create(const ControlPlace& place, const std::wstring& accessibleName, int normalPng, int pressedPng,
                int releasedPng);

protected:
    void paint(HDC dc, const RECT& rc, bool hot, bool pressed, bool focused, bool disabled) override;

private:
    PngResource normal_, pressed_, released_;
};

// A picture stretched to the control's size.
class Picture : public Control {
public:
    void create(const ControlPlace& place, int png, Rgb background);

protected:
    bool onDrawItem(const DRAWITEMSTRUCT& item) override;

private:
    PngResource picture_;
    Rgb background_;
};

// A flat drop-down list: a thin frame, the selected text and a chevron.
class FlatComboBox : public Control {
public:
    void create(const ControlPlace& place, HFONT font);
    void clear();
    void add(const std::wstring& item);
    int count() const;
    int selectedIndex() const;
    void setSelectedIndex(int index);
    std::wstring itemW(int index) const;
    std::string item(int index) const;  // GBK

protected:
    bool onDrawItem(const DRAWITEMSTRUCT& item) override;
    LRESULT onControlMessage(UINT msg, WPARAM wp, LPARAM lp) override;

private:
    void paintFace(HDC dc);
    int height_ = 0;
};

// A flat progress bar over the common progress control, so its position can
// be read by other programs. Positions are byte counts and may exceed 32 bits.
class FlatGauge : public Control {
public:
    void create(const ControlPlace& place);
    void setMax(std::int64_t max);
    void setProgress(std::int64_t progress);
    std::int64_t max() const noexcept { return max_; }
    std::int64_t progress() const noexcept { return progress_; }

protected:
    LRESULT onControlMessage(UINT msg, WPARAM wp, LPARAM lp) override;

private:
    void sync();
    std::int64_t max_ = 100;
    std::int64_t progress_ = 0;
};

// A plain child window with a background colour that hosts other controls:
// it passes their notifications on, keeps right-anchored children at their
// distance from its right edge and reports left-button presses on itself.
class Panel : public Form {
public:
    void create(const ControlPlace& place, Rgb background);
    int id() const noexcept { return id_; }
    void anchorRight(Control& control);
    std::function<void(int x, int y)> onLeftButtonDown;

protected:
    LRESULT onMessage(UINT msg, WPARAM wp, LPARAM lp) override;

private:
    struct Anchor {
        Control* control;
        int rightGap;
    };
    std::vector<Anchor> anchors_;
    int id_ = 0;
};

// A window timer owned by a window; the owner calls its handler on WM_TIMER
// with this id.
class Timer {
public:
    Timer(UINT_PTR id, UINT intervalMs) : id_(id), interval_(intervalMs) {}
    ~Timer();
    Timer(const Timer&) = delete;
    Timer& operator=(const Timer&) = delete;
    void attach(HWND owner) noexcept { owner_ = owner; }
    UINT_PTR id() const noexcept { return id_; }
    bool enabled() const noexcept { return enabled_; }
    void setEnabled(bool enabled);

private:
    HWND owner_ = nullptr;
    UINT_PTR id_;
    UINT interval_;
    bool enabled_ = false;
};

}  // namespace orvo
