// uidriver: drives and inspects the windows of another program for the
// end-to-end tests. It runs under Wine beside the program under test and
// writes its findings as UTF-8 JSON to the file given by --out (never to
// stdout: Wine's output through pipes can hang).
//
//   uidriver --out FILE COMMAND [window selection] [options] [CONTROL]
//
// Window selection (top-level windows; all given criteria must hold):
//   --title T   exact title        --class C    exact class name
//   --pid N     owning process     --hwnd 0xH   this window
//   --visible   visible only       --height N   window height N
//   --exclude-pids N,N,...  windows of other processes than these
//   --cmdline-has T  windows of processes whose command line contains T
//   --timeout MS  wait this long for a match (default 5000; 0 = look once)
//   --desktop D  windows of the named desktop (Wine's virtual desktop
//               "explorer /desktop=D,WxH") instead of the default one; a
//               desktop that does not exist has no windows
//
// Commands:
//   find                 the first matching window
//   windows              every matching window (no wait), e.g. all of --pid
//   wait-gone            waits until no window matches
//   controls             the window and all its descendant controls
//   control CTL          one control: text, class, visibility, rectangles,
//                        progress position and range, combo items and selection,
//                        whether a check box is ticked
//   click CTL            posts BM_CLICK (with --command: WM_COMMAND to the parent)
//   pick CTL             selects a combo item (--index N or --text T) or a list
//                        item (--index N) and notifies the parent as a
//                        user's choice would
//   clipboard            the formats on the clipboard (none when empty)
//   close                posts WM_CLOSE
//   settext CTL          sets the control's text to --text T (WM_SETTEXT), as
//                        typing into a dialog's file name box would
//   copydata             sends WM_COPYDATA with --text T as GBK bytes and
//                        its terminating NUL, as the launcher forwards a request
//   minimize, restore    shows the window minimised or restored
//   restack              places a top-most window at the top again, as it
//                        already stands in the window order (Wine's virtual
//                        desktop can draw another program's newer window over it)
//   focus                the keyboard focus of the window's thread, as a control
//   wheel                posts one wheel turn (--delta D, default -120: towards
//                        the user) to that focus, or to the window without one
//   key                  posts a key press (--index VK, default VK_DOWN) to that focus
//   msgbox               a message box (class #32770): caption, text, buttons,
//                        and whether it shows an icon
//   press-ok             presses the message box's OK (or only) button
//   ping [CTL]           sends WM_NULL --count N times (default 20), --interval
//                        MS apart (default 50), and reports how long each took
//                        to be answered, with CTL's progress position at each
//
// CTL is a control id (decimal or 0x hex) or, in the main window, the seal
// window, the preview and the title bar, a control name from their tables
// (Label1, DrawGrid1, Label_Zoom, ...).
#include <windows.h>

#include <commctrl.h>
#include <winternl.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <algorithm>
#include <fstream>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include <nlohmann/json.hpp>

#include "resources/control_ids.h"

using nlohmann::json;

namespace {

struct UsageError {
    std::string message;
};

std::string utf8(const std::wstring& w) {
    if (w.empty()) return {};
    const int n = ::WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), nullptr, 0, nullptr, nullptr);
    std::string s(static_cast<size_t>(n), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), s.data(), n, nullptr, nullptr);
    return s;
}

std::string hexHandle(HWND h) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "0x%llX", static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(h)));
    return buf;
}

// The text the system keeps for a window, without asking its thread: what a
// busy window (one inside a long call) still shows in its caption.
std::wstring storedTextOf(HWND h) {
    wchar_t text[1024] = {};
    const int n = ::InternalGetWindowText(h, text, 1024);
    return std::wstring(text, n > 0 ? static_cast<size_t>(n) : 0);
}

std::wstring textOf(HWND h) {
    // WM_GETTEXT is marshalled between processes; GetWindowText is not for
    // other programs' controls.
    DWORD_PTR length = 0;
    if (!::SendMessageTimeoutW(h, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 2000, &length)) return storedTextOf(h);
    std::wstring text(length + 1, L'\0');
    DWORD_PTR got = 0;
    if (!::SendMessageTimeoutW(h, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()), SMTO_ABORTIFHUNG,
                               2000, &got))
        return storedTextOf(h);
    text.resize(got);
    return text;
}

