#pragma once
// Where Agent finds orvo_Printer.exe: the folder of the scheme's icon.
#include <string>

#include "support/portable/program_names.h"

namespace agent {

// The registry value is the icon reference of the orvo: scheme, normally a
// quoted path with an optional icon index after the closing quote. Only its
// folder part (up to the last "\" or ":") is kept. The leading quote of a
// quoted value is dropped; an unquoted value keeps its first character.
// Without a folder there is nothing safe to start (a bare name would be
// searched for in whatever folder the browser left us in): empty result.
inline std::wstring mainProgramPath(const std::wstring& iconValue) {
    size_t cut = iconValue.find_last_of(L"\\:");
    if (cut == std::wstring::npos) return {};
    std::wstring path = iconValue.substr(0, cut + 1) + orvo::kProgramFileName;
    if (!path.empty() && path.front() == L'"') path.erase(0, 1);
    return path;
}

}  // namespace agent
