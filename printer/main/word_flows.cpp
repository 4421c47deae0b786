// Sign and edit modes after the dispatch: the seal window opens the document
// in a Word of the program's own, and the main window steps aside.
#include "hosting/office_suite.h"
#include "main/frm_Main.h"
#include "seals/WordAuto.h"

namespace orvo {

TfrmWord& TfrmMain::sealWindow() {
    if (!frmWord_) frmWord_ = std::make_unique<TfrmWord>(*this);
    return *frmWord_;
}

void TfrmMain::OpenDocumentForSealing(const ReportRequest& request) {
    if (!confirmOfficeInstalled(hwnd(), OfficeApp::Writer)) {
        Close();
        return;
    }
    TfrmWord& seals = sealWindow();
    seals.DocumentPath = request.FLocalFile;
    // In sign mode the request's third item is the seal list's address.
    seals.SealListUrl = request.FFileType;
    if (!seals.StartWordLink()) return;
    // When Word cannot open the file the strip still shows: closing it or
    // "上 传" ends the run.
    seals.OpenDocument(request.FLocalFile, false);
    HideWithShadow();
    seals.Show();
}

void TfrmMain::OpenReportForEditing(const ReportRequest& request) {
    if (!confirmOfficeInstalled(hwnd(), OfficeApp::Writer)) {
        Close();
        return;
    }
    TfrmWord& seals = sealWindow();
    seals.Mode = "Edit";
    seals.DocumentPath = request.FLocalFile;
    if (!seals.StartWordLink()) return;
    if (!seals.OpenDocument(request.FLocalFile, request.FFileType == "1")) {
        // No Word and no window would be left to end the run: end it now.
        // The downloaded copy stays where it is.
        Close();
        return;
    }
    HideWithShadow();
}

}  // namespace orvo
