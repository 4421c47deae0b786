// orvo_Printer start-up: the application title, the start windows in their
// order, OLE on the user-interface thread, and the message loop.
#include <windows.h>

#include <commctrl.h>

#include <optional>

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
        // Single-threaded apartment with OLE, entered right after the first
        // show (nothing before it needs OLE) and left after the windows.
        std::optional<orvo::OleScope> ole;

        // The start windows, each hidden at first, in this order:
        orvo::TfrmMain frmMain;  // the main window: closing it ends the program
        // The hidden print host, owned by the main window so it never shows in
        // the task bar; it goes before the main window at the end.
        std::optional<orvo::TfrmXlsOLE> printHost;
        // The floating title bar, hidden until the view flow shows it over an
        // outside viewer; its button ends the program.
        std::optional<orvo::TfrmWriteRead_bar> titleBar;

        // The main window shows, at zero height, as the loop starts; the
        // request is read right after its first show, from the loop, and its
        // controls are made after that. The two hidden windows are made as the
        // loop starts, before anything the mode does.
        frmMain.Show();
        ole.emplace();
        orvo::throwIfFailed(ole->result(), "OleInitialize");
        const int exitCode = application.run([&] {
            // The common controls' DLL, too, loads only now.
            INITCOMMONCONTROLSEX classes{sizeof classes, ICC_STANDARD_CLASSES | ICC_PROGRESS_CLASS | ICC_BAR_CLASSES};
            ::InitCommonControlsEx(&classes);
            RECT mainRect{};
            ::GetWindowRect(frmMain.hwnd(), &mainRect);
            frmMain.usePrintHost(printHost.emplace(mainRect, frmMain.hwnd()));
            frmMain.useTitleBar(titleBar.emplace([&frmMain] { frmMain.ShutDown(); }));
        });
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
