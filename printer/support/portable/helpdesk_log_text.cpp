#include "support/portable/helpdesk_log_text.h"

#include <algorithm>
#include <cstdio>

namespace orvo {
namespace {

char lowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool isHostCharacter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '.' || c == '[' || c == ']' ||
           c == ':';
}

}  // namespace

std::string originForLog(std::string_view url) {
    while (!url.empty() && static_cast<unsigned char>(url.front()) <= ' ') url.remove_prefix(1);
    if (url.empty()) return "(none)";
    const auto schemeEnd = url.find("://");
    if (schemeEnd == std::string_view::npos) return "(not a web address)";
    std::string scheme;
    for (char c : url.substr(0, schemeEnd)) scheme += lowerAscii(c);
    if (scheme != "http" && scheme != "https") return "(not a web address)";

    std::string_view authority = url.substr(schemeEnd + 3);
    authority = authority.substr(0, authority.find_first_of("/?#\\"));
    if (const auto at = authority.rfind('@'); at != std::string_view::npos) authority.remove_prefix(at + 1);
    std::string host;
    for (char c : authority) {
        c = lowerAscii(c);
        if (!isHostCharacter(c)) return "(not a web address)";
        host += c;
    }
    // A port is digits after the last colon outside an IPv6 literal's brackets.
    const auto bracket = host.rfind(']');
    const auto colon = host.rfind(':');
    const bool hasPort = colon != std::string::npos && (bracket == std::string::npos || colon > bracket);
    if (hasPort) {
        const std::string digits = host.substr(colon + 1);
        if (digits.empty() || digits.size() > 5 ||
            !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; })) {
            return "(not a web address)";
        }
    }
    if (host.empty() || (hasPort && colon == 0)) return "(not a web address)";
    if (!hasPort) host += scheme == "https" ? ":443" : ":80";
    return scheme + "://" + host;
}

std::string logFileName(int year, int month, int day) {
    char name[32];
    std::snprintf(name, sizeof name, "orvo-%04d-%02d-%02d.log", year, month, day);
    return name;
}

bool isDailyLogFileName(const std::string& name) {
    // orvo-YYYY-MM-DD.log
    if (name.size() != 19 || name.compare(0, 5, "orvo-") != 0 || name.compare(15, 4, ".log") != 0) return false;
    for (std::size_t i = 5; i < 15; ++i) {
        const bool dash = i == 9 || i == 12;
        if (dash ? name[i] != '-' : (name[i] < '0' || name[i] > '9')) return false;
    }
    return true;
}

std::vector<std::string> logFilesToDelete(std::vector<LogFileInfo> files, const std::string& todayName,
                                          std::size_t keep, std::uint64_t maxBytes) {
    std::erase_if(files, [](const LogFileInfo& f) { return !isDailyLogFileName(f.name); });
    // Newest first; the dates in the names sort as text.
    std::sort(files.begin(), files.end(), [](const auto& a, const auto& b) { return a.name > b.name; });
    std::vector<std::string> doomed;
    std::uint64_t total = 0;
    std::size_t kept = 0;
    bool full = false;  // once a file does not fit, every older one goes too
    for (const auto& f : files) {
        full = full || (f.name != todayName && (kept >= keep || total + f.bytes > maxBytes));
        if (full && f.name != todayName) {
            doomed.push_back(f.name);
            continue;
        }
        ++kept;
        total += f.bytes;
    }
    return doomed;
}

}  // namespace orvo
