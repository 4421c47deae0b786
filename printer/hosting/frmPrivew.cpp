#include "hosting/frmPrivew.h"

#include <commdlg.h>
#include <oleauto.h>

#include <algorithm>

#include "application.h"
#include "core/local_name.h"
#include "hosting/office_macros.h"
#include "resources/control_ids.h"
#include "resources/resource_ids.h"
#include "support/ui/font.h"
#include "support/win32/helpdesk_log.h"
#include "support/win32/win_error.h"
#include "support/win32/win_text.h"

namespace orvo {
namespace {

namespace id = ctl::preview;

constexpr int kDesignWidth = 788;
constexpr int kDesignHeight = 542;
constexpr int kToolBarHeight = 35;
constexpr int kContainerTop = 33;
constexpr Rgb kToolBarColor{240, 240, 240};
constexpr Rgb kZoomBoxFill{231, 231, 231};
constexpr Rgb kZoomBoxBorder{172, 172, 172};
constexpr Rgb kZoomText{83, 83, 83};
constexpr int kZoomStep = 10;
// Word settles a ".docx" made from a file before it is driven further.
constexpr DWORD kDocxSettleMs = 400;
// WdProtectionType: comments only.
constexpr int kAllowOnlyComments = 1;
// WdPageFit
constexpr int kPageFitFullPage = 1;
constexpr int kPageFitBestFit = 2;

std::int32_t toInt(const UniqueVariant& value) {
    VARIANT converted;
    ::VariantInit(&converted);
    throwIfFailed(::VariantChangeType(&converted, const_cast<VARIANT*>(value.get()), 0, VT_I4), "Zoom.Percentage");
    return converted.lVal;
}

// Best-effort steps on Word: a failure is of no consequence and says nothing.
template <typename F>
void quietly(F&& step) noexcept {
    try {
        step();
    } catch (...) {
    }
}

}  // namespace

Tfrm_Priview::Tfrm_Priview() {
    setBackground(kToolBarColor);
    ClassParams cls{ctl::kPreviewClass};
    cls.icon = ::LoadIconW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_APP));
    CreateParams params;
    params.style = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;
    params.exStyle = WS_EX_APPWINDOW;  // a task-bar button of its own
    params.title = ctl::kPreviewCaption;
    params.width = dp(kDesignWidth);
    params.height = dp(kDesignHeight);
    create(cls, params);

    // 宋体 at 9 points.
    font_ = makeFont(L"宋体", 12);
    ::SendMessageW(hwnd(), WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), FALSE);
    createToolBar();

    RECT client{};
    ::GetClientRect(hwnd(), &client);
    const RECT bounds{0, dp(kContainerTop), client.right - 1, client.bottom - 1};
    container_ = std::make_unique<OleDocumentContainer>(hwnd(), id::OleContainer, bounds, OleBorderStyle::None);

    if (Application* app = theApplication())
        filterId_ = app->addMessageFilter([this](MSG& msg) { return PreTranslate(msg); });
}

Tfrm_Priview::~Tfrm_Priview() {
    if (Application* app = theApplication()) app->removeMessageFilter(filterId_);
    // The object and its window go before the window that holds them.
    container_.reset();
    if (hwnd()) ::DestroyWindow(hwnd());
}

