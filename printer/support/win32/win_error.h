#pragma once
// Windows-side failures: the code plus the system's own description, as GBK
// text so they can go straight into the standard error box.
#include <windows.h>
#include <string>
#include "support/portable/app_error.h"

namespace orvo {

class Win32Error : public AppError {
public:
    Win32Error(DWORD code, const std::string& what);
    DWORD code() const noexcept { return code_; }

private:
    DWORD code_;
};

class ComError : public AppError {
public:
    ComError(HRESULT hr, const std::string& what);
    // When the callee filled an EXCEPINFO, its description is the message.
    ComError(HRESULT hr, const std::string& what, const std::string& description);
    HRESULT code() const noexcept { return hr_; }

private:
    HRESULT hr_;
};

// The system's description of an error code, GBK, without the trailing line break.
std::string systemMessage(DWORD code);

[[noreturn]] void throwLastError(const std::string& what);
inline void throwLastErrorIf(bool failed, const std::string& what) {
    if (failed) throwLastError(what);
}
inline void throwIfFailed(HRESULT hr, const std::string& what) {
    if (FAILED(hr)) throw ComError(hr, what);
}

// Shows the standard error box (text, full stop, OK, error icon, caption
// "orvo_Printer") for an exception caught at an event boundary.
void showErrorBox(HWND owner, const std::string& gbkMessage);
void showErrorBox(HWND owner, const std::exception& error);

}  // namespace orvo
