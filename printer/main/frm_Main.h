#pragma once
// The main window: a small borderless window with its own title strip, close
// button, drop shadow and progress bar. It owns the request, decodes and
// parses it when first shown, and 100 ms later dispatches once by mode.
#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "main/request_params.h"
#include "support/controls.h"
#include "support/drop_shadow.h"
#include "support/http_client.h"
#include "support/pumped_wait.h"
#include "support/unique.h"
#include "support/window.h"

namespace orvo {

using MemoryBuffer = std::vector<std::uint8_t>;

class TfrmMain : public Window, public RequestFields {
public:
    TfrmMain();
    ~TfrmMain() override;

    // Shows the window; the first time it is centred on the screen and the
    // show handler runs.
    void Show();
    // Closing the main window ends the program.
    void Close();
    // Hides the main window and its shadow, for flows that go on in another window.
    void HideWithShadow();

    // ---- Operations other windows and flows call
    void SetWindowLayout(bool expanded);
    std::string ReadDefaultPrinter();
    // The user's temporary folder, ending in a path separator.
    std::string GetTempFolder();
    // The orderly end of the program.
    void ShutDown();

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
    std::unique_ptr<DropShadow> FShadow;
    std::string FMode;
    std::string FRequest;
    std::string FLocalFile;
    MemoryBuffer FDownloadStream;
    MemoryBuffer FPreviewStream;
    UniqueHandle FViewerProcess;
    // The window's own HTTP client, for the report download only: made at
    // the first download and kept, so its cookies last for the run.
    std::unique_ptr<HttpClient> IdHTTP;

protected:
    LRESULT onMessage(UINT msg, WPARAM wp, LPARAM lp) override;

private:
    // ---- Event handlers
    void FormCreate();
    void FormShow();
    void FormDestroy();
    void Timer1Timer();
    void Panel1MouseDown(int x, int y);
    void ImgBtn1Click();
    void Label_TitleClick();
    void ApplicationEvents1Minimize();
    void ApplicationEvents1Restore();
    LRESULT WMCopyData(WPARAM wp, LPARAM lp);

    // ---- Request intake
    void DecodeRequest();
    void FillPrinterList();

    // ---- Report download (download_flow.cpp)
    // Fetches the report if needed, then writes it to a time-stamped temp
    // file (toFile) or builds FPreviewStream. False only when the download
    // failed, or when another flow of this window is still running.
    bool PrepareReport(bool toFile);
    // The print buttons' download step: status text, then the fetch unless
    // FDownloadStream is filled. False on failure, with the failure text shown.
    bool DownloadReport();
    void IdHTTPWorkBegin(std::uint64_t expected);
    void IdHTTPWork(std::uint64_t transferred);
    HttpClient& httpClient();
    // The temp folder plus the 17-digit local time and FFileExt.
    std::string TimestampedTempFile();
    void WriteDownloadTo(const std::string& path);
    void BuildPreviewStream();

    // ---- Print flows (print_flow.cpp)
    void btn_PrintClick();
    void btn_PrintFileClick();
    void ApplyChosenPrinter();
    void MakeDefaultPrinter(const std::wstring& name);
    void LoadPrintHost();
    void PrintWithDialog();
    void PrintWithoutDialog();
    // Lets the print host's document go (unsaved) so its server can end.
    void ReleasePrintHost() noexcept;

    // ---- View flow (view_flow.cpp)
    void btn_ViewFileClick();
    // A report of a type that runs as a program: told, and the program ends.
    bool RefuseDangerousType();
    void PreviewWordReport();
    void ViewInAssociatedProgram();
    // Opens the file with the shell's default action, maximised, and waits
    // for the started program to end while the windows stay alive. False
    // when the shell could not open it.
    bool OpenWithAssociatedProgram(const std::string& path);
    // Lets the preview's document go, before the memory it reads is freed.
    void ReleasePreviewDocument() noexcept;

    // ---- Flows that later work fills in. Each reports plainly that it is
    // not available yet rather than pretending to run.
    void UsbKeyLogin(const std::string& request);
    // Edit mode after the download: the seal window opens the local copy in
    // Word with revisions tracked when FFileType is "1", then the main window
    // hides.
    void OpenReportForEditing();
    // Sign mode after the file choice: the seal window opens FLocalFile in
    // Word and lists the seals from FFileType; the main window hides and the
    // seal window shows.
    void OpenDocumentForSealing();
    // ShutDown's first two steps.
    void ClosePreviewDocument();
    void WaitForUploadWorker();

    void TerminateViewer();

    UniqueFont font_;
    UniqueFont titleFont_;
    UniqueFont buttonFont_;
    UniqueBrush background_;
    bool shownOnce_ = false;
    // The wait for a download dispatches messages: a second click must not
    // start a second flow meanwhile.
    ReentryGuard flowGuard_;
};

}  // namespace orvo