void Tfrm_Priview::createToolBar() {
    RECT client{};
    ::GetClientRect(hwnd(), &client);
    Panel1.create(ControlPlace{hwnd(), id::Panel1, 0, 0, client.right, dp(kToolBarHeight), false}, kToolBarColor);
    HWND bar = Panel1.hwnd();
    tips_.create(hwnd(), font_.get());

    Btn_Save.create(place(bar, id::Btn_Save, 12, 2, 32, 28), L"文件另存为", IDR_PNG_TOOL_SAVE, tips_);
    Btn_Print.create(place(bar, id::Btn_Print, 53, 2, 29, 28), L"打印文件", IDR_PNG_TOOL_PRINT, tips_);
    btn_BestSzie.create(place(bar, id::btn_BestSzie, 99, 2, 32, 30), L"原始大小", IDR_PNG_TOOL_ACTUAL_SIZE, tips_);
    btn_PageFitBestFit.create(place(bar, id::btn_PageFitBestFit, 138, 2, 31, 30), L"最合适宽度",
                              IDR_PNG_TOOL_FIT_WIDTH, tips_);
    btn_PageFitFullPage.create(place(bar, id::btn_PageFitFullPage, 175, 2, 32, 30), L"最合适高度",
                               IDR_PNG_TOOL_FIT_PAGE, tips_);
    FlatSpeedButton5.create(place(bar, id::FlatSpeedButton5, 228, 2, 24, 28), L"缩小", IDR_PNG_TOOL_ZOOM_OUT, tips_);
    FlatSpeedButton6.create(place(bar, id::FlatSpeedButton6, 258, 2, 24, 28), L"放大", IDR_PNG_TOOL_ZOOM_IN, tips_);

    Shape1.create(place(bar, id::Shape1, 290, 8, 34, 18), kZoomBoxFill, kZoomBoxBorder);
    Label_Zoom.create(place(bar, id::Label_Zoom, 294, 11, 0, 0), L"100%", font_.get(),
                      Label::Style{kZoomText, kZoomBoxFill});
    // Over the box, which it would otherwise hide.
    ::SetWindowPos(Label_Zoom.hwnd(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);

    Picture* separators[] = {&Image3, &Image4, &Image5, &Image6};
    const int separatorLeft[] = {4, 90, 214, 335};
    for (int i = 0; i < 4; ++i)
        separators[i]->create(place(bar, id::Image3 + i, separatorLeft[i], 9, 3, 17), IDR_PNG_TOOL_SEPARATOR,
                              kToolBarColor);
    Edit1.create(place(bar, id::Edit1, 344, 8, 0, 21), font_.get());

    SaveDialog.title = L"保存文档";
    SaveDialog.filter = L"Word 文档|*.doc|Excel 文档|*.xls|所有文件|*.*";
    SaveDialog.defaultExt = L"doc";
    SaveDialog.options = OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY | OFN_ENABLESIZING;

    Btn_Save.onClick = [this] { Btn_SaveClick(); };
    Btn_Print.onClick = [this] { Btn_PrintClick(); };
    btn_BestSzie.onClick = [this] { btn_BestSzieClick(); };
    btn_PageFitBestFit.onClick = [this] { btn_PageFitBestFitClick(); };
    btn_PageFitFullPage.onClick = [this] { btn_PageFitFullPageClick(); };
    FlatSpeedButton5.onClick = [this] { FlatSpeedButton5Click(); };
    FlatSpeedButton6.onClick = [this] { FlatSpeedButton6Click(); };
}

// ---- Showing and closing

void Tfrm_Priview::ShowModal() {
    closed_ = false;
    // As the form's show handler runs before the window appears.
    FormShow();
    Application* app = theApplication();
    if (closed_ || (app && app->terminated())) return;
    ::ShowWindow(hwnd(), SW_SHOWMAXIMIZED);
    ::UpdateWindow(hwnd());
    // Focusing Edit1 may have activated the window while it was hidden: the
    // document takes the focus from it once the window shows.
    if (::GetActiveWindow() == hwnd()) guardEvent(hwnd(), [this] { FormActivate(); });
    if (app) app->runModal([this] { return closed_; });
}

void Tfrm_Priview::FormShow() {
    if (!LoadDocument()) return;
    ::ShowWindow(Panel1.hwnd(), SW_SHOWNA);
    ::SetFocus(Edit1.hwnd());
}

void Tfrm_Priview::FormActivate() {
    if (!OleContainer().empty()) OleContainer().focus();
}

void Tfrm_Priview::FormClose() {
    quietly([this] { Document().object(L"ActiveWindow").put(L"DisplayRulers", true); });
    closed_ = true;
    ::ShowWindow(hwnd(), SW_HIDE);
    if (onClosed) {
        onClosed();
    } else if (Application* app = theApplication()) {
        app->terminate();
    }
}

void Tfrm_Priview::CloseDocument() {
    if (!OleContainer().empty()) OleContainer().close();
}

void Tfrm_Priview::ReleaseDocument() noexcept { OleContainer().destroyObject(); }

// ---- Loading

bool Tfrm_Priview::LoadDocument() {
    OleDocumentContainer& container = OleContainer();
    const bool docx = FFileExt == ".docx";
    if (docx) {
        container.createFromFile(FLocalFile);
    } else {
        try {
            if (!FPreviewStream) throw AppError(wideToGbk(L"读取流出错"));
            container.loadFromBorrowedStream(
                std::string_view(reinterpret_cast<const char*>(FPreviewStream->data()), FPreviewStream->size()));
        } catch (const std::exception&) {
            helpdesk::log("view: the report could not be loaded into the preview");
            helpdesk::showRunEndingBox(hwnd(), L"无法打开此文件。", L"文件错误", MB_OK | MB_ICONERROR);
            if (Application* app = theApplication()) app->terminate();
            return false;
        }
    }
    forbidMacros(container);
    container.activate(OLEIVERB_SHOW);
    LockWordView();
    if (!docx) container.setSizeMode(OleSizeMode::Automatic);
    Document().object(L"Application").object(L"Documents").object(L"Item", 1).call(L"Activate");
    if (docx) ::Sleep(kDocxSettleMs);
    PlaceContainer();
    Dispatch zoom = Zoom();
    zoom.put(L"Percentage", 99);
    zoom.put(L"Percentage", 100);
    FocusContainer();
    return true;
}

void Tfrm_Priview::LockWordView() {
    // One guarded block: the first failure skips the rest, silently.
    quietly([this] {
        Dispatch document = Document();
        document.object(L"CommandBars", "Standard").put(L"Enabled", false);
        document.object(L"CommandBars", "Formatting").put(L"Enabled", false);
        document.object(L"CommandBars", "Drawing").put(L"Enabled", false);
        document.object(L"CommandBars", "Reviewing").put(L"Visible", false);
        document.object(L"ActiveWindow").put(L"DisplayRulers", false);
        document.object(L"CommandBars", "Menu Bar").put(L"Enabled", false);
        document.put(L"ShowRevisions", false);
        document.put(L"TrackRevisions", false);
        FZoomPercent = toInt(Zoom().get(L"Percentage"));
        // An already protected document refuses; it is locked either way.
        quietly([&] { document.call(L"Protect", kAllowOnlyComments); });
        document.object(L"CommandBars", "iSignature").put(L"Visible", false);
    });
    if (FZoomPercent == 0) FZoomPercent = 100;
    ShowZoom();
}

void Tfrm_Priview::PlaceContainer() {
    RECT client{};
    ::GetClientRect(hwnd(), &client);
    OleContainer().setBounds(0, dp(kContainerTop), client.right - 1, client.bottom - dp(kContainerTop + 1));
    placed_ = true;
}

void Tfrm_Priview::FocusContainer() { OleContainer().focus(); }

void Tfrm_Priview::Resized() {
    if (!Panel1.hwnd()) return;
    RECT client{};
    ::GetClientRect(hwnd(), &client);
    ::SetWindowPos(Panel1.hwnd(), nullptr, 0, 0, client.right, dp(kToolBarHeight),
                   SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOMOVE);
    // The document follows the window once it has its place.
    if (placed_) PlaceContainer();
}

// ---- Word

Dispatch Tfrm_Priview::Document() const { return Dispatch(OleContainer().automationObject()); }

Dispatch Tfrm_Priview::Zoom() const {
    return Document().object(L"ActiveWindow").object(L"ActivePane").object(L"View").object(L"Zoom");
}

void Tfrm_Priview::ShowZoom() { Label_Zoom.setCaption(std::to_wstring(FZoomPercent) + L"%"); }

// No bounds of our own: Word refuses what it cannot show.
void Tfrm_Priview::StepZoom(int step) {
    FZoomPercent += step;
    ShowZoom();
    Zoom().put(L"Percentage", FZoomPercent);
    FocusContainer();
}

void Tfrm_Priview::FitPage(int fit) {
    Dispatch zoom = Zoom();
    zoom.put(L"PageFit", fit);
    FZoomPercent = toInt(zoom.get(L"Percentage"));
    if (FZoomPercent == 0) FZoomPercent = 100;
    ShowZoom();
    FocusContainer();
}

void Tfrm_Priview::SmallScroll(int down, int up) {
    quietly([&] { Document().object(L"ActiveWindow").call(L"SmallScroll", down, up, 0, 0); });
}

// ---- Tool bar

void Tfrm_Priview::btn_BestSzieClick() {
    Label_Zoom.setCaption(std::wstring(L"100%"));
    FZoomPercent = 100;
    Zoom().put(L"Percentage", 100);
    FocusContainer();
}

void Tfrm_Priview::FlatSpeedButton5Click() { StepZoom(-kZoomStep); }
void Tfrm_Priview::FlatSpeedButton6Click() { StepZoom(kZoomStep); }
void Tfrm_Priview::btn_PageFitBestFitClick() { FitPage(kPageFitBestFit); }
void Tfrm_Priview::btn_PageFitFullPageClick() { FitPage(kPageFitFullPage); }

void Tfrm_Priview::Btn_PrintClick() { OleContainer().printWithHostDialog(); }

void Tfrm_Priview::Btn_SaveClick() {
    const bool excel = FFileExt == ".xls";
    SaveDialog.defaultExt = excel ? L"xls" : L"doc";
    SaveDialog.filterIndex = excel ? 2 : 1;
    SaveDialog.fileName = gbkToWide(proposedSaveName(FRequest));
    if (auto path = SaveDialog.execute(hwnd())) OleContainer().saveAsDocument(wideToGbk(*path));
}

void Tfrm_Priview::FormMouseWheelUp() { SmallScroll(0, 1); }
void Tfrm_Priview::FormMouseWheelDown() { SmallScroll(1, 0); }

// ---- Messages

bool Tfrm_Priview::PreTranslate(MSG& msg) {
    if (!hwnd() || (msg.hwnd != hwnd() && !::IsChild(hwnd(), msg.hwnd))) return false;
    if (msg.message == WM_MOUSEWHEEL) {
        if (GET_WHEEL_DELTA_WPARAM(msg.wParam) > 0)
            FormMouseWheelUp();
        else
            FormMouseWheelDown();
        return true;
    }
    if (msg.message >= WM_KEYFIRST && msg.message <= WM_KEYLAST && !OleContainer().empty())
        return OleContainer().translateAccelerator(msg);
    return false;
}

LRESULT Tfrm_Priview::onMessage(UINT msg, WPARAM wp, LPARAM lp) {
    LRESULT answered = 0;
    if (answerCommon(msg, wp, lp, answered)) return answered;
    switch (msg) {
    case WM_SIZE:
        if (wp != SIZE_MINIMIZED) Resized();
        return 0;
    case WM_ACTIVATE: {
        // The default handling focuses the window itself; the document comes after.
        const LRESULT result = defaultProc(msg, wp, lp);
        if (LOWORD(wp) != WA_INACTIVE && !HIWORD(wp)) guardEvent(hwnd(), [this] { FormActivate(); });
        return result;
    }
    case WM_CLOSE:
        guardEvent(hwnd(), [this] { FormClose(); });
        return 0;
    default:
        return defaultProc(msg, wp, lp);
    }
}

}  // namespace orvo
