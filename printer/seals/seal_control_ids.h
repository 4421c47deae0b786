#pragma once
// The seal window's identity and the control ids of its children, stable so
// that tests and screen readers can find each control.
#include "support/ui/control_name.h"

namespace orvo::ctl {

inline constexpr wchar_t kSealClass[] = L"TfrmWord";
inline constexpr wchar_t kSealCaption[] = L"orvo";

enum SealControl : int {
    DrawGrid1 = 2001,
    FlatSpeedButton1 = 2002,
    FlatSpeedButton2 = 2003,
    Btn_OK = 2004,
    Label_Alert = 2005,
};

inline constexpr ControlName kSealControls[] = {
    {"DrawGrid1", DrawGrid1}, {"FlatSpeedButton1", FlatSpeedButton1}, {"FlatSpeedButton2", FlatSpeedButton2},
    {"Btn_OK", Btn_OK},       {"Label_Alert", Label_Alert},
};

}  // namespace orvo::ctl
