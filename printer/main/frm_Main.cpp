#include "main/frm_Main.h"

#include <commctrl.h>
#include <commdlg.h>
#include <shellapi.h>

#include "application.h"
#include "build_config.h"
#include "core/request_intake.h"
#include "hosting/frmPrivew.h"
#include "hosting/frm_WriteRead_bar.h"
#include "main/server_trust.h"
#include "main/upload_worker.h"
#include "resources/control_ids.h"
#include "resources/resource_ids.h"
#include "seals/WordAuto.h"
#include "support/portable/delimited_list.h"
#include "support/win32/files.h"
#include "support/win32/helpdesk_log.h"
#include "support/win32/printers.h"
#include "support/win32/win_error.h"
#include "support/win32/win_text.h"
#include "usbkey/un_Usbkey.h"

namespace orvo {
namespace {

// The mode as the log names it: one the program knows, never the request's
// own text.
std::string modeForLog(const std::string& mode) {
    for (const char* known : {"viewf", "editf", "signf", "login"}) {
        if (mode == known) return mode;
    }
    return "print choice";
}

constexpr int kDesignWidth = 506;
constexpr int kDesignHeight = 316;
constexpr int kExpandedHeight = 318;
constexpr int kCompactHeight = 80;
constexpr int kCompactGaugeTop = 42;
// How far the window moves up when it takes either layout.
constexpr int kExpandedRise = 150;
constexpr int kCompactRise = 40;
// Above this height the window shows the print choice (the compact strip is 80).
constexpr int kShadowMinHeight = 100;
constexpr Rgb kBackground{240, 240, 240};
constexpr Rgb kText{30, 30, 30};
constexpr Rgb kShadowColor{82, 82, 82};
constexpr wchar_t kFontFace[] = L"微软雅黑";
// Posted by the first show: the printers are listed right after it.
constexpr UINT kListPrinters = WM_APP + 20;
// Posted by the first show for its handler, which runs from the message loop
// so that the window answers while the request's DLLs load.
constexpr UINT kFirstShown = WM_APP + 21;
// Posted by the first show, after the message that reads the request.
constexpr UINT kCreateControls = WM_APP + 22;

// The print choice is what any mode but these four opens.
bool opensPrintChoice(const std::string& mode) {
    return mode != "viewf" && mode != "editf" && mode != "signf" && mode != "login";
}

// The uppermost window of this thread a user works with: visible, of some
// size (the print host stays shown at zero size), neither a drop shadow
// nor a tooltip.
HWND frontmostWindowOfThread() {
    HWND found = nullptr;
    ::EnumThreadWindows(
        ::GetCurrentThreadId(),
        [](HWND window, LPARAM lp) WINAPI -> BOOL {
            RECT rc{};
            ::GetWindowRect(window, &rc);
            wchar_t cls[32] = {};
            ::GetClassNameW(window, cls, 32);
            const LONG_PTR ex = ::GetWindowLongPtrW(window, GWL_EXSTYLE);
            if (!::IsWindowVisible(window) || rc.right <= rc.left || rc.bottom <= rc.top ||
                (ex & (WS_EX_TRANSPARENT | WS_EX_NOACTIVATE)) || lstrcmpiW(cls, TOOLTIPS_CLASSW) == 0)
                return TRUE;
            *reinterpret_cast<HWND*>(lp) = window;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&found));
    return found;
}

}  // namespace

TfrmMain::TfrmMain() {
    setBackground(kBackground);
    ClassParams cls{ctl::kMainClass};
    cls.icon = ::LoadIconW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_APP));
    CreateParams params;
    // Borderless; the system menu and minimise box let the task bar minimise it.
    params.style = WS_POPUP | WS_CLIPCHILDREN | WS_SYSMENU | WS_MINIMIZEBOX;
    params.exStyle = WS_EX_APPWINDOW;
    params.title = ctl::kMainCaption;
    params.x = 0;
    params.y = 0;
    params.width = dp(kDesignWidth);
    params.height = dp(kDesignHeight);
    create(cls, params);

    Timer1.attach(hwnd());
    OpenDialog.title = L"请选择投标文件进行盖章";
    OpenDialog.filter = L"Word文件|*.doc;*.docx";
    OpenDialog.defaultExt = L"doc";
    OpenDialog.options = OFN_HIDEREADONLY | OFN_ENABLESIZING | OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST;
    if (Application* app = theApplication()) {
        app->addMinimizeHandler([this] { ApplicationEvents1Minimize(); });
        app->addRestoreHandler([this] { ApplicationEvents1Restore(); });
        app->setForwardedRequestHandler([this] { BringJobToFront(); });
    }

    FormCreate();
}

