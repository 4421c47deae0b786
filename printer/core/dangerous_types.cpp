#include "core/dangerous_types.h"

#include <algorithm>
#include <array>
#include <cctype>

namespace orvo {
namespace {

// Programs, scripts, shortcuts, installers and the containers that carry
// them; the shell's own AssocIsDangerous covers what a system adds.
constexpr std::array<std::string_view, 41> kDangerous = {
    ".exe",  ".com",  ".bat",   ".cmd",  ".scr",  ".pif",   ".js",    ".jse",         ".vbs",
    ".vbe",  ".wsf",  ".wsh",   ".ws",   ".wsc",  ".hta",   ".msi",   ".msp",         ".mst",
    ".lnk",  ".url",  ".ps1",   ".psm1", ".psd1", ".ps1xml", ".psc1", ".reg",         ".cpl",
    ".jar",  ".chm",  ".msc",   ".inf",  ".scf",  ".vb",    ".gadget", ".application", ".appref-ms",
    ".settingcontent-ms", ".website", ".shb", ".shs", ".xbap",
};

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

}  // namespace

bool isDangerousExtension(std::string_view extension) {
    while (!extension.empty() && (extension.back() == '.' || extension.back() == ' ')) extension.remove_suffix(1);
    return std::any_of(kDangerous.begin(), kDangerous.end(),
                       [&](std::string_view listed) { return equalsIgnoringCase(extension, listed); });
}

}  // namespace orvo
