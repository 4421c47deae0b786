#pragma once
// The main window: a small borderless window with its own title strip, close
// button, drop shadow and progress bar. It owns the request, decodes and
// parses it when first shown, and 100 ms later dispatches once by mode.
#include <windows.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/report_request.h"
#include "main/upload_worker.h"
#include "seals/seal_host.h"
#include "support/net/http_client.h"
#include "support/net/pumped_wait.h"
#include "support/portable/reentry_guard.h"
#include "support/ui/controls.h"
#include "support/ui/drop_shadow.h"
#include "support/ui/file_dialogs.h"
#include "support/ui/font.h"
#include "support/ui/form.h"
#include "support/ui/ui_thread_calls.h"
#include "support/ui/window.h"
#include "support/win32/unique.h"

namespace orvo {

class TfrmXlsOLE;
class TfrmWord;
class Tfrm_Priview;
class TfrmWriteRead_bar;

class TfrmMain : public Form, public SealHost, private UploadObserver {
public:
    TfrmMain();
    ~TfrmMain() override;

    // The hidden print host the print flows load reports into; it is
    // created after the main window, as its owner.
    void usePrintHost(TfrmXlsOLE& host) noexcept { printHost_ = &host; }
    // The floating title bar the view flow shows over an outside viewer; it
    // is created after the main window too.
    void useTitleBar(TfrmWriteRead_bar& bar) noexcept { titleBar_ = &bar; }

    // Shows the window; the first time it is centred on the screen, and the
    // show handler runs as the message loop takes over.
    void Show();
    // Closing the main window ends the program.
    void Close() override;
    // Hides the main window and its shadow, for flows that go on in another window.
    void HideWithShadow();

    // ---- Operations other windows and flows call
    void SetWindowLayout(bool expanded);
    std::string ReadDefaultPrinter();
    // Raises the system's last error on failure.
    void MakeDefaultPrinter(const std::wstring& name);
    // The user's temporary folder, ending in a path separator.
    std::string GetTempFolder();
    // The last item of the text split at "/", or empty text.
    std::string LastPathItem(std::string_view text);
    // The orderly end of the program.
    void ShutDown();
    // Sends FLocalFile back to FServerUrl on the upload worker
    // (upload_flow.cpp); its outcome goes to the upload alert view.
    void StartUpload() override;
    // Where the worker's result text is shown, on this thread, while the
    // worker waits. Without one, a plain message box shows it.
    void SetUploadAlertView(std::function<void(const std::string& alertText)> showAlert) override;

protected:
    LRESULT onMessage(UINT msg, WPARAM wp, LPARAM lp) override;

private:
    // Shorter file addresses cannot name a report; the flows then do nothing.
    static constexpr size_t kMinFileUrlLength = 6;

    // ---- Controls, in the order the form declares them
    ::orvo::FlatGauge FlatGauge;
    Label Label1;
    Panel Panel1;
    Label Label_Title;
    ImageButton ImgBtn1;
    Picture Image1;
    Label lb_fileName;
    FlatButton btn_Print;
    Label Label3;
    ::orvo::FlatComboBox FlatComboBox;
    FlatButton btn_PrintFile;
    FlatButton btn_ViewFile;
    Timer Timer1{1, 100};
    OpenFileDialog OpenDialog;

    // ---- State
    TfrmXlsOLE* printHost_ = nullptr;
    TfrmWriteRead_bar* titleBar_ = nullptr;
    // The preview while it exists: made by the view flow, freed after closing.
    std::unique_ptr<Tfrm_Priview> frm_Priview;
    std::unique_ptr<DropShadow> FShadow;
    // The request, from the command line on; the flows receive it.
    ReportRequest request_;
    UniqueHandle FViewerProcess;
    // The printer this program made the system default last, if it did.
    std::optional<std::wstring> FMadeDefaultPrinter;
    // The window's own HTTP client, for the report download only: made at
    // the first download and kept, so its cookies last for the run.
    std::unique_ptr<HttpClient> IdHTTP;

    // ---- Event handlers
    void FormCreate();
    // The controls, made once, after the first show.
    void CreateControls();
    void FormShow();
    void FormDestroy();
    void Timer1Timer();
    void Panel1MouseDown(int x, int y);
    void ImgBtn1Click();
    void Label_TitleClick();
    void ApplicationEvents1Minimize();
    void ApplicationEvents1Restore();
    LRESULT WMCopyData(WPARAM wp, LPARAM lp);
    // Another link while this run goes on: the run's open window (Word, the
    // seal strip, the preview, the alert view or this one) comes to the front.
    void BringJobToFront();

    // ---- Request intake
    void DecodeRequest();
    void FillPrinterList();