TfrmMain::~TfrmMain() {
    // Destroy the window while this object is whole, so FormDestroy runs.
    if (hwnd()) ::DestroyWindow(hwnd());
}

// The window is shown at zero height, so nothing in it can be seen before the
// dispatch lays it out: its controls are made after that first show, from
// the message loop, while the dispatch timer runs.
void TfrmMain::CreateControls() {
    if (controlsCreated_) return;
    controlsCreated_ = true;
    font_ = makeFont(kFontFace, 14);
    titleFont_ = makeFont(kFontFace, 13);
    buttonFont_ = makeFont(kFontFace, 16);
    HWND self = hwnd();
    const Label::Style text{kText, kBackground};

    FlatGauge.create(place(self, ctl::FlatGauge, 16, 272, 473, 25));
    Label1.create(place(self, ctl::Label1, 18, 248, 0, 0), L"等待打印...", font_.get(), text);
    Panel1.create(place(self, ctl::Panel1, 0, 0, kDesignWidth, 28), Rgb{255, 255, 255});
    Label::Style title{kText, Rgb{255, 255, 255}};
    title.clickable = true;
    title.cursor = ::LoadCursorW(nullptr, IDC_HAND);
    Label_Title.create(place(Panel1.hwnd(), ctl::Label_Title, 14, 4, 0, 0), L"orvo 报表打印系统", titleFont_.get(),
                       title);
    ImgBtn1.create(place(Panel1.hwnd(), ctl::ImgBtn1, 460, 0, 46, 28), L"关闭", IDR_PNG_CLOSE_NORMAL,
                   IDR_PNG_CLOSE_PRESSED, IDR_PNG_CLOSE_RELEASED);
    Panel1.anchorRight(ImgBtn1);
    Image1.create(place(self, ctl::Image1, 16, 64, 105, 105), IDR_PNG_LOGO, kBackground);
    lb_fileName.create(place(self, ctl::lb_fileName, 256, 80, 0, 0, false), L"", font_.get(), text);
    btn_Print.create(place(self, ctl::btn_Print, 200, 184, 137, 41), L"设置并打印", buttonFont_.get(), {});
    Label::Style grey{Rgb{110, 110, 110}, kBackground};
    Label3.create(place(self, ctl::Label3, 160, 80, 0, 0), L"请选择打印机", font_.get(), grey);
    FlatComboBox.create(place(self, ctl::FlatComboBox, 160, 112, 329, 28), font_.get());
    btn_PrintFile.create(place(self, ctl::btn_PrintFile, 352, 184, 137, 41), L"直接打印", buttonFont_.get(), {});
    btn_ViewFile.create(place(self, ctl::btn_ViewFile, 48, 184, 137, 41, false), L"浏览文件", buttonFont_.get(), {});

    Panel1.onLeftButtonDown = [this](int x, int y) { Panel1MouseDown(x, y); };
    Label_Title.onClick = [this] { Label_TitleClick(); };
    ImgBtn1.onClick = [this] { ImgBtn1Click(); };
    btn_Print.onClick = [this] { btn_PrintClick(); };
    btn_PrintFile.onClick = [this] { btn_PrintFileClick(); };
    btn_ViewFile.onClick = [this] { btn_ViewFileClick(); };
}

// ---- Event handlers

void TfrmMain::FormCreate() {
    ::SetWindowPos(hwnd(), nullptr, 0, 0, dp(kDesignWidth), 0, SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOMOVE);
    request_.FDownloadStream.clear();
    request_.FPreviewStream.clear();
    // The command line is read at the first show, and the controls made and
    // the printers listed (only for the print choice) after it: the common
    // controls', the shell's and the spooler's DLLs (the spooler asks CUPS
    // under Wine) load at their first call and would hold the window back.
}

void TfrmMain::FillPrinterList() {
    if (printersListed_) return;
    printersListed_ = true;
    // The spooler's DLL loads with this first question; under Wine its
    // loading sets the default printer.
    std::vector<std::wstring> printers;
    try {
        printers = installedPrinters();
    } catch (...) {
    }
    // The default as the print flows compare against it, read after that
    // loading: the print must go to the chosen printer even when it is the
    // default of an earlier run. A show step cut short by a parameter error
    // never reads it.
    if (parametersRead_) lb_fileName.setCaption(ReadDefaultPrinter());
    // Whatever goes wrong here, the list stays as far as it got.
    try {
        for (const std::wstring& name : printers) FlatComboBox.add(name);
        const std::wstring current = spoolerDefaultPrinter();
        for (int i = 0; i < FlatComboBox.count(); ++i) {
            if (FlatComboBox.itemW(i) == current) {
                FlatComboBox.setSelectedIndex(i);
                break;
            }
        }
    } catch (...) {
    }
}