std::wstring classOf(HWND h) {
    wchar_t name[256] = {};
    ::GetClassNameW(h, name, 256);
    return name;
}

json rectJson(const RECT& r) {
    return {{"left", r.left},
            {"top", r.top},
            {"right", r.right},
            {"bottom", r.bottom},
            {"width", r.right - r.left},
            {"height", r.bottom - r.top}};
}

long long unixMillis() {
    FILETIME ft;
    ::GetSystemTimePreciseAsFileTime(&ft);
    const unsigned long long t = (static_cast<unsigned long long>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
    return static_cast<long long>((t - 116444736000000000ULL) / 10000ULL);
}

// ---- Options

struct Options {
    std::string out;
    std::string command;
    std::vector<std::string> positional;
    std::optional<std::wstring> title, className;
    std::optional<DWORD> pid;
    std::vector<DWORD> excludedPids;
    std::optional<std::wstring> commandLineHas;
    std::optional<std::wstring> desktop;
    std::optional<HWND> hwnd;
    std::optional<int> height;
    bool visibleOnly = false;
    int timeoutMs = 5000;
    bool viaCommand = false;
    std::optional<int> index;
    std::optional<std::wstring> itemText;
    int count = 20;
    int intervalMs = 50;
    int delta = -WHEEL_DELTA;
};

std::wstring wideArg(const char* s) {
    const int n = ::MultiByteToWideChar(CP_UTF8, 0, s, -1, nullptr, 0);
    std::wstring w(static_cast<size_t>(n > 0 ? n - 1 : 0), L'\0');
    if (n > 1) ::MultiByteToWideChar(CP_UTF8, 0, s, -1, w.data(), n);
    return w;
}

Options parse(const std::vector<std::string>& args, const std::vector<std::wstring>& wargs) {
    Options o;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&]() -> size_t {
            if (i + 1 >= args.size()) throw UsageError{"missing value after " + a};
            return ++i;
        };
        if (a == "--out") o.out = args[value()];
        else if (a == "--title") o.title = wargs[value()];
        else if (a == "--class") o.className = wargs[value()];
        else if (a == "--pid") o.pid = static_cast<DWORD>(std::stoul(args[value()], nullptr, 0));
        else if (a == "--exclude-pids") {
            const std::string list = args[value()];
            size_t start = 0;
            while (start <= list.size()) {
                const size_t comma = std::min(list.find(',', start), list.size());
                if (comma > start) o.excludedPids.push_back(static_cast<DWORD>(std::stoul(list.substr(start, comma - start))));
                start = comma + 1;
            }
        }
        else if (a == "--cmdline-has") o.commandLineHas = wargs[value()];
        else if (a == "--desktop") o.desktop = wargs[value()];
        else if (a == "--hwnd") o.hwnd = reinterpret_cast<HWND>(static_cast<uintptr_t>(std::stoull(args[value()], nullptr, 0)));
        else if (a == "--height") o.height = std::stoi(args[value()]);
        else if (a == "--visible") o.visibleOnly = true;
        else if (a == "--timeout") o.timeoutMs = std::stoi(args[value()]);
        else if (a == "--command") o.viaCommand = true;
        else if (a == "--index") o.index = std::stoi(args[value()]);
        else if (a == "--text") o.itemText = wargs[value()];
        else if (a == "--count") o.count = std::stoi(args[value()]);
        else if (a == "--interval") o.intervalMs = std::stoi(args[value()]);
        else if (a == "--delta") o.delta = std::stoi(args[value()]);
        else if (a.rfind("--", 0) == 0) throw UsageError{"unknown option " + a};
        else if (o.command.empty()) o.command = a;
        else o.positional.push_back(a);
    }
    if (o.out.empty()) throw UsageError{"--out FILE is required"};
    if (o.command.empty()) throw UsageError{"no command"};
    return o;
}

// ---- Windows

