#pragma once
#include <exception>
#include "support/win32/win_error.h"
#include "support/win32/win_text.h"

namespace orvo {

template <typename F>
void guardEvent(HWND owner, F&& handler) noexcept {
    try {
        handler();
    } catch (const std::exception& e) {
        showErrorBox(owner, e);
    } catch (...) {
        showErrorBox(owner, wideToGbk(L"未知错误"));
    }
}

}  // namespace orvo
