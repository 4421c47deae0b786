#include "seals/WordAuto.h"

#include <commctrl.h>

#include <algorithm>

#include "application.h"
#include "core/seal_list.h"
#include "resources/control_ids.h"
#include "seals/seal_host.h"
#include "support/net/http_client.h"
#include "support/net/http_failure_log.h"
#include "support/ui/font.h"
#include "support/win32/dispatch.h"
#include "support/win32/helpdesk_log.h"
#include "support/win32/win_error.h"
#include "support/win32/win_text.h"

namespace orvo {
namespace {

constexpr int kLeft = 20, kTop = 160, kWidth = 118, kHeight = 306;
constexpr int kAlertWidth = 500, kAlertHeight = 150;
constexpr int kAlertLabelTop = 40, kAlertLabelHeight = 48;
constexpr int kDragStripHeight = 9;
constexpr int kRowHeight = 100;
constexpr unsigned kReadTimeoutMs = 5000;
// How often Word is looked at while the run waits for it: a Word that has
// died raises no Quit, and the run must not wait for ever without a window.
constexpr UINT_PTR kWatchWordTimer = 1;
constexpr UINT kWatchWordIntervalMs = 1000;
constexpr Rgb kBorder{128, 128, 128};
constexpr Rgb kDragStrip{160, 160, 160};
constexpr wchar_t kFontFace[] = L"微软雅黑";
constexpr wchar_t kSealHint[] = L"请选择印章并进行盖章";
constexpr wchar_t kWordCaption[] = L"orvo ZUN!";

// Word's constants for pasting a seal.
constexpr int kWdCharacter = 1, kWdExtend = 1;
constexpr int kWdWrapFront = 3;
constexpr int kMsoBringInFrontOfText = 4;
constexpr int kWhite = 0xFFFFFF;

Rgb buttonFace() {
    const COLORREF face = ::GetSysColor(COLOR_BTNFACE);
    return Rgb{GetRValue(face), GetGValue(face), GetBValue(face)};
}

// reason: GBK, said on a line of its own when there is one worth telling.
void showSealLoadFailure(HWND owner, const std::string& reason = {}) {
    std::wstring text = L"无法读取印章文件，请重新打开。";
    if (!reason.empty()) text += L"\n" + gbkToWide(reason);
    ::MessageBoxW(owner, text.c_str(), L"同步错误", MB_OK | MB_ICONERROR);
}

// The clipboard while another program may hold it for a moment.
class OpenClipboardScope {
public:
    explicit OpenClipboardScope(HWND owner) {
        for (int attempt = 0; attempt < 50 && !(open_ = ::OpenClipboard(owner)); ++attempt) ::Sleep(10);
        throwLastErrorIf(!open_, "OpenClipboard");
    }
    ~OpenClipboardScope() {
        if (open_) ::CloseClipboard();
    }
    OpenClipboardScope(const OpenClipboardScope&) = delete;
    OpenClipboardScope& operator=(const OpenClipboardScope&) = delete;

private:
    BOOL open_ = FALSE;
};

// A seal on the clipboard as a bitmap (CF_BITMAP) for as long as the scope
// lives; the clipboard is emptied when it ends, also after a failure.
class SealOnClipboard {
public:
    SealOnClipboard(HWND owner, const Bitmap32& seal) : owner_(owner) {
        UniqueBitmap bitmap = opaqueCopy(seal);
        OpenClipboardScope open(owner_);
        ::EmptyClipboard();
        throwLastErrorIf(!::SetClipboardData(CF_BITMAP, bitmap.get()), "SetClipboardData");
        bitmap.release();  // the clipboard owns it now
    }
    ~SealOnClipboard() {
        try {
            OpenClipboardScope open(owner_);
            ::EmptyClipboard();
        } catch (...) {
        }
    }
    SealOnClipboard(const SealOnClipboard&) = delete;
    SealOnClipboard& operator=(const SealOnClipboard&) = delete;

private:
    // The picture at its own size on white, as a device-dependent bitmap.
    static UniqueBitmap opaqueCopy(const Bitmap32& seal) {
        WindowDc screen(nullptr);
        UniqueBitmap bitmap(::CreateCompatibleBitmap(screen.get(), seal.width, seal.height));
        throwLastErrorIf(!bitmap, "CreateCompatibleBitmap");
        UniqueMemoryDc dc(::CreateCompatibleDC(screen.get()));
        throwLastErrorIf(!dc, "CreateCompatibleDC");
        SelectObjectScope select(dc.get(), bitmap.get());
        drawBitmap(dc.get(), seal, RECT{0, 0, seal.width, seal.height}, RGB(255, 255, 255));
        return bitmap;
    }
    HWND owner_;
};

std::vector<std::uint8_t> fetch(HttpClient& client, const std::string& url) {
    return runPumpedResult<std::vector<std::uint8_t>>([&](UiQueue&) { return client.get(url); });
}

}  // namespace

TfrmWord::TfrmWord(SealHost& host) : main_(host) {
    INITCOMMONCONTROLSEX hintClasses{sizeof hintClasses, ICC_BAR_CLASSES};
    ::InitCommonControlsEx(&hintClasses);
    background_.reset(::CreateSolidBrush(buttonFace().ref()));
    ClassParams cls{ctl::kSealClass};
    CreateParams params;
    params.style = WS_POPUP | WS_CLIPCHILDREN;
    params.exStyle = WS_EX_TOPMOST;
    params.title = ctl::kSealCaption;
    params.x = dp(kLeft);
    params.y = dp(kTop);
    params.width = dp(kWidth);
    params.height = dp(kHeight);
    create(cls, params);

    font_ = makeFont(kFontFace, 12);
    alertFont_ = makeFont(kFontFace, 14);
    HWND self = hwnd();
    DrawGrid1.create(place(self, ctl::DrawGrid1, 8, 16, 101, 201), dp(kRowHeight));
    FlatSpeedButton1.create(place(self, ctl::FlatSpeedButton1, 8, 224, 101, 33), L"盖 章", font_.get(), {});
    FlatSpeedButton2.create(place(self, ctl::FlatSpeedButton2, 8, 264, 101, 33), L"上 传", font_.get(), {});
    Btn_OK.create(place(self, ctl::Btn_OK, 128, 224, 101, 33), L"关 闭", font_.get(), {});
    Label::Style alert{Rgb{30, 30, 30}, buttonFace()};
    alert.autoSize = false;
    alert.centered = true;
    Label_Alert.create(place(self, ctl::Label_Alert, 2, kAlertLabelTop, kWidth - 4, kAlertLabelHeight, false), L"",
                       alertFont_.get(), alert);

    hints_.create(self, nullptr);
    hints_.add(FlatSpeedButton1.hwnd(), kSealHint);
    hints_.add(Btn_OK.hwnd(), kSealHint);

    DrawGrid1.onSelectCell = [this](int row) { DrawGrid1SelectCell(row); };
    FlatSpeedButton1.onClick = [this] { FlatSpeedButton1Click(); };
    FlatSpeedButton2.onClick = [this] { FlatSpeedButton2Click(); };
    Btn_OK.onClick = [this] { Btn_OKClick(); };
    main_.SetUploadAlertView([this](const std::string& alertText) {
        AlertText = alertText;
        ShowAlert();
    });
    FormCreate();
}

TfrmWord::~TfrmWord() {
    EndWordLink();
    if (hwnd()) ::DestroyWindow(hwnd());
}

// ---- Event handlers

void TfrmWord::FormCreate() {
    Seals.clear();
    DrawGrid1.setPictures(&Seals);
    ::SetWindowPos(hwnd(), nullptr, dp(kLeft), dp(kTop), dp(kWidth), dp(kHeight), SWP_NOZORDER | SWP_NOACTIVATE);
}

void TfrmWord::Show() {
    if (::IsWindowVisible(hwnd())) return;
    FormShow();
}

void TfrmWord::FormShow() {
    normalizeTopMosts(hwnd());
    RECT rc{};
    ::GetWindowRect(hwnd(), &rc);
    ::SetWindowPos(hwnd(), HWND_TOPMOST, rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top, SWP_SHOWWINDOW);
    ::UpdateWindow(hwnd());
    LoadSeals();
}

void TfrmWord::Close() { FormClose(); }

void TfrmWord::BringWordToFront() {
    if (!WordLink) return;
    // Word's window is the one that carries the caption given to it.
    struct Search {
        const wchar_t* caption;
        HWND found = nullptr;
    } search{kWordCaption};
    ::EnumWindows(
        [](HWND window, LPARAM lp) WINAPI -> BOOL {
            auto* s = reinterpret_cast<Search*>(lp);
            wchar_t title[256] = {};
            ::GetWindowTextW(window, title, 256);
            if (!::IsWindowVisible(window) || !wcsstr(title, s->caption)) return TRUE;
            s->found = window;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&search));
    if (search.found) bringWindowToFront(search.found);
}

void TfrmWord::CloseByUser() {
    // Closing the alert view is its "关 闭".
    if (alertShown_) {
        Btn_OKClick();
        return;
    }
    // The strip closed by the user: decide as after Word's quit, so the run
    // does not go on with no window left.
    if (!SaveOrDiscardChanges()) return;
    FormClose();
    FinishDocument();
}

void TfrmWord::FormClose() {
    EndWordLink();
    ::ShowWindow(hwnd(), SW_HIDE);
}

void TfrmWord::FormDestroy() { Seals.clear(); }

void TfrmWord::FormMouseDown() {
    dragByBody();
}

void TfrmWord::DrawGrid1SelectCell(int row) { SelectedSeal = row; }

void TfrmWord::FlatSpeedButton1Click() {
    // Without Word (it could not open the document) there is nothing to stamp.
    if (Seals.empty() || !WordLink) return;
    const size_t seal = static_cast<size_t>(std::clamp<int>(SelectedSeal, 0, static_cast<int>(Seals.size()) - 1));
    SealOnClipboard onClipboard(hwnd(), Seals[seal]);
    PasteSeal();
}

void TfrmWord::FlatSpeedButton2Click() {
    if (SaveOrDiscardChanges()) FinishDocument();
}

bool TfrmWord::SaveOrDiscardChanges() {
    if (!WordLink) return true;
    Dispatch word(ComPtr<IDispatch>(WordLink->WordApp()));
    try {
        const UniqueVariant saved = word.object(L"ActiveDocument").get(L"Saved");
        if (saved.get()->vt != VT_BOOL || saved.get()->boolVal != VARIANT_FALSE) return true;
    } catch (const std::exception&) {
        return true;  // no document, or no Word: nothing to lose
    }
    // Word quits without saving: unsaved stamps would be lost unseen.
    const int answer = ::MessageBoxW(hwnd(), L"文档已修改但尚未保存。是否保存后上传？", kApplicationTitle,
                                     MB_YESNOCANCEL | MB_ICONQUESTION);
    // Word quit while the question was open: its quit has decided already.
    if (!WordLink || answer == IDCANCEL) return false;
    if (answer == IDYES) word.object(L"ActiveDocument").call(L"Save");
    return true;
}

void TfrmWord::Btn_OKClick() { main_.Close(); }

void TfrmWord::DocumentOpened() { SetTrackRevisions(); }

// ---- Word

bool TfrmWord::StartWordLink() {
    if (WordLink) return true;
    auto link = std::make_unique<TWordObject>();
    if (!link->EventsConnected()) {
        // Without Word's Quit the run could never tell when the user is
        // done, nor upload what was saved: say so and end now.
        link.reset();
        helpdesk::log("word: its events could not be connected");
        helpdesk::showRunEndingBox(hwnd(), L"无法接收 Word 的通知，不能得知文档何时编辑完毕。程序将退出。",
                                   kApplicationTitle, MB_OK | MB_ICONERROR);
        main_.Close();
        return false;
    }
    link->SetCaption(wideToGbk(kWordCaption));
    link->SetVisible(true);
    link->SetOnQuit([this](TWordObject*) { guardEvent(hwnd(), [this] { WordQuit(); }); });
    link->SetOnDocumentChange(nullptr);
    link->SetOnDocumentNew(nullptr);
    link->SetOnDocumentOpen([this](TWordObject*) { guardEvent(hwnd(), [this] { DocumentOpened(); }); });
    link->SetOnDocumentClose(nullptr);
    WordLink = std::move(link);
    ::SetTimer(hwnd(), kWatchWordTimer, kWatchWordIntervalMs, nullptr);
    return true;
}

void TfrmWord::WatchWord() {
    // The look at Word is a call into it, which may pump messages while a
    // busy Word answers: one look at a time.
    if (!WordLink || finishing_ || watching_) return;
    watching_ = true;
    const bool running = WordLink->StillRunning();
    watching_ = false;
    // Gone, as after a crash: decide as its Quit would have.
    if (!running && WordLink) {
        helpdesk::log("word: gone without quitting");
        FinishDocument();
    }
}

void TfrmWord::EndWordLink() noexcept {
    // The reference is cleared first, so nothing can end the link twice.
    std::unique_ptr<TWordObject> link = std::move(WordLink);
    if (!link) return;
    ::KillTimer(hwnd(), kWatchWordTimer);
    // Word may raise Quit while the link asks it to quit: that is no user's
    // quit and starts no decision.
    endingLink_ = true;
    link.reset();
    endingLink_ = false;
}

void TfrmWord::WordQuit() {
    if (endingLink_) return;
    helpdesk::log("word: quit");
    FinishDocument();
}

bool TfrmWord::OpenDocument(const std::string& path, bool trackRevisions) {
    OpenedStamp = GetFileStamp(path);
    try {
        if (!WordLink) throw AppError("No Word");
        WordLink->OpenFile(path);
        if (trackRevisions) SetTrackRevisions();
        helpdesk::log("word: document opened");
        return true;
    } catch (const std::exception&) {
        helpdesk::log("word: the document could not be opened");
        // In edit mode nothing is left to do after it: the run ends.
        if (Mode == "Edit")
            helpdesk::showRunEndingBox(hwnd(), L"请退出所有Word程序再尝试打开文件...", kApplicationTitle, MB_OK);
        else
            ::MessageBoxW(hwnd(), L"请退出所有Word程序再尝试打开文件...", kApplicationTitle, MB_OK);
        EndWordLink();
        return false;
    }
}

void TfrmWord::SetTrackRevisions() {
    Dispatch word(ComPtr<IDispatch>(WordLink ? WordLink->WordApp() : nullptr));
    if (!word) return;
    word.object(L"ActiveDocument").put(L"ShowRevisions", true);
    word.object(L"ActiveDocument").put(L"TrackRevisions", true);
}

void TfrmWord::PasteSeal() {
    // Each statement takes the selection afresh, as Word's own macros do.
    Dispatch word(ComPtr<IDispatch>(WordLink->WordApp()));
    auto selection = [&] { return word.object(L"Selection"); };
    auto pasted = [&] { return selection().object(L"InlineShapes").object(L"Item", 1); };
    selection().call(L"Paste");
    selection().call(L"MoveLeft", kWdCharacter, 1, kWdExtend);
    pasted().object(L"PictureFormat").put(L"TransparentBackground", true);
    pasted().object(L"PictureFormat").put(L"TransparencyColor", kWhite);
    pasted().object(L"Fill").put(L"Visible", false);
    pasted().object(L"ConvertToShape").call(L"Select");
    selection().object(L"ShapeRange").object(L"WrapFormat").put(L"Type", kWdWrapFront);
    selection().object(L"ShapeRange").call(L"ZOrder", kMsoBringInFrontOfText);
}

void TfrmWord::FinishDocument() {
    if (finishing_) return;
    finishing_ = true;
    struct Reset {
        bool& flag;
        ~Reset() { flag = false; }
    } reset{finishing_};

    EndWordLink();
    const bool saved = GetFileStamp(DocumentPath) != OpenedStamp;
    helpdesk::log(saved ? "word: ended, the document was saved" : "word: ended, the document was not saved");
    if (saved) {
        main_.StartUpload();
        Close();
    } else if (Mode != "Edit") {
        AlertText = wideToGbk(L"您没有对投标文件进行盖章，请重新进行操作！");
        ShowAlert();
    } else {
        Close();
        main_.Close();
    }
}

// ---- Seals

void TfrmWord::LoadSeals() {
    if (SealListUrl.empty()) return;
    HttpSettings settings;
    settings.readTimeoutMs = kReadTimeoutMs;
    HttpClient client(settings);
    std::vector<Bitmap32> loaded;
    helpdesk::logServer("seal list", SealListUrl);
    try {
        const std::vector<std::uint8_t> reply = fetch(client, SealListUrl);
        for (const std::string& url :
             sealPictureUrls(std::string_view(reinterpret_cast<const char*>(reply.data()), reply.size()))) {
            const std::vector<std::uint8_t> picture = fetch(client, wideToGbk(utf8ToWide(url)));
            loaded.push_back(decodeJpeg(picture.data(), picture.size()));
        }
    } catch (const WaitCancelled&) {
        return;  // the program is ending
    } catch (const std::exception& e) {
        // A failed download, a reply that is no seal list, a picture that is
        // no JPEG: the grid keeps what it shows. Once the window has become
        // the alert view the seals are not needed any more, and no box may
        // cover the outcome it shows.
        const auto* http = dynamic_cast<const HttpError*>(&e);
        helpdesk::log("seal list: " + (http ? httpFailureForLog(*http)
                                            : std::string("not a seal list, or a picture that is not a JPEG")));
        if (alertShown_) return;
        showSealLoadFailure(hwnd(), http && http->kind() == HttpError::Kind::Insecure ? e.what() : "");
        return;
    }
    helpdesk::log("seal list: ok, " + std::to_string(loaded.size()) + " seals");
    Seals = std::move(loaded);
    DrawGrid1.setRowCount(static_cast<int>(Seals.size()));
    SelectedSeal = DrawGrid1.selectedRow();
}

// ---- The alert view

void TfrmWord::ShowAlert() {
    alertShown_ = true;
    Btn_OK.setVisible(true);
    Label_Alert.setVisible(true);
    DrawGrid1.setVisible(false);
    FlatSpeedButton1.setVisible(false);
    Label_Alert.setCaption(AlertText);
    // The view grows to show every line of a long text (a server's message,
    // a path), within the work area.
    RECT workArea{};
    ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &workArea, 0);
    const int areaWidth = workArea.right - workArea.left, areaHeight = workArea.bottom - workArea.top;
    const int above = dp(kAlertLabelTop), below = dp(kAlertHeight) - dp(kAlertLabelTop) - dp(kAlertLabelHeight);
    int width = std::min(dp(kAlertWidth), areaWidth);
    int labelHeight = std::max(dp(kAlertLabelHeight), alertTextHeight(width - dp(4)));
    if (above + labelHeight + below > areaHeight && width < areaWidth) {
        width = areaWidth;
        labelHeight = std::max(dp(kAlertLabelHeight), alertTextHeight(width - dp(4)));
    }
    const int height = std::min(above + labelHeight + below, std::max(areaHeight, dp(kAlertHeight)));
    labelHeight = height - above - below;
    Label_Alert.setBounds(dp(2), above, width - dp(4), labelHeight);
    const RECT button = Btn_OK.bounds();
    const int buttonWidth = button.right - button.left;
    Btn_OK.setBounds((width - buttonWidth) / 2, height - dp(50), buttonWidth, button.bottom - button.top);
    // Centred on the screen, and moved into the work area when it reaches
    // under the task bar.
    const int left = std::clamp<int>((::GetSystemMetrics(SM_CXSCREEN) - width) / 2, workArea.left,
                                     std::max<int>(workArea.left, workArea.right - width));
    const int top = std::clamp<int>((::GetSystemMetrics(SM_CYSCREEN) - height) / 2, workArea.top,
                                    std::max<int>(workArea.top, workArea.bottom - height));
    ::SetWindowPos(hwnd(), nullptr, left, top, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
    ::InvalidateRect(hwnd(), nullptr, TRUE);
    Show();
}

int TfrmWord::alertTextHeight(int width) const {
    const std::wstring text = gbkToWide(AlertText);
    WindowDc dc(Label_Alert.hwnd());
    SelectObjectScope select(dc.get(), alertFont_.get());
    RECT rc{0, 0, width, 0};
    // As the centred label draws it.
    ::DrawTextW(dc.get(), text.c_str(), static_cast<int>(text.size()), &rc,
                DT_CALCRECT | DT_CENTER | DT_WORDBREAK | DT_EXPANDTABS | DT_NOPREFIX);
    return rc.bottom - rc.top;
}

// ---- Painting and messages

void TfrmWord::paintShapes(HDC dc) {
    RECT client{};
    ::GetClientRect(hwnd(), &client);
    // Shape1: the window's border over the button face.
    ::FillRect(dc, &client, background_.get());
    frameRect(dc, client, kBorder);
    // Shape2: the drag strip along the top.
    fillRect(dc, RECT{dp(1), dp(1), client.right - dp(1), dp(1) + dp(kDragStripHeight)}, kDragStrip);
}

LRESULT TfrmWord::onMessage(UINT msg, WPARAM wp, LPARAM lp) {
    // No background brush of the form: WM_PAINT paints all of it.
    LRESULT answered = 0;
    if (answerCommon(msg, wp, lp, answered)) return answered;
    switch (msg) {
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = ::BeginPaint(hwnd(), &ps);
        paintShapes(dc);
        ::EndPaint(hwnd(), &ps);
        return 0;
    }
    case WM_SIZE:
        ::InvalidateRect(hwnd(), nullptr, TRUE);
        return 0;
    case WM_TIMER:
        if (wp != kWatchWordTimer) return defaultProc(msg, wp, lp);
        guardEvent(hwnd(), [this] { WatchWord(); });
        return 0;
    case WM_LBUTTONDOWN:
        // The form and both shapes (painted on it) move the window.
        guardEvent(hwnd(), [this] { FormMouseDown(); });
        return 0;
    case WM_CLOSE:
        guardEvent(hwnd(), [this] { CloseByUser(); });
        return 0;
    case WM_DESTROY:
        guardEvent(nullptr, [this] { FormDestroy(); });
        return 0;
    default:
        return defaultProc(msg, wp, lp);
    }
}

}  // namespace orvo
