#pragma once
// The main window's identity and the control ids of its children. They are
// stable, so that tests and screen readers can find each control; the UI
// driver reads this table to accept controls by name.
#include "support/ui/control_name.h"

namespace orvo::ctl {

inline constexpr wchar_t kMainClass[] = L"TfrmMain";
inline constexpr wchar_t kMainCaption[] = L"orvoPrinter";

enum MainControl : int {
    FlatGauge = 1001,
    Label1 = 1002,
    Panel1 = 1003,
    Label_Title = 1004,
    ImgBtn1 = 1005,
    Image1 = 1006,
    lb_fileName = 1007,
    btn_Print = 1008,
    Label3 = 1009,
    FlatComboBox = 1010,
    btn_PrintFile = 1011,
    btn_ViewFile = 1012,
};

inline constexpr ControlName kMainControls[] = {
    {"FlatGauge", FlatGauge},     {"Label1", Label1},           {"Panel1", Panel1},
    {"Label_Title", Label_Title}, {"ImgBtn1", ImgBtn1},         {"Image1", Image1},
    {"lb_fileName", lb_fileName}, {"btn_Print", btn_Print},     {"Label3", Label3},
    {"FlatComboBox", FlatComboBox}, {"btn_PrintFile", btn_PrintFile}, {"btn_ViewFile", btn_ViewFile},
};

}  // namespace orvo::ctl
