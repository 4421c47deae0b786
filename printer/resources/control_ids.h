#pragma once
// The identities of our windows and the ids of their controls. They are
// stable, so that tests and screen readers can find each control; the UI
// driver reads these tables to accept controls by name.
#include "support/ui/control_name.h"

namespace orvo::ctl {

// ---- The main window

inline constexpr wchar_t kMainClass[] = L"TfrmMain";
inline constexpr wchar_t kMainCaption[] = L"orvoPrinter";

#define ORVO_MAIN_CONTROLS(X) \
    X(FlatGauge, 1001) \
    X(Label1, 1002) \
    X(Panel1, 1003) \
    X(Label_Title, 1004) \
    X(ImgBtn1, 1005) \
    X(Image1, 1006) \
    X(lb_fileName, 1007) \
    X(btn_Print, 1008) \
    X(Label3, 1009) \
    X(FlatComboBox, 1010) \
    X(btn_PrintFile, 1011) \
    X(btn_ViewFile, 1012)

enum MainControl : int { ORVO_MAIN_CONTROLS(ORVO_CONTROL_ID) };

inline constexpr ControlName kMainControls[] = {ORVO_MAIN_CONTROLS(ORVO_CONTROL_NAME)};

// ---- The seal window

inline constexpr wchar_t kSealClass[] = L"TfrmWord";
inline constexpr wchar_t kSealCaption[] = L"orvo";

#define ORVO_SEAL_CONTROLS(X) \
    X(DrawGrid1, 2001) \
    X(FlatSpeedButton1, 2002) \
    X(FlatSpeedButton2, 2003) \
    X(Btn_OK, 2004) \
    X(Label_Alert, 2005)

enum SealControl : int { ORVO_SEAL_CONTROLS(ORVO_CONTROL_ID) };

inline constexpr ControlName kSealControls[] = {ORVO_SEAL_CONTROLS(ORVO_CONTROL_NAME)};

// ---- The preview window and the floating title bar

inline constexpr wchar_t kPreviewClass[] = L"Tfrm_Priview";
inline constexpr wchar_t kPreviewCaption[] = L"显示文件";

#define ORVO_PREVIEW_CONTROLS(X) \
    X(Panel1, 2001) \
    X(Btn_Save, 2002) \
    X(Btn_Print, 2003) \
    X(btn_BestSzie, 2004) \
    X(btn_PageFitBestFit, 2005) \
    X(btn_PageFitFullPage, 2006) \
    X(FlatSpeedButton5, 2007) \
    X(FlatSpeedButton6, 2008) \
    X(Shape1, 2009) \
    X(Label_Zoom, 2010) \
    X(Image3, 2011) \
    X(Image4, 2012) \
    X(Image5, 2013) \
    X(Image6, 2014) \
    X(OleContainer, 2015) \
    X(Edit1, 2016)

namespace preview {
enum : int { ORVO_PREVIEW_CONTROLS(ORVO_CONTROL_ID) };
inline constexpr ControlName kControls[] = {ORVO_PREVIEW_CONTROLS(ORVO_CONTROL_NAME)};
}  // namespace preview

inline constexpr const auto& kPreviewControls = preview::kControls;

inline constexpr wchar_t kTitleBarClass[] = L"TfrmWriteRead_bar";
inline constexpr wchar_t kTitleBarCaption[] = L"frmWriteRead_bar";

#define ORVO_TITLE_BAR_CONTROLS(X) \
    X(lb_FileTitle, 3001) \
    X(ImgBtn1, 3002)

namespace titlebar {
enum : int { ORVO_TITLE_BAR_CONTROLS(ORVO_CONTROL_ID) };
inline constexpr ControlName kControls[] = {ORVO_TITLE_BAR_CONTROLS(ORVO_CONTROL_NAME)};
}  // namespace titlebar

inline constexpr const auto& kTitleBarControls = titlebar::kControls;

}  // namespace orvo::ctl