// Another process's command line, read from its process parameters (Wine
// has no query for it); empty when it cannot be read.
std::wstring commandLineOf(DWORD pid) {
    static std::map<DWORD, std::wstring> known;
    if (auto it = known.find(pid); it != known.end()) return it->second;
    std::wstring line;
    if (HANDLE h = ::OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, pid)) {
        PROCESS_BASIC_INFORMATION basic{};
        ULONG length = 0;
        PEB peb{};
        RTL_USER_PROCESS_PARAMETERS params{};
        SIZE_T got = 0;
        if (::NtQueryInformationProcess(h, ProcessBasicInformation, &basic, sizeof basic, &length) == 0 &&
            ::ReadProcessMemory(h, basic.PebBaseAddress, &peb, sizeof peb, &got) &&
            ::ReadProcessMemory(h, peb.ProcessParameters, &params, sizeof params, &got) &&
            params.CommandLine.Length > 0) {
            line.resize(params.CommandLine.Length / sizeof(wchar_t));
            if (!::ReadProcessMemory(h, params.CommandLine.Buffer, line.data(), params.CommandLine.Length, &got))
                line.clear();
        }
        ::CloseHandle(h);
    }
    known[pid] = line;
    return line;
}

bool matches(HWND h, const Options& o) {
    if (o.hwnd && *o.hwnd != h) return false;
    if (o.visibleOnly && !::IsWindowVisible(h)) return false;
    if (o.pid || !o.excludedPids.empty() || o.commandLineHas) {
        DWORD pid = 0;
        ::GetWindowThreadProcessId(h, &pid);
        if (o.pid && pid != *o.pid) return false;
        for (DWORD excluded : o.excludedPids)
            if (pid == excluded) return false;
        if (o.commandLineHas && commandLineOf(pid).find(*o.commandLineHas) == std::wstring::npos) return false;
    }
    if (o.className && classOf(h) != *o.className) return false;
    if (o.title && textOf(h) != *o.title) return false;
    if (o.height) {
        RECT r{};
        ::GetWindowRect(h, &r);
        if (r.bottom - r.top != *o.height) return false;
    }
    return true;
}

// Moves this thread onto the named desktop, once it exists. The handle stays
// open for the rest of the run: it is the thread's desktop from then on.
bool onDesktop(const Options& o) {
    static bool entered = false;
    if (!o.desktop || entered) return true;
    HDESK desktop = ::OpenDesktopW(o.desktop->c_str(), 0, FALSE, GENERIC_ALL);
    if (!desktop) return false;
    if (!::SetThreadDesktop(desktop)) {
        ::CloseDesktop(desktop);
        throw std::runtime_error("cannot move onto the desktop");
    }
    entered = true;
    return true;
}

std::vector<HWND> topLevelWindows(const Options& o) {
    if (!onDesktop(o)) return {};
    struct Ctx {
        const Options* o;
        std::vector<HWND> found;
    } ctx{&o, {}};
    if (o.hwnd) {
        if (::IsWindow(*o.hwnd) && matches(*o.hwnd, o)) ctx.found.push_back(*o.hwnd);
        return ctx.found;
    }
    ::EnumWindows(
        [](HWND h, LPARAM lp) WINAPI -> BOOL {
            auto* c = reinterpret_cast<Ctx*>(lp);
            if (matches(h, *c->o)) c->found.push_back(h);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&ctx));
    return ctx.found;
}

HWND waitForWindow(const Options& o) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(o.timeoutMs);
    for (;;) {
        auto found = topLevelWindows(o);
        if (!found.empty()) return found.front();
        if (std::chrono::steady_clock::now() >= deadline) return nullptr;
        std::this_thread::sleep_for(std::chrono::milliseconds(15));
    }
}

