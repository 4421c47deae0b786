#pragma once
// Windows-side failures: the code plus the system's own description, as GBK
// text so they can go straight into the standard error box.
#include <windows.h>
#include <source_location>
#include <string>
#include "support/portable/app_error.h"

namespace orvo {

// What failed and where: the operation named by the thrower (it also leads
// the message) and the place in the source that threw.
class SystemError : public AppError {
public:
    const std::string& operation() const noexcept { return operation_; }
    const std::source_location& where() const noexcept { return where_; }

protected:
    SystemError(const std::string& message, const std::string& operation, const std::source_location& where)
        : AppError(message), operation_(operation), where_(where) {}

private:
    std::string operation_;
    std::source_location where_;
};

class Win32Error : public SystemError {
public:
    Win32Error(DWORD code, const std::string& what, std::source_location where = std::source_location::current());
    DWORD code() const noexcept { return code_; }

private:
    DWORD code_;
};

class ComError : public SystemError {
public:
    ComError(HRESULT hr, const std::string& what, std::source_location where = std::source_location::current());
    // When the callee filled an EXCEPINFO, its description is the message.
    ComError(HRESULT hr, const std::string& what, const std::string& description,
             std::source_location where = std::source_location::current());
    HRESULT code() const noexcept { return hr_; }

private:
    HRESULT hr_;
};

// The system's description of an error code, GBK, without the trailing line break.
std::string systemMessage(DWORD code);

// Each records the operation and the caller's place in the source.
[[noreturn]] void throwLastError(const std::string& what, std::source_location where = std::source_location::current());
inline void throwLastErrorIf(bool failed, const std::string& what,
                             std::source_location where = std::source_location::current()) {
    if (failed) throwLastError(what, where);
}
inline void throwIfFailed(HRESULT hr, const std::string& what,
                          std::source_location where = std::source_location::current()) {
    if (FAILED(hr)) throw ComError(hr, what, where);
}

// Shows the standard error box (text, full stop, OK, error icon, caption
// "orvo_Printer") for an exception caught at an event boundary.
void showErrorBox(HWND owner, const std::string& gbkMessage);
void showErrorBox(HWND owner, const std::exception& error);

}  // namespace orvo
