// fake_office_ctl: acts on the Office substitute inside a running program
// as the user of Word would, through its control window.
//
//   fake_office_ctl.exe [--pid N] [--timeout MS] [--desktop NAME] COMMAND
//   COMMAND: save | edit | close [--save] | quit [--save] | new | activate N | query | open PATH
//            | linger MS   (keep the files open MS milliseconds after the next quit)
//            | crash       (Word dies: no event, every later call fails)
//
// Prints the window's answer. Exit status: 0 done (for query: the number of
// open documents is printed), 1 nothing to act on, 2 refused, 3 no control
// window, 4 several processes have one (pass --pid), 5 no answer in time,
// 6 bad arguments. --desktop looks on the named desktop (a Wine virtual
// desktop the program runs on) instead of the default one.
#include <windows.h>
#include <cstdio>
#include <string>
#include <vector>
#include "fake_office_control.h"

namespace {

struct Found {
    DWORD pid;
    std::vector<HWND> windows;
};

BOOL CALLBACK collect(HWND hwnd, LPARAM lp) {
    auto* found = reinterpret_cast<Found*>(lp);
    wchar_t cls[64];
    if (!::GetClassNameW(hwnd, cls, ARRAYSIZE(cls)) || wcscmp(cls, ORVO_FAKE_OFFICE_CONTROL_CLASS) != 0) return TRUE;
    DWORD pid = 0;
    ::GetWindowThreadProcessId(hwnd, &pid);
    if (found->pid == 0 || found->pid == pid) found->windows.push_back(hwnd);
    return TRUE;
}

int usage() {
    fwprintf(stderr, L"usage: fake_office_ctl [--pid N] [--timeout MS] save|edit|close [--save]|quit [--save]|new|activate N|query|open PATH|linger MS|crash\n");
    return 6;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    DWORD pid = 0, timeout = 10000;
    std::wstring desktop;
    std::vector<std::wstring> words;
    for (int i = 1; i < argc; ++i) {
        std::wstring arg = argv[i];
        if (arg == L"--pid" && i + 1 < argc) pid = wcstoul(argv[++i], nullptr, 10);
        else if (arg == L"--timeout" && i + 1 < argc) timeout = wcstoul(argv[++i], nullptr, 10);
        else if (arg == L"--desktop" && i + 1 < argc) desktop = argv[++i];
        else words.push_back(arg);
    }
    if (words.empty()) return usage();
    const std::wstring& command = words[0];
    bool save = words.size() > 1 && words[1] == L"--save";
    UINT message = 0;
    WPARAM wParam = 0;
    std::wstring openPath;
    if (command == L"save") message = ORVO_FAKE_OFFICE_SAVE;
    else if (command == L"edit") message = ORVO_FAKE_OFFICE_EDIT;
    else if (command == L"close") message = ORVO_FAKE_OFFICE_CLOSE, wParam = save;
    else if (command == L"quit") message = ORVO_FAKE_OFFICE_QUIT, wParam = save;
    else if (command == L"crash") message = ORVO_FAKE_OFFICE_CRASH;
    else if (command == L"new") message = ORVO_FAKE_OFFICE_NEW;
    else if (command == L"query") message = ORVO_FAKE_OFFICE_QUERY;
    else if (command == L"activate" && words.size() > 1) message = ORVO_FAKE_OFFICE_ACTIVATE, wParam = wcstoul(words[1].c_str(), nullptr, 10);
    else if (command == L"linger" && words.size() > 1) message = ORVO_FAKE_OFFICE_LINGER, wParam = wcstoul(words[1].c_str(), nullptr, 10);
    else if (command == L"open" && words.size() > 1) message = WM_COPYDATA, openPath = words[1];
    else return usage();

    if (!desktop.empty()) {
        // It stays this thread's desktop until the end of the run.
        HDESK handle = ::OpenDesktopW(desktop.c_str(), 0, FALSE, GENERIC_ALL);
        if (!handle || !::SetThreadDesktop(handle)) {
            fwprintf(stderr, L"no desktop %ls\n", desktop.c_str());
            return 3;
        }
    }
    Found found{pid, {}};
    ::EnumWindows(collect, reinterpret_cast<LPARAM>(&found));
    if (found.windows.empty()) {
        fwprintf(stderr, L"no OrvoFakeOfficeControl window%ls\n", pid ? L" in that process" : L"");
        return 3;
    }
    if (found.windows.size() > 1) {
        fwprintf(stderr, L"several processes have the Office substitute loaded; pass --pid:");
        for (HWND w : found.windows) {
            DWORD p = 0;
            ::GetWindowThreadProcessId(w, &p);
            fwprintf(stderr, L" %lu", static_cast<unsigned long>(p));
        }
        fwprintf(stderr, L"\n");
        return 4;
    }
    DWORD_PTR result = 0;
    LRESULT ok;
    if (message == WM_COPYDATA) {
        COPYDATASTRUCT data{ORVO_FAKE_OFFICE_OPEN_COPYDATA, static_cast<DWORD>((openPath.size() + 1) * sizeof(wchar_t)),
                            const_cast<wchar_t*>(openPath.c_str())};
        ok = ::SendMessageTimeoutW(found.windows[0], WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data), SMTO_NORMAL, timeout, &result);
    } else {
        ok = ::SendMessageTimeoutW(found.windows[0], message, wParam, 0, SMTO_NORMAL, timeout, &result);
    }
    if (!ok) {
        fwprintf(stderr, L"no answer within %lu ms\n", static_cast<unsigned long>(timeout));
        return 5;
    }
    auto value = static_cast<LONG_PTR>(result);
    wprintf(L"%lld\n", static_cast<long long>(value));
    if (value >= 0) return 0;
    return value == ORVO_FAKE_OFFICE_NOTHING ? 1 : 2;
}