    // ---- Report download (download_flow.cpp)
    // Fetches the report if needed, then writes it to a time-stamped temp
    // file (toFile) or builds FPreviewStream. False only when the download
    // failed, or when another flow of this window is still running.
    bool PrepareReport(ReportRequest& request, bool toFile);
    // The print buttons' download step: status text, then the fetch unless
    // FDownloadStream is filled. False on failure, with the failure text shown.
    bool DownloadReport(ReportRequest& request);
    void IdHTTPWorkBegin(std::uint64_t expected);
    void IdHTTPWork(std::uint64_t transferred);
    HttpClient& httpClient();
    // The 17-digit local time and FFileExt.
    std::string TimestampedFileName(const ReportRequest& request);
    void BuildPreviewStream(ReportRequest& request);

    // ---- Print flows (print_flow.cpp)
    void btn_PrintClick();
    void btn_PrintFileClick();
    // The print buttons' one routine: download if needed, show
    // downloadedText, apply the chosen printer, load the print host once,
    // then print.
    void PrintReport(ReportRequest& request, const wchar_t* downloadedText,
                     void (TfrmMain::*print)(const ReportRequest&));
    void ApplyChosenPrinter();
    TfrmXlsOLE& printHost();
    void LoadPrintHost(ReportRequest& request);
    void PrintWithDialog(const ReportRequest& request);
    void PrintWithoutDialog(const ReportRequest& request);
    // Lets the print host's document go (unsaved) so its server can end.
    void ReleasePrintHost() noexcept;

    // ---- USB-key login (post_login.cpp): after the user's confirmation,
    // posts the key's digest and the token to the login address, then ends
    // the program.
    void PostLogin(const std::string& digest, const std::string& address, const std::string& token);

    // ---- View flow (view_flow.cpp)
    void btn_ViewFileClick();
    // A report of a type that runs as a program: told, and the program ends.
    bool RefuseDangerousType(const ReportRequest& request);
    void PreviewWordReport(ReportRequest& request);
    void ViewInAssociatedProgram(ReportRequest& request);
    // Opens the file with the shell's default action, maximised, and waits
    // for the started program to end while the windows stay alive. False
    // when the shell could not open it.
    bool OpenWithAssociatedProgram(const std::string& path);
    // Lets the preview's document go, before the memory it reads is freed.
    void ReleasePreviewDocument() noexcept;
    // Edit mode after the download: the seal window opens the local copy in
    // Word with revisions tracked when FFileType is "1", then the main window
    // hides.
    void OpenReportForEditing(const ReportRequest& request);
    // Sign mode after the file choice: the seal window opens FLocalFile in
    // Word and lists the seals from FFileType; the main window hides and the
    // seal window shows.
    void OpenDocumentForSealing(const ReportRequest& request);
    // The seal window, made at its first use and kept for the run.
    TfrmWord& sealWindow();
    // ShutDown's first two steps.
    void ClosePreviewDocument();
    void WaitForUploadWorker();

    // ---- What the upload worker reports, on this thread (upload_flow.cpp)
    // Tests of the worker set the request fields a decoded link would.
    friend struct TfrmMainTestAccess;
    void ShowUploadAlert(const std::string& alertText) override;
    void CloseAfterUpload() override;
    // The compact window with "正在上传..." and the bytes sent, while an
    // upload runs; it goes when the reply has been read.
    void ShowUploadProgress();
    void HideUploadProgress() override;
    HWND UploadProgressWindow() const override;
    void UploadProgress(UINT message, WPARAM low, LPARAM high);
    // WM_CLOSE during an upload waits for it; false when the window must not
    // close yet (the close then happens later).
    bool WaitForUploadBeforeClose();

    // Asks a still running outside viewer to close and waits a few seconds.
    void CloseViewer();

    UniqueFont font_;
    UniqueFont titleFont_;
    UniqueFont buttonFont_;
    bool shownOnce_ = false;
    bool controlsCreated_ = false;
    bool printersListed_ = false;
    bool parametersRead_ = false;  // the first show's steps all ran
    // The wait for a download dispatches messages: a second click must not
    // start a second flow meanwhile.
    ReentryGuard flowGuard_;

    std::function<void(const std::string&)> uploadAlertView_;
    std::unique_ptr<UiThreadCalls> uploadCalls_;
    // The running worker, set as it starts; the worker clears it as it frees itself.
    std::atomic<TMyThread*> UploadWorker{nullptr};
    UniqueHandle uploadThread_;
    bool waitingForUpload_ = false;
    bool closeAfterUploadCall_ = false;
    // Last, so it goes first: it may still end the Word link.
    std::unique_ptr<TfrmWord> frmWord_;
};

}  // namespace orvo
