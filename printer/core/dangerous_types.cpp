#include "core/dangerous_types.h"

#include <algorithm>
#include <cctype>
#include <iterator>

namespace orvo {
namespace {

// Programs, scripts, shortcuts, installers and the containers that carry
// them, disk images that mount as drives, web archives that run script, and
// the Office types that carry macros (they would open outside our macro
// lock). The shell's own AssocIsDangerous covers what a system adds.
constexpr std::string_view kDangerous[] = {
    // programs and installers
    ".exe", ".com", ".scr", ".pif", ".cpl", ".msi", ".msp", ".mst", ".msc", ".jar", ".gadget", ".application",
    ".appref-ms", ".xbap", ".appinstaller", ".msix", ".msixbundle", ".appx", ".appxbundle", ".diagcab", ".xll",
    // scripts
    ".bat", ".cmd", ".js", ".jse", ".vbs", ".vbe", ".vb", ".wsf", ".wsh", ".ws", ".wsc", ".sct", ".hta", ".ps1",
    ".psm1", ".psd1", ".ps1xml", ".psc1", ".psc2", ".py", ".pyw", ".reg", ".inf", ".ins", ".isp",
    // shortcuts and shell locations
    ".lnk", ".url", ".website", ".scf", ".shb", ".shs", ".settingcontent-ms", ".library-ms", ".search-ms",
    ".searchconnector-ms", ".rdp",
    // help, web archives and disk images
    ".chm", ".mht", ".mhtml", ".iso", ".img", ".vhd", ".vhdx",
    // Office documents and add-ins with macros
    ".docm", ".dotm", ".xlsm", ".xltm", ".xlam", ".pptm", ".potm", ".ppam", ".ppsm", ".sldm",
};

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

}  // namespace

std::span<const std::string_view> dangerousExtensions() noexcept { return kDangerous; }

bool isDangerousExtension(std::string_view extension) {
    while (!extension.empty() && (extension.back() == '.' || extension.back() == ' ')) extension.remove_suffix(1);
    return std::any_of(std::begin(kDangerous), std::end(kDangerous),
                       [&](std::string_view listed) { return equalsIgnoringCase(extension, listed); });
}

}  // namespace orvo
