#include "control_window.h"

#include <string>
#include "dispatch_table.h"
#include "fake_office_control.h"
#include "journal.h"
#include "office_objects.h"
#include "support/win32/unique.h"

namespace orvo::fake {
namespace {

HWND controlWindow = nullptr;
UINT lingerMs = 0;
constexpr UINT_PTR kLingerTimer = 1;

// Files Word still holds after quitting, until the linger timer ends.
std::vector<UniqueFile>& lingeringFiles() {
    static auto* files = new std::vector<UniqueFile>();
    return *files;
}

LRESULT openFromCopyData(const COPYDATASTRUCT* data) {
    if (!data || data->dwData != ORVO_FAKE_OFFICE_OPEN_COPYDATA || !data->lpData) return ORVO_FAKE_OFFICE_FAILED;
    size_t chars = data->cbData / sizeof(wchar_t);
    std::wstring path(static_cast<const wchar_t*>(data->lpData), chars);
    path.resize(wcsnlen(path.c_str(), path.size()));
    ApplicationObject* app = ApplicationObject::newestWord();
    journalLine(L"Control.Open(" + quote(path) + L")");
    if (!app) return ORVO_FAKE_OFFICE_NOTHING;
    try {
        app->openFile(path, false, false);
    } catch (const DispatchFault&) {
        return ORVO_FAKE_OFFICE_FAILED;
    }
    return ORVO_FAKE_OFFICE_DONE;
}

LRESULT CALLBACK controlWindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_COPYDATA) return openFromCopyData(reinterpret_cast<const COPYDATASTRUCT*>(lp));
    if (msg >= ORVO_FAKE_OFFICE_SAVE && msg <= ORVO_FAKE_OFFICE_CRASH) return handleControlMessage(msg, wp, lp);
    if (msg == WM_TIMER && wp == kLingerTimer) {
        ::KillTimer(hwnd, kLingerTimer);
        journalLine(L"Control.LingerEnded");
        lingeringFiles().clear();
        return 0;
    }
    if (msg == WM_NCDESTROY && hwnd == controlWindow) controlWindow = nullptr;
    return ::DefWindowProcW(hwnd, msg, wp, lp);
}

}  // namespace

HINSTANCE moduleHandle() {
    HMODULE module = nullptr;
    ::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                         reinterpret_cast<LPCWSTR>(&moduleHandle), &module);
    return module;
}

void registerWindowClass(const wchar_t* name, WNDPROC procedure, LPCWSTR cursor) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = procedure;
    wc.hInstance = moduleHandle();
    if (cursor) wc.hCursor = ::LoadCursorW(nullptr, cursor);
    wc.lpszClassName = name;
    ::RegisterClassExW(&wc);
}

void ensureControlWindow() {
    if (controlWindow) return;
    registerWindowClass(ORVO_FAKE_OFFICE_CONTROL_CLASS, controlWindowProc);
    std::wstring title = std::wstring(ORVO_FAKE_OFFICE_CONTROL_CLASS) + L" " + std::to_wstring(::GetCurrentProcessId());
    // Hidden top-level rather than message-only, so EnumWindows finds it
    // from other processes.
    controlWindow = ::CreateWindowExW(WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE, ORVO_FAKE_OFFICE_CONTROL_CLASS, title.c_str(),
                                      WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, moduleHandle(), nullptr);
}

void holdFilesAfterQuit(const std::vector<std::wstring>& paths) {
    if (lingerMs == 0 || paths.empty() || !controlWindow) return;
    for (const auto& path : paths)
        lingeringFiles().emplace_back(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                                    FILE_ATTRIBUTE_NORMAL, nullptr));
    ::SetTimer(controlWindow, kLingerTimer, lingerMs, nullptr);
}

LRESULT handleControlMessage(UINT message, WPARAM wParam, LPARAM) {
    ApplicationObject* app = ApplicationObject::newestWord();
    ComPtr<ApplicationObject> keep(app);
    switch (message) {
    case ORVO_FAKE_OFFICE_SAVE: {
        journalLine(L"Control.Save");
        DocumentObject* doc = app ? app->activeDocument() : nullptr;
        if (!doc) return ORVO_FAKE_OFFICE_NOTHING;
        try {
            doc->save();
        } catch (const DispatchFault&) {
            return ORVO_FAKE_OFFICE_FAILED;
        }
        return ORVO_FAKE_OFFICE_DONE;
    }
    case ORVO_FAKE_OFFICE_EDIT: {
        journalLine(L"Control.Edit");
        DocumentObject* doc = app ? app->activeDocument() : nullptr;
        if (!doc) return ORVO_FAKE_OFFICE_NOTHING;
        SYSTEMTIME now;
        ::GetLocalTime(&now);
        wchar_t line[64];
        swprintf_s(line, L"Edited at %02u:%02u:%02u.%03u", now.wHour, now.wMinute, now.wSecond, now.wMilliseconds);
        doc->typeLine(line);
        return ORVO_FAKE_OFFICE_DONE;
    }
    case ORVO_FAKE_OFFICE_CLOSE: {
        journalLine(L"Control.Close(" + std::to_wstring(wParam) + L")");
        DocumentObject* doc = app ? app->activeDocument() : nullptr;
        if (!doc) return ORVO_FAKE_OFFICE_NOTHING;
        try {
            doc->close(wParam != 0, true);
        } catch (const DispatchFault&) {
            return ORVO_FAKE_OFFICE_FAILED;
        }
        return ORVO_FAKE_OFFICE_DONE;
    }
    case ORVO_FAKE_OFFICE_QUIT:
        journalLine(L"Control.Quit(" + std::to_wstring(wParam) + L")");
        if (!app) return ORVO_FAKE_OFFICE_NOTHING;
        try {
            app->quit(wParam != 0);
        } catch (const DispatchFault&) {
            return ORVO_FAKE_OFFICE_FAILED;
        }
        return ORVO_FAKE_OFFICE_DONE;
    case ORVO_FAKE_OFFICE_NEW:
        journalLine(L"Control.New");
        if (!app) return ORVO_FAKE_OFFICE_NOTHING;
        try {
            app->newDocument();
        } catch (const DispatchFault&) {
            return ORVO_FAKE_OFFICE_FAILED;
        }
        return ORVO_FAKE_OFFICE_DONE;
    case ORVO_FAKE_OFFICE_ACTIVATE:
        journalLine(L"Control.Activate(" + std::to_wstring(wParam) + L")");
        if (!app || wParam < 1 || wParam > app->documentCount()) return ORVO_FAKE_OFFICE_NOTHING;
        app->activate(app->document(wParam - 1));
        return ORVO_FAKE_OFFICE_DONE;
    case ORVO_FAKE_OFFICE_LINGER:
        journalLine(L"Control.Linger(" + std::to_wstring(wParam) + L")");
        lingerMs = static_cast<UINT>(wParam);
        return ORVO_FAKE_OFFICE_DONE;
    case ORVO_FAKE_OFFICE_CRASH:
        journalLine(L"Control.Crash");
        if (!app) return ORVO_FAKE_OFFICE_NOTHING;
        app->crash();
        return ORVO_FAKE_OFFICE_DONE;
    case ORVO_FAKE_OFFICE_QUERY:
        return app ? static_cast<LRESULT>(app->documentCount()) : ORVO_FAKE_OFFICE_NOTHING;
    default:
        return ORVO_FAKE_OFFICE_FAILED;
    }
}

}  // namespace orvo::fake