json windowJson(HWND h) {
    RECT r{}, c{};
    ::GetWindowRect(h, &r);
    ::GetClientRect(h, &c);
    DWORD pid = 0;
    ::GetWindowThreadProcessId(h, &pid);
    return {{"hwnd", hexHandle(h)},
            {"title", utf8(textOf(h))},
            {"class", utf8(classOf(h))},
            {"pid", pid},
            {"visible", ::IsWindowVisible(h) != FALSE},
            {"topmost", (::GetWindowLongPtrW(h, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0},
            {"iconic", ::IsIconic(h) != FALSE},
            {"zoomed", ::IsZoomed(h) != FALSE},
            {"topmost", (::GetWindowLongPtrW(h, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0},
            {"enabled", ::IsWindowEnabled(h) != FALSE},
            {"foreground", ::GetForegroundWindow() == h},
            {"rect", rectJson(r)},
            {"client", {{"width", c.right}, {"height", c.bottom}}}};
}

// ---- Controls

// The control names of our windows, by window class.
std::span<const orvo::ctl::ControlName> controlTable(HWND top) {
    const std::wstring cls = classOf(top);
    if (cls == orvo::ctl::kMainClass) return orvo::ctl::kMainControls;
    if (cls == orvo::ctl::kPreviewClass) return orvo::ctl::kPreviewControls;
    if (cls == orvo::ctl::kTitleBarClass) return orvo::ctl::kTitleBarControls;
    if (cls == orvo::ctl::kSealClass) return orvo::ctl::kSealControls;
    return {};
}

std::string controlName(HWND top, int id) {
    for (const auto& c : controlTable(top))
        if (c.id == id) return c.name;
    return {};
}

int resolveControlId(HWND top, const std::string& params) {
    for (const auto& c : controlTable(top))
        if (params == c.name) return c.id;
    try {
        size_t used = 0;
        const int id = std::stoi(params, &used, 0);
        if (used == params.size()) return id;
    } catch (...) {
    }
    throw UsageError{"unknown control " + params + " in this window"};
}

std::vector<HWND> descendants(HWND top) {
    std::vector<HWND> all;
    ::EnumChildWindows(
        top,
        [](HWND h, LPARAM lp) WINAPI -> BOOL {
            reinterpret_cast<std::vector<HWND>*>(lp)->push_back(h);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&all));
    return all;
}

HWND findControl(HWND top, int id) {
    for (HWND h : descendants(top))
        if (::GetDlgCtrlID(h) == id) return h;
    return nullptr;
}

LRESULT send(HWND h, UINT msg, WPARAM wp = 0, LPARAM lp = 0) {
    DWORD_PTR result = 0;
    if (!::SendMessageTimeoutW(h, msg, wp, lp, SMTO_ABORTIFHUNG, 2000, &result)) return -1;
    return static_cast<LRESULT>(result);
}

json controlJson(HWND top, HWND h) {
    RECT r{}, c{};
    ::GetWindowRect(h, &r);
    ::GetClientRect(h, &c);
    RECT inParent = r;
    ::MapWindowPoints(HWND_DESKTOP, ::GetParent(h), reinterpret_cast<POINT*>(&inParent), 2);
    const int id = ::GetDlgCtrlID(h);
    const std::wstring cls = classOf(h);
    json j = {{"hwnd", hexHandle(h)},
              {"id", id},
              {"name", controlName(top, id)},
              {"class", utf8(cls)},
              {"text", utf8(textOf(h))},
              {"visible", ::IsWindowVisible(h) != FALSE},
              {"style_visible", (::GetWindowLongPtrW(h, GWL_STYLE) & WS_VISIBLE) != 0},
              {"enabled", ::IsWindowEnabled(h) != FALSE},
              {"rect", rectJson(r)},
              {"in_parent", rectJson(inParent)},
              {"client", {{"width", c.right}, {"height", c.bottom}}}};
    if (_wcsicmp(cls.c_str(), PROGRESS_CLASSW) == 0) {
        j["progress"] = {{"pos", send(h, PBM_GETPOS)},
                         {"min", send(h, PBM_GETRANGE, TRUE)},
                         {"max", send(h, PBM_GETRANGE, FALSE)}};
    }
    if (_wcsicmp(cls.c_str(), L"ComboBox") == 0) {
        json items = json::array();
        const LRESULT count = send(h, CB_GETCOUNT);
        for (LRESULT i = 0; i < count; ++i) {
            const LRESULT len = send(h, CB_GETLBTEXTLEN, static_cast<WPARAM>(i));
            if (len < 0) {
                items.push_back(nullptr);
                continue;
            }
            std::wstring text(static_cast<size_t>(len) + 1, L'\0');
            DWORD_PTR got = 0;
            ::SendMessageTimeoutW(h, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text.data()),
                                  SMTO_ABORTIFHUNG, 2000, &got);
            text.resize(static_cast<size_t>(got));
            items.push_back(utf8(text));
        }
        const LRESULT selected = send(h, CB_GETCURSEL);
        j["combo"] = {{"items", items}, {"selected", selected}};
    }
    if (_wcsicmp(cls.c_str(), L"Button") == 0) j["checked"] = send(h, BM_GETCHECK) == BST_CHECKED;
    if (_wcsicmp(cls.c_str(), L"ListBox") == 0) {
        j["list"] = {{"count", send(h, LB_GETCOUNT)},
                     {"selected", send(h, LB_GETCURSEL)},
                     {"top", send(h, LB_GETTOPINDEX)},
                     {"item_height", send(h, LB_GETITEMHEIGHT)}};
    }
    return j;
}

// ---- Commands

HWND requireWindow(const Options& o) {
    HWND h = waitForWindow(o);
    if (!h) throw std::runtime_error("no matching window");
    return h;
}

HWND requireControl(HWND top, const Options& o) {
    if (o.positional.empty()) throw UsageError{"which control?"};
    const int id = resolveControlId(top, o.positional.front());
    HWND h = findControl(top, id);
    if (!h) throw std::runtime_error("no control " + o.positional.front());
    return h;
}

json run(const Options& o) {
    const std::string& cmd = o.command;
    if (cmd == "find") {
        HWND h = requireWindow(o);
        // The moment it matched: describing the window asks its thread for the
        // title, which waits until that thread next serves messages.
        const auto foundAt = unixMillis();
        json j = {{"window", windowJson(h)}, {"found_at_ms", foundAt}};
        return j;
    }
    if (cmd == "windows") {
        json list = json::array();
        for (HWND h : topLevelWindows(o)) list.push_back(windowJson(h));
        return {{"windows", list}};
    }
    if (cmd == "wait-gone") {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(o.timeoutMs);
        while (!topLevelWindows(o).empty()) {
            if (std::chrono::steady_clock::now() >= deadline) throw std::runtime_error("window still there");
            std::this_thread::sleep_for(std::chrono::milliseconds(15));
        }
        return {{"gone", true}};
    }
    if (cmd == "controls") {
        HWND top = requireWindow(o);
        json list = json::array();
        for (HWND h : descendants(top)) list.push_back(controlJson(top, h));
        return {{"window", windowJson(top)}, {"controls", list}};
    }
    if (cmd == "control") {
        HWND top = requireWindow(o);
        return {{"control", controlJson(top, requireControl(top, o))}};
    }
    if (cmd == "click") {
        HWND top = requireWindow(o);
        HWND h = requireControl(top, o);
        if (o.viaCommand)
            ::PostMessageW(::GetParent(h), WM_COMMAND, MAKEWPARAM(::GetDlgCtrlID(h), BN_CLICKED),
                           reinterpret_cast<LPARAM>(h));
        else
            ::PostMessageW(h, BM_CLICK, 0, 0);
        return {{"clicked", controlJson(top, h)}};
    }
    if (cmd == "pick") {
        HWND top = requireWindow(o);
        HWND h = requireControl(top, o);
        LRESULT index = -1;
        if (o.index) {
            index = *o.index;
        } else if (o.itemText) {
            index = send(h, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(o.itemText->c_str()));
        } else {
            throw UsageError{"pick needs --index or --text"};
        }
        const bool list = _wcsicmp(classOf(h).c_str(), L"ListBox") == 0;
        if (list && !o.index) throw UsageError{"pick in a list needs --index"};
        if (index < 0 || send(h, list ? LB_SETCURSEL : CB_SETCURSEL, static_cast<WPARAM>(index)) == (list ? LB_ERR : CB_ERR))
            throw std::runtime_error("no such item");
        ::PostMessageW(::GetParent(h), WM_COMMAND, MAKEWPARAM(::GetDlgCtrlID(h), list ? LBN_SELCHANGE : CBN_SELCHANGE),
                       reinterpret_cast<LPARAM>(h));
        return {{"picked", controlJson(top, h)}};
    }
    if (cmd == "clipboard") {
        json formats = json::array();
        if (!::OpenClipboard(nullptr)) throw std::runtime_error("the clipboard is busy");
        for (UINT f = ::EnumClipboardFormats(0); f; f = ::EnumClipboardFormats(f)) formats.push_back(f);
        ::CloseClipboard();
        return {{"formats", formats}};
    }
    if (cmd == "focus" || cmd == "wheel" || cmd == "key") {
        HWND h = requireWindow(o);
        GUITHREADINFO info{sizeof info};
        ::GetGUIThreadInfo(::GetWindowThreadProcessId(h, nullptr), &info);
        HWND focus = info.hwndFocus;
        if (cmd == "wheel") {
            HWND target = focus ? focus : h;
            // Posted, as the system queues a wheel turn for the focus window.
            ::PostMessageW(target, WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<short>(o.delta)), 0);
            return {{"wheeled", controlJson(h, target)}};
        }
        if (cmd == "key") {
            HWND target = focus ? focus : h;
            const WPARAM key = static_cast<WPARAM>(o.index.value_or(VK_DOWN));
            ::PostMessageW(target, WM_KEYDOWN, key, 1);
            ::PostMessageW(target, WM_KEYUP, key, 0xC0000001);
            return {{"keyed", controlJson(h, target)}};
        }
        if (!focus) return {{"focus", nullptr}};
        return {{"focus", controlJson(h, focus)}};
    }
    if (cmd == "settext") {
        HWND top = requireWindow(o);
        HWND h = requireControl(top, o);
        const std::wstring text = o.itemText.value_or(L"");
        DWORD_PTR done = 0;
        if (!::SendMessageTimeoutW(h, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()), SMTO_ABORTIFHUNG, 5000,
                                   &done) ||
            !done)
            throw std::runtime_error("the control did not take the text");
        return {{"set", controlJson(top, h)}};
    }
    if (cmd == "close") {
        HWND h = requireWindow(o);
        json j = {{"closed", windowJson(h)}};
        ::PostMessageW(h, WM_CLOSE, 0, 0);
        return j;
    }
    if (cmd == "copydata") {
        HWND h = requireWindow(o);
        const std::wstring text = o.itemText.value_or(L"");
        std::string bytes;
        if (!text.empty()) {
            const int n = ::WideCharToMultiByte(936, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr,
                                                nullptr);
            bytes.resize(static_cast<size_t>(n));
            ::WideCharToMultiByte(936, 0, text.data(), static_cast<int>(text.size()), bytes.data(), n, nullptr, nullptr);
        }
        COPYDATASTRUCT data{0, static_cast<DWORD>(bytes.size() + 1), bytes.data()};
        DWORD_PTR answer = 0;
        if (!::SendMessageTimeoutW(h, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data), SMTO_ABORTIFHUNG, 5000, &answer))
            throw std::runtime_error("WM_COPYDATA was not answered");
        return {{"answer", static_cast<long long>(answer)}};
    }
    if (cmd == "restack") {
        HWND h = requireWindow(o);
        if (!(::GetWindowLongPtrW(h, GWL_EXSTYLE) & WS_EX_TOPMOST)) throw std::runtime_error("not a top-most window");
        // Out of the top-most band and back: a move to where it already is
        // changes nothing on the screen.
        ::SetWindowPos(h, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        ::SetWindowPos(h, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        return {{"restacked", windowJson(h)}};
    }
    if (cmd == "minimize" || cmd == "restore") {
        HWND h = requireWindow(o);
        ::ShowWindowAsync(h, cmd == "minimize" ? SW_MINIMIZE : SW_RESTORE);
        return {{cmd, windowJson(h)}};
    }
    if (cmd == "msgbox" || cmd == "press-ok") {
        Options box = o;
        if (!box.className) box.className = L"#32770";
        HWND top = requireWindow(box);
        json buttons = json::array();
        HWND text = nullptr;
        bool icon = false;
        std::vector<HWND> pushButtons;
        for (HWND h : descendants(top)) {
            const std::wstring cls = classOf(h);
            if (_wcsicmp(cls.c_str(), L"Button") == 0) {
                pushButtons.push_back(h);
                buttons.push_back({{"id", ::GetDlgCtrlID(h)}, {"text", utf8(textOf(h))}});
            } else if (_wcsicmp(cls.c_str(), L"Static") == 0 && ::GetDlgCtrlID(h) == 0xFFFF) {
                text = h;
            } else if (_wcsicmp(cls.c_str(), L"Static") == 0 && ::IsWindowVisible(h) &&
                       (::GetWindowLongW(h, GWL_STYLE) & SS_TYPEMASK) == SS_ICON) {
                icon = icon || send(h, STM_GETICON) != 0;
            }
        }
        json j = {{"window", windowJson(top)},
                  {"caption", utf8(textOf(top))},
                  {"text", text ? utf8(textOf(text)) : std::string()},
                  {"buttons", buttons},
                  {"icon", icon}};
        if (cmd == "press-ok") {
            HWND ok = nullptr;
            for (HWND b : pushButtons)
                if (::GetDlgCtrlID(b) == IDOK) ok = b;
            if (!ok && pushButtons.size() == 1) ok = pushButtons.front();
            if (!ok) throw std::runtime_error("no OK button");
            ::PostMessageW(top, WM_COMMAND, MAKEWPARAM(::GetDlgCtrlID(ok), BN_CLICKED), reinterpret_cast<LPARAM>(ok));
            j["pressed"] = ::GetDlgCtrlID(ok);
        }
        return j;
    }
    if (cmd == "ping") {
        HWND top = requireWindow(o);
        HWND gauge = o.positional.empty() ? nullptr : requireControl(top, o);
        LARGE_INTEGER frequency{};
        ::QueryPerformanceFrequency(&frequency);
        json samples = json::array();
        double worst = 0;
        for (int i = 0; i < o.count; ++i) {
            if (i > 0) std::this_thread::sleep_for(std::chrono::milliseconds(o.intervalMs));
            LARGE_INTEGER before{}, after{};
            ::QueryPerformanceCounter(&before);
            DWORD_PTR ignored = 0;
            // A window that does not answer within 5 s counts as hung.
            const bool answered = ::SendMessageTimeoutW(top, WM_NULL, 0, 0, SMTO_NORMAL, 5000, &ignored) != 0;
            ::QueryPerformanceCounter(&after);
            const double ms = 1000.0 * static_cast<double>(after.QuadPart - before.QuadPart) /
                              static_cast<double>(frequency.QuadPart);
            worst = std::max(worst, ms);
            json sample = {{"ms", ms}, {"answered", answered}, {"at_ms", unixMillis()}};
            if (gauge) sample["progress"] = send(gauge, PBM_GETPOS);
            samples.push_back(sample);
            if (!answered && !::IsWindow(top)) break;
        }
        return {{"samples", samples}, {"max_ms", worst}};
    }
    throw UsageError{"unknown command " + cmd};
}

void writeOut(const std::string& path, const json& j) {
    std::ofstream f(std::filesystem::path(wideArg(path.c_str())), std::ios::binary | std::ios::trunc);
    f << j.dump(2) << "\n";
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    // Screen pixels, not pixels scaled back to 96 DPI: the programs under test
    // are DPI-aware.
    ::SetProcessDPIAware();
    std::vector<std::string> args;
    std::vector<std::wstring> wargs;
    for (int i = 1; i < argc; ++i) {
        wargs.emplace_back(argv[i]);
        args.push_back(utf8(argv[i]));
    }
    std::string out;
    for (size_t i = 0; i + 1 < args.size(); ++i)
        if (args[i] == "--out") out = args[i + 1];
    try {
        const Options o = parse(args, wargs);
        writeOut(o.out, json{{"ok", true}, {"result", run(o)}});
        return 0;
    } catch (const UsageError& e) {
        if (!out.empty()) writeOut(out, json{{"ok", false}, {"error", e.message}, {"usage", true}});
        return 2;
    } catch (const std::exception& e) {
        if (!out.empty()) writeOut(out, json{{"ok", false}, {"error", e.what()}});
        return 1;
    }
}
