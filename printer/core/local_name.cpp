#include "core/local_name.h"

#include <array>
#include <cctype>

#include "support/portable/delimited_list.h"
#include "support/portable/gbk.h"

namespace orvo {
namespace {

// Longest name we accept, in bytes; GBK never takes fewer bytes than the
// UTF-16 units Windows counts, so this stays within its 255-unit limit.
constexpr size_t kMaxNameBytes = 255;

bool isSeparator(char c) { return c == '\\' || c == '/' || c == ':'; }

bool isForbidden(unsigned char c) {
    if (c < 32) return true;
    switch (c) {
    case '<': case '>': case '"': case '|': case '?': case '*':
        return true;
    default:
        return false;
    }
}

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::toupper(static_cast<unsigned char>(a[i])) != std::toupper(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

}  // namespace

bool isDeviceName(std::string_view name) {
    std::string_view base = name.substr(0, name.find('.'));
    while (!base.empty() && base.back() == ' ') base.remove_suffix(1);
    static constexpr std::array<std::string_view, 6> kPlain = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"};
    for (std::string_view device : kPlain)
        if (equalsIgnoringCase(base, device)) return true;
    if (base.size() == 4 && std::isdigit(static_cast<unsigned char>(base[3])) &&
        (equalsIgnoringCase(base.substr(0, 3), "COM") || equalsIgnoringCase(base.substr(0, 3), "LPT")))
        return true;
    return false;
}

std::string safeReportFileName(std::string_view requested, std::string_view extension) {
    // Find where the last component starts, stepping over double-byte
    // characters whose second byte looks like a separator.
    size_t start = 0;
    for (size_t i = 0; i < requested.size();) {
        const auto c = static_cast<unsigned char>(requested[i]);
        if (isGbkLeadByte(c)) {
            // A lead byte without its trail byte is not text we can name a file with.
            if (gbkCharLength(requested, i) != 2) return {};
            i += 2;
            continue;
        }
        if (c >= 0x80) return {};
        if (isSeparator(static_cast<char>(c))) start = i + 1;
        ++i;
    }
    const std::string_view name = requested.substr(start);
    if (name.empty() || name == "." || name == ".." || name.size() > kMaxNameBytes) return {};
    for (size_t i = 0; i < name.size(); i += gbkCharLength(name, i))
        if (gbkCharLength(name, i) == 1 && isForbidden(static_cast<unsigned char>(name[i]))) return {};
    // Windows drops trailing dots and blanks, which would change the name.
    if (name.back() == '.' || name.back() == ' ') return {};
    if (name.size() <= extension.size() || name.substr(name.size() - extension.size()) != extension) return {};
    if (isDeviceName(name)) return {};
    return std::string(name);
}

std::string proposedSaveName(std::string_view request) {
    return safeReportFileName(LastPathItem(request), "");
}

std::string localReportName(std::string_view requested, std::string_view extension, std::string_view fallback) {
    std::string name = safeReportFileName(requested, extension);
    return name.empty() ? std::string(fallback) : name;
}

}  // namespace orvo