void TfrmMain::Show() {
    const bool first = !shownOnce_;
    if (first) {
        RECT rc{};
        ::GetWindowRect(hwnd(), &rc);
        const int width = rc.right - rc.left, height = rc.bottom - rc.top;
        const int left = (::GetSystemMetrics(SM_CXSCREEN) - width) / 2;
        const int top = (::GetSystemMetrics(SM_CYSCREEN) - height) / 2;
        ::SetWindowPos(hwnd(), nullptr, left, top, 0, 0, SWP_NOZORDER | SWP_NOSIZE | SWP_NOACTIVATE);
    }
    ::ShowWindow(hwnd(), SW_SHOWNORMAL);
    ::UpdateWindow(hwnd());
    if (first) {
        shownOnce_ = true;
        // Reading the request starts the dispatch timer; the controls are
        // made after it, in the timer's wait. Posted messages come before a
        // timer's, even in the loop of an error box the reading shows.
        ::PostMessageW(hwnd(), kFirstShown, 0, 0);
        ::PostMessageW(hwnd(), kCreateControls, 0, 0);
    }
}

void TfrmMain::FormShow() {
    FShadow = std::make_unique<DropShadow>(hwnd(), kShadowColor);
    FShadow->show();
    try {
        DecodeRequest();
    } catch (const std::exception& e) {
        // A request that cannot be decoded leaves nothing to do: once its
        // error has been shown, the program ends instead of lingering unseen.
        helpdesk::log("request: could not be decoded");
        helpdesk::showRunEndingErrorBox(hwnd(), e);
        theApplication()->terminate();
        return;
    }
    guardEvent(hwnd(), [&] {
        ParseRequestParameters(request_.FRequest, request_);
        parametersRead_ = true;
    });
    if (!parametersRead_) helpdesk::log("request: parameters cut short");
    // Posted messages come before the dispatch timer's: the list is full
    // before the print choice shows it (at zero height until then).
    if (opensPrintChoice(request_.FMode)) ::PostMessageW(hwnd(), kListPrinters, 0, 0);
}

void TfrmMain::DecodeRequest() {
    request_.FRequest = Application::firstArgument();
    if (request_.FRequest.empty()) theApplication()->terminate();
    request_.FRequest = decodeRequestString(request_.FRequest, kRequestModulusText, kRequestExponentText);
    Timer1.setEnabled(true);
    request_.FMode = modeOfRequest(request_.FRequest);
    helpdesk::log("mode: " + modeForLog(request_.FMode));
}

void TfrmMain::Timer1Timer() {
    Timer1.setEnabled(false);
    CreateControls();  // made already, unless their message was lost
    // Here rather than at the show: the request is parsed (even when its
    // parameters were cut short), and the disabled timer cannot start the
    // mode while the question waits.
    if (!confirmRequestedServers(request_.FMode, request_, hwnd())) {
        Close();
        return;
    }
    if (request_.FMode == "viewf") {
        SetWindowLayout(false);
        btn_ViewFileClick();
    } else if (request_.FMode == "editf") {
        SetWindowLayout(false);
        if (!PrepareReport(request_, true)) return;
        OpenReportForEditing(request_);
    } else if (request_.FMode == "signf") {
        SetWindowLayout(false);
        const auto chosen = OpenDialog.execute(hwnd());
        if (!chosen) {
            Close();
            return;
        }
        request_.FLocalFile = wideToGbk(*chosen);
        OpenDocumentForSealing(request_);
    } else if (request_.FMode == "login") {
        SetWindowLayout(false);
        UsbKeyLogin(request_.FRequest, hwnd(), [this](const std::string& digest, const std::string& address,
                                             const std::string& token) { PostLogin(digest, address, token); });
        theApplication()->terminate();
    } else {
        FillPrinterList();  // done already, unless the list's message was lost
        SetWindowLayout(true);
    }
}

void TfrmMain::Panel1MouseDown(int, int) { dragByBody(); }

void TfrmMain::ImgBtn1Click() { Close(); }

