#pragma once
// The names orvo_Printer is known by, shared with Agent: the application
// window's title (the running-instance marker Agent looks for, and the
// caption of every error box) and the program's file name.

namespace orvo {

inline constexpr wchar_t kApplicationTitle[] = L"orvo_Printer";
inline constexpr wchar_t kProgramFileName[] = L"orvo_Printer.exe";

}  // namespace orvo
