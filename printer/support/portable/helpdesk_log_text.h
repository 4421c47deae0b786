#pragma once
// What the helpdesk log may hold, decided without the platform: an address
// reduced to its origin (never its path, query or user part), the names of
// the daily log files, and which old files go to keep the log small.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace orvo {

// "scheme://host:port" in lower case, the scheme's port filled in; "(none)"
// for an empty address and "(not a web address)" for anything else. Query
// strings, paths, fragments and "user:password@" never come through.
std::string originForLog(std::string_view url);

// "orvo-YYYY-MM-DD.log".
std::string logFileName(int year, int month, int day);
// Whether a name has that form; other files in the folder are not the log's.
bool isDailyLogFileName(const std::string& name);

struct LogFileInfo {
    std::string name;
    std::uint64_t bytes = 0;
};

inline constexpr std::size_t kLogFilesKept = 14;
inline constexpr std::uint64_t kLogBytesKept = 10u * 1024 * 1024;

// The log files to delete so that at most `keep` remain and they hold at
// most `maxBytes` together: the oldest first, never today's. Names that are
// not daily log files are someone else's and are left alone.
std::vector<std::string> logFilesToDelete(std::vector<LogFileInfo> files, const std::string& todayName,
                                          std::size_t keep = kLogFilesKept,
                                          std::uint64_t maxBytes = kLogBytesKept);

}  // namespace orvo
