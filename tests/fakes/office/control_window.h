#pragma once
// The hidden window through which tests act as the user of Word would
// (save, edit, close, quit, open, new): see fake_office_control.h.
#include <windows.h>
#include <string>
#include <vector>

namespace orvo::fake {

HINSTANCE moduleHandle();

// Registers a window class of this module (once per name; a repeat is
// refused by the system and harmless).
void registerWindowClass(const wchar_t* name, WNDPROC procedure, LPCWSTR cursor = nullptr);

// Creates the process's control window on the calling thread the first
// time; later calls do nothing. Called when the first object is made, so
// the window lives on the program's user-interface thread.
void ensureControlWindow();

// Keeps these files open (readable by others, not writable) for the time
// ORVO_FAKE_OFFICE_LINGER set, from the moment Word has quit.
void holdFilesAfterQuit(const std::vector<std::wstring>& paths);

// What the window does for each message; exposed for the window procedure
// and for direct use. Returns an ORVO_FAKE_OFFICE_* result.
LRESULT handleControlMessage(UINT message, WPARAM wParam, LPARAM lParam);

}  // namespace orvo::fake