void TfrmMain::Label_TitleClick() {
    const std::wstring url = utf8ToWide(ORVO_VENDOR_URL_TEXT);
    HWND owner = theApplication() ? theApplication()->hwnd() : hwnd();
    ::ShellExecuteW(owner, nullptr, url.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

void TfrmMain::ApplicationEvents1Minimize() {
    if (FShadow) FShadow->hide();
}

void TfrmMain::ApplicationEvents1Restore() {
    RECT rc{};
    ::GetWindowRect(hwnd(), &rc);
    if (FShadow && rc.bottom - rc.top > dp(kShadowMinHeight)) FShadow->show();
}

void TfrmMain::FormDestroy() {
    if (FShadow) FShadow->hide();
    ReleasePreviewDocument();
    request_.FDownloadStream = MemoryBuffer();
    request_.FPreviewStream = MemoryBuffer();
    CloseViewer();
}

LRESULT TfrmMain::WMCopyData(WPARAM, LPARAM) {
    // A request forwarded to a running instance is not acted on; the user
    // is shown what this run still has open.
    guardEvent(hwnd(), [this] { BringJobToFront(); });
    return 0;
}

void TfrmMain::BringJobToFront() {
    // Word first: in sign mode the strip then stays over it.
    if (frmWord_) frmWord_->BringWordToFront();
    if (HWND window = frontmostWindowOfThread()) bringWindowToFront(window);
}

// ---- Operations

void TfrmMain::Close() {
    if (hwnd()) ::SendMessageW(hwnd(), WM_CLOSE, 0, 0);
}

void TfrmMain::HideWithShadow() {
    if (FShadow) FShadow->hide();
    ::ShowWindow(hwnd(), SW_HIDE);
}

void TfrmMain::SetWindowLayout(bool expanded) {
    RECT rc{};
    ::GetWindowRect(hwnd(), &rc);
    const int width = rc.right - rc.left;
    if (expanded) {
        ::SetWindowPos(hwnd(), nullptr, rc.left, rc.top - dp(kExpandedRise), width, dp(kExpandedHeight),
                       SWP_NOZORDER | SWP_NOACTIVATE);
        return;
    }
    Label_Title.setCaption(std::wstring(L"正在加载"));
    Image1.setVisible(false);
    Label3.setVisible(false);
    FlatComboBox.setVisible(false);
    btn_Print.setVisible(false);
    btn_PrintFile.setVisible(false);
    ::SetWindowPos(hwnd(), nullptr, rc.left, rc.top - dp(kCompactRise), width, dp(kCompactHeight),
                   SWP_NOZORDER | SWP_NOACTIVATE);
    FlatGauge.setTop(dp(kCompactGaugeTop));
}

std::string TfrmMain::ReadDefaultPrinter() { return profileDefaultPrinter(); }

void TfrmMain::MakeDefaultPrinter(const std::wstring& name) { setDefaultPrinter(name); }

std::string TfrmMain::GetTempFolder() { return tempFolder(); }

std::string TfrmMain::LastPathItem(std::string_view text) { return orvo::LastPathItem(text); }

void TfrmMain::ShutDown() {
    ClosePreviewDocument();
    WaitForUploadWorker();
    CloseViewer();
    ReleasePrintHost();
    if (Application* app = theApplication()) app->terminate();
}


// ---- Messages

LRESULT TfrmMain::onMessage(UINT msg, WPARAM wp, LPARAM lp) {
    LRESULT answered = 0;
    if (answerCommon(msg, wp, lp, answered)) return answered;
    switch (msg) {
    case WM_TIMER:
        if (wp == Timer1.id()) guardEvent(hwnd(), [this] { Timer1Timer(); });
        return 0;
    case WM_SIZE:
        if (Application* app = theApplication()) app->mainWindowSized(wp);
        return 0;
    case kFirstShown:
        guardEvent(hwnd(), [this] { FormShow(); });
        return 0;
    case kCreateControls:
        guardEvent(hwnd(), [this] { CreateControls(); });
        return 0;
    case kListPrinters:
        guardEvent(hwnd(), [this] { FillPrinterList(); });
        return 0;
    case WM_COPYDATA:
        return WMCopyData(wp, lp);
    case kUploadProgressBegin:
    case kUploadProgressWork:
        UploadProgress(msg, wp, lp);
        return 0;
    case WM_CLOSE:
        if (WaitForUploadBeforeClose()) ::DestroyWindow(hwnd());
        return 0;
    case WM_DESTROY:
        guardEvent(nullptr, [this] { FormDestroy(); });
        if (Application* app = theApplication()) app->terminate();
        return 0;
    default:
        return defaultProc(msg, wp, lp);
    }
}

}  // namespace orvo
