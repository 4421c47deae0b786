#pragma once
#include <exception>
#include "support/win_error.h"

namespace orvo {

template <typename F>
void guardEvent(HWND owner, F&& handler) noexcept {
    try {
        handler();
    } catch (const std::exception& e) {
        showErrorBox(owner, e);
    } catch (...) {
        showErrorBox(owner, std::string("Unknown error"));
    }
}

}  // namespace orvo
