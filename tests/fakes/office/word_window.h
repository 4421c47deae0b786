#pragma once
// The window of a Word application started through Word.Application: a
// visible top-level window titled with Application.Caption that shows the
// active document. Closing it, as a user does, quits Word.
#include <windows.h>

namespace orvo::fake {

class ApplicationObject;

inline constexpr wchar_t kWordWindowClass[] = L"OrvoFakeWordApplication";

class WordWindow {
public:
    explicit WordWindow(ApplicationObject& app) : app_(app) {}
    ~WordWindow();
    WordWindow(const WordWindow&) = delete;
    WordWindow& operator=(const WordWindow&) = delete;

    void setVisible(bool visible);
    // The caption or the active document changed.
    void refresh();
    HWND hwnd() const noexcept { return hwnd_; }

private:
    static LRESULT CALLBACK proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
    void paint(HDC dc, const RECT& client);

    ApplicationObject& app_;
    HWND hwnd_ = nullptr;
};

}  // namespace orvo::fake
