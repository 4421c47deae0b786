// The print buttons of the main window: download if needed, make the chosen
// printer the system default, load the report into the hidden print host
// once per run, and let Word or Excel print it, with or without their print
// dialog.
#include <ole2.h>

#include "core/local_name.h"
#include "hosting/frm_xlsOLE.h"
#include "hosting/office_macros.h"
#include "hosting/office_suite.h"
#include "main/frm_Main.h"
#include "support/win32/dispatch.h"
#include "support/win32/files.h"
#include "support/win32/helpdesk_log.h"
#include "support/win32/win_error.h"
#include "support/win32/win_text.h"

namespace orvo {
namespace {

bool isWordFile(const std::string& ext) { return ext == ".doc" || ext == ".docx"; }
bool isExcelFile(const std::string& ext) { return ext == ".xls" || ext == ".xlsx"; }

// The status line has one line: a reason's line breaks become blanks.
std::wstring oneLine(std::wstring text) {
    while (!text.empty() && (text.back() == L'\r' || text.back() == L'\n' || text.back() == L' ')) text.pop_back();
    for (wchar_t& c : text)
        if (c == L'\r' || c == L'\n') c = L' ';
    return text;
}

}  // namespace

void TfrmMain::btn_PrintClick() { PrintReport(request_, L"下载报表文件完成，请打印...", &TfrmMain::PrintWithDialog); }

void TfrmMain::btn_PrintFileClick() { PrintReport(request_, L"正在打印...", &TfrmMain::PrintWithoutDialog); }

void TfrmMain::PrintReport(ReportRequest& request, const wchar_t* downloadedText, void (TfrmMain::*print)(const ReportRequest&)) {
    if (request.FFileUrl.size() < kMinFileUrlLength) return;
    auto running = flowGuard_.tryEnter();
    if (!running) return;
    // Without Word and WPS nothing here can print: say so and end.
    if (auto app = officeAppForExtension(request.FFileExt); app && !confirmOfficeInstalled(hwnd(), *app)) {
        Close();
        return;
    }
    if (!DownloadReport(request)) return;
    Label1.setCaption(std::wstring(downloadedText));
    try {
        ApplyChosenPrinter();
        if (printHost().OleContainer().empty()) LoadPrintHost(request);
    } catch (const std::exception& e) {
        helpdesk::log("print: the report could not be loaded for printing");
        // The error box tells the details; the status line must not go on
        // saying that printing is under way.
        Label1.setCaption(L"打印失败：" + oneLine(gbkToWide(e.what())));
        throw;
    }
    (this->*print)(request);
}

void TfrmMain::ApplyChosenPrinter() {
    // Against the printer this program made default last, or the start
    // default before any switch: choosing the start default first leaves the
    // system untouched, and after printing on B, choosing A makes A the
    // default again.
    const std::wstring current = FMadeDefaultPrinter ? *FMadeDefaultPrinter : lb_fileName.captionW();
    const int index = FlatComboBox.selectedIndex();
    const std::wstring chosen = index >= 0 ? FlatComboBox.itemW(index) : std::wstring();
    if (chosen == current) return;
    MakeDefaultPrinter(chosen);
    FMadeDefaultPrinter = chosen;
}

TfrmXlsOLE& TfrmMain::printHost() {
    if (!printHost_) throw AppError(wideToGbk(L"打印宿主窗口不可用"));
    return *printHost_;
}

void TfrmMain::LoadPrintHost(ReportRequest& request) {
    TfrmXlsOLE& host = printHost();
    OleDocumentContainer& container = host.OleContainer();
    if (request.FFileExt == ".docx" || request.FFileExt == ".xlsx") {
        // Word and Excel tell these formats by the file, so the report goes
        // to disk under its own name, the last item of its address, when
        // that is a safe file name; Word's print job then carries it.
        const std::string folder = GetTempFolder();
        const std::string stamped = TimestampedFileName(request);
        std::string name = localReportName(LastPathItem(request.FFileUrl), request.FFileExt, stamped);
        if (folder.size() + name.size() >= MAX_PATH) name = stamped;
        request.FLocalFile = folder + name;
        writeWholeFile(request.FLocalFile, request.FDownloadStream);
        host.showAtZeroSize();
        container.createFromFile(request.FLocalFile);
        forbidMacros(container);
        container.activate(OLEIVERB_PRIMARY);
    } else {
        BuildPreviewStream(request);
        host.showAtZeroSize();
        container.loadFromStream(std::string_view(reinterpret_cast<const char*>(request.FPreviewStream.data()),
                                                  request.FPreviewStream.size()));
        forbidMacros(container);
        container.activate(OLEIVERB_SHOW);
    }
}

void TfrmMain::PrintWithDialog(const ReportRequest&) {
    printHost().OleContainer().printWithHostDialog();
    helpdesk::log("print: handed to the print dialog");
}

void TfrmMain::PrintWithoutDialog(const ReportRequest& request) {
    // The status line tells whether the job reached the printer, so a user
    // can tell a print that failed from one still on its way, and try again.
    const int index = FlatComboBox.selectedIndex();
    const std::wstring printer = index >= 0 ? FlatComboBox.itemW(index) : std::wstring();
    try {
        Dispatch document;
        OleDocumentContainer& container = printHost().OleContainer();
        if (isExcelFile(request.FFileExt))
            document = Dispatch(container.automationObject()).object(L"Application").object(L"ActiveWorkBook");
        else if (isWordFile(request.FFileExt))
            document = Dispatch(container.automationObject()).object(L"Application").object(L"ActiveDocument");
        else
            throw AppError(wideToGbk(L"此类文件不能直接打印"));
        document.call(L"PrintOut");
        Label1.setCaption(L"已发送到打印机 " + printer);
        helpdesk::log("print: sent to the printer");
    } catch (const std::exception& e) {
        helpdesk::log("print: failed, " + helpdesk::errorCodeText(e));
        Label1.setCaption(L"打印失败：" + oneLine(gbkToWide(e.what())));
    }
}

void TfrmMain::ReleasePrintHost() noexcept {
    if (printHost_) printHost_->OleContainer().destroyObject();
}

}  // namespace orvo
