// orvo_Printer start-up: the application title, OLE on the user-interface
// thread, the start windows in their order, and the message loop.
#include <windows.h>

#include <commctrl.h>

#include "application.h"
#include "hosting/frm_WriteRead_bar.h"
#include "hosting/frm_xlsOLE.h"
#include "main/frm_Main.h"
#include "support/win32/helpdesk_log.h"
#include "support/win32/safe_dll_search.h"
#include "support/win32/unique.h"
#include "support/win32/win_error.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int) {
    orvo::useSafeDllSearch();
    orvo::helpdesk::startRun();
    try {
        orvo::Application application;
        orvo::OleScope ole;  // single-threaded apartment with OLE
        orvo::throwIfFailed(ole.result(), "OleInitialize");
        INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES | ICC_PROGRESS_CLASS | ICC_BAR_CLASSES};
        ::InitCommonControlsEx(&controls);

        // The start windows, each hidden at first, in this order:
        orvo::TfrmMain frmMain;  // the main window: closing it ends the program
        // The hidden print host, owned by the main window so it never shows in
        // the task bar; it goes before the main window at the end.
        RECT mainRect{};
        ::GetWindowRect(frmMain.hwnd(), &mainRect);
        orvo::TfrmXlsOLE printHost(mainRect, frmMain.hwnd());
        frmMain.usePrintHost(printHost);
        // The floating title bar, hidden until the view flow shows it over an
        // outside viewer; its button ends the program.
        orvo::TfrmWriteRead_bar titleBar([&frmMain] { frmMain.ShutDown(); });
        frmMain.useTitleBar(titleBar);

        // The main window shows as the loop starts; its first show decodes the request.
        frmMain.Show();
        const int exitCode = application.run();
        orvo::helpdesk::log("run ended, exit code " + std::to_string(exitCode));
        return exitCode;
    } catch (const std::exception& e) {
        // Windows destroyed on the way out may have asked the loop to end;
        // that request must not close the box before it is read.
        MSG quit;
        ::PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);
        orvo::helpdesk::showRunEndingErrorBox(nullptr, e);
        orvo::helpdesk::log("run ended, exit code 1");
        return 1;
    }
}
