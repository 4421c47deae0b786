#pragma once
// The preview window: a downloaded Word report embedded in the system's own
// window, with Word's bars and rulers off and the document locked so that
// only comments can be added, under a small tool bar (save a copy, print,
// 100 %, fit width, fit page, zoom out and in with the zoom shown). Shown
// modally by the view flow; closing it ends the program.
#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "hosting/ole_container.h"
#include "support/ui/controls.h"
#include "support/ui/file_dialogs.h"
#include "support/ui/form.h"
#include "support/ui/tool_bar.h"
#include "support/win32/dispatch.h"
#include "support/win32/unique.h"
#include "support/ui/window.h"

namespace orvo {

class Tfrm_Priview : public Form {
public:
    Tfrm_Priview();
    ~Tfrm_Priview() override;

    // ---- Set by the view flow before the window is shown
    std::string FRequest;
    std::string FFileExt;    // ".doc" or ".docx"
    std::string FLocalFile;  // the report on disk, for ".docx"
    // The report as a container stream, for ".doc". The main window owns it;
    // the preview reads it where it lies while the document is open.
    const std::vector<std::uint8_t>* FPreviewStream = nullptr;
    // The orderly end of the program, which closing the preview asks for.
    std::function<void()> onClosed;

    // Loads the report, shows the window maximised and returns when it has
    // closed or the program is ending. A failure to load reaches the caller.
    void ShowModal();
    // For the end of the program: closes the embedded object, saving it when
    // it changed, if there is one.
    void CloseDocument();
    // Lets the embedded object go without saving, so the memory it was read
    // from may be freed.
    void ReleaseDocument() noexcept;
    int zoomPercent() const noexcept { return FZoomPercent; }

    // ---- Controls
    Panel Panel1;
    ToolButton Btn_Save;
    ToolButton Btn_Print;
    ToolButton btn_BestSzie;
    ToolButton btn_PageFitBestFit;
    ToolButton btn_PageFitFullPage;
    ToolButton FlatSpeedButton5;
    ToolButton FlatSpeedButton6;
    Shape Shape1;
    Label Label_Zoom;
    Picture Image3, Image4, Image5, Image6;
    EditBox Edit1;
    SaveFileDialog SaveDialog;
    OleDocumentContainer& OleContainer() const noexcept { return *container_; }

protected:
    LRESULT onMessage(UINT msg, WPARAM wp, LPARAM lp) override;

private:
    // ---- Event handlers
    void FormShow();
    void FormActivate();
    void FormClose();
    void FormMouseWheelUp();
    void FormMouseWheelDown();
    void Btn_SaveClick();
    void Btn_PrintClick();
    void btn_BestSzieClick();
    void btn_PageFitBestFitClick();
    void btn_PageFitFullPageClick();
    void FlatSpeedButton5Click();
    void FlatSpeedButton6Click();

    // ---- Steps
    // False when a ".doc" report could not be loaded (the user has been told
    // and the program is ending).
    bool LoadDocument();
    void LockWordView();
    void PlaceContainer();
    void FocusContainer();

    // The embedded Word document and its zoom object.
    Dispatch Document() const;
    Dispatch Zoom() const;
    void ShowZoom();
    void StepZoom(int step);
    void FitPage(int fit);
    void SmallScroll(int down, int up);
    // Keys go to the active document first; the wheel scrolls it.
    bool PreTranslate(MSG& msg);
    void Resized();

    void createToolBar();

    std::int32_t FZoomPercent = 0;
    std::unique_ptr<OleDocumentContainer> container_;
    UniqueFont font_;
    Tooltips tips_;
    int filterId_ = 0;
    bool closed_ = false;
    bool placed_ = false;
};

}  // namespace orvo
