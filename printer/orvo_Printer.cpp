// orvo_Printer start-up: the application title, OLE on the user-interface
// thread, the start windows in their order, and the message loop.
#include <windows.h>

#include "application.h"
#include "support/unique.h"
#include "support/win_error.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int) {
    try {
        orvo::Application application;
        orvo::OleScope ole;  // single-threaded apartment with OLE
        orvo::throwIfFailed(ole.result(), "OleInitialize");
        return application.run();
    } catch (const std::exception& e) {
        orvo::showErrorBox(nullptr, e);
        return 1;
    }
}
