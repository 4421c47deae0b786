#pragma once
// The identities and control ids of the preview window and the floating
// title bar. Stable, so that tests and screen readers can find each control;
// the UI driver reads these tables to accept controls by name.
#include "support/ui/control_name.h"

namespace orvo::ctl {

inline constexpr wchar_t kPreviewClass[] = L"Tfrm_Priview";
inline constexpr wchar_t kPreviewCaption[] = L"显示文件";

namespace preview {
enum : int {
    Panel1 = 2001,
    Btn_Save = 2002,
    Btn_Print = 2003,
    btn_BestSzie = 2004,
    btn_PageFitBestFit = 2005,
    btn_PageFitFullPage = 2006,
    FlatSpeedButton5 = 2007,
    FlatSpeedButton6 = 2008,
    Shape1 = 2009,
    Label_Zoom = 2010,
    Image3 = 2011,
    Image4 = 2012,
    Image5 = 2013,
    Image6 = 2014,
    OleContainer = 2015,
    Edit1 = 2016,
};
}  // namespace preview

inline constexpr ControlName kPreviewControls[] = {
    {"Panel1", preview::Panel1},
    {"Btn_Save", preview::Btn_Save},
    {"Btn_Print", preview::Btn_Print},
    {"btn_BestSzie", preview::btn_BestSzie},
    {"btn_PageFitBestFit", preview::btn_PageFitBestFit},
    {"btn_PageFitFullPage", preview::btn_PageFitFullPage},
    {"FlatSpeedButton5", preview::FlatSpeedButton5},
    {"FlatSpeedButton6", preview::FlatSpeedButton6},
    {"Shape1", preview::Shape1},
    {"Label_Zoom", preview::Label_Zoom},
    {"Image3", preview::Image3},
    {"Image4", preview::Image4},
    {"Image5", preview::Image5},
    {"Image6", preview::Image6},
    {"OleContainer", preview::OleContainer},
    {"Edit1", preview::Edit1},
};

inline constexpr wchar_t kTitleBarClass[] = L"TfrmWriteRead_bar";
inline constexpr wchar_t kTitleBarCaption[] = L"frmWriteRead_bar";

namespace titlebar {
enum : int {
    lb_FileTitle = 3001,
    ImgBtn1 = 3002,
};
}  // namespace titlebar

inline constexpr ControlName kTitleBarControls[] = {
    {"lb_FileTitle", titlebar::lb_FileTitle},
    {"ImgBtn1", titlebar::ImgBtn1},
};

}  // namespace orvo::ctl
