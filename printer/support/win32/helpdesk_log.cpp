#include "support/win32/helpdesk_log.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <mutex>
#include <new>
#include <vector>

#include "support/portable/app_error.h"
#include "support/portable/helpdesk_log_text.h"
#include "support/portable/program_names.h"
#include "support/win32/unique.h"
#include "support/win32/win_error.h"
#include "support/win32/win_text.h"

namespace orvo::helpdesk {
namespace {

std::mutex logMutex;

bool isFolder(const std::wstring& path) {
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// %LOCALAPPDATA%\orvo\logs\, created when missing; empty when that fails
// (a file of that name counts as a failure too).
std::wstring logFolder() {
    wchar_t base[MAX_PATH];
    const DWORD n = ::GetEnvironmentVariableW(L"LOCALAPPDATA", base, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return {};
    std::wstring folder = std::wstring(base, n) + L"\\orvo";
    ::CreateDirectoryW(folder.c_str(), nullptr);
    folder += L"\\logs";
    ::CreateDirectoryW(folder.c_str(), nullptr);
    return isFolder(folder) ? folder + L"\\" : std::wstring();
}

std::wstring todayName() {
    SYSTEMTIME now;
    ::GetLocalTime(&now);
    return gbkToWide(logFileName(now.wYear, now.wMonth, now.wDay));
}

std::string timestamp() {
    SYSTEMTIME now;
    ::GetLocalTime(&now);
    char text[64];
    std::snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u:%02u.%03u [%lu] ", now.wYear, now.wMonth, now.wDay,
                  now.wHour, now.wMinute, now.wSecond, now.wMilliseconds, ::GetCurrentProcessId());
    return text;
}

// What the other daily files kept hold, as last counted: today's file may
// grow only into what they leave of the log's bytes.
std::uint64_t otherFilesBytes = 0;

// Deletes the daily files beyond what the log may keep, today's counted as at
// least todayBytes long, and counts what the others kept hold.
void pruneOldFiles(const std::wstring& folder, std::uint64_t todayBytes) {
    const std::string today = wideToGbk(todayName());
    std::vector<LogFileInfo> files{{today, todayBytes}};
    WIN32_FIND_DATAW found;
    HANDLE search = ::FindFirstFileW((folder + L"orvo-*.log").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            const std::string name = wideToGbk(found.cFileName);
            if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || !isDailyLogFileName(name)) continue;
            const std::uint64_t bytes = (static_cast<std::uint64_t>(found.nFileSizeHigh) << 32) | found.nFileSizeLow;
            if (name == today)
                files.front().bytes = std::max(files.front().bytes, bytes);
            else
                files.push_back({name, bytes});
        } while (::FindNextFileW(search, &found));
        ::FindClose(search);
    }
    const std::vector<std::string> doomed = logFilesToDelete(files, today);
    otherFilesBytes = 0;
    for (const LogFileInfo& file : files) {
        if (file.name == today) continue;
        const bool goes = std::find(doomed.begin(), doomed.end(), file.name) != doomed.end();
        // One that cannot be deleted still takes its room.
        if (!goes || !::DeleteFileW((folder + gbkToWide(file.name)).c_str())) otherFilesBytes += file.bytes;
    }
}

void appendLine(const std::string& utf8Line) {
    const std::wstring folder = logFolder();
    if (folder.empty()) return;
    const std::wstring path = folder + todayName();
    UniqueFile file(::CreateFileW(path.c_str(), FILE_APPEND_DATA | FILE_READ_ATTRIBUTES,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return;
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(file.get(), &size)) return;
    // A byte order mark, so that Notepad shows the Chinese texts right.
    const std::string text = (size.QuadPart == 0 ? "\xEF\xBB\xBF" : "") + utf8Line;
    const std::uint64_t after = static_cast<std::uint64_t>(size.QuadPart) + text.size();
    // Older days make room for today; today's file alone never outgrows the log.
    if (after + otherFilesBytes > kLogBytesKept) pruneOldFiles(folder, after);
    if (after + otherFilesBytes > kLogBytesKept) return;
    DWORD written = 0;
    ::WriteFile(file.get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

}  // namespace

void log(std::string_view gbkText) noexcept {
    try {
        std::string line = timestamp() + wideToUtf8(gbkToWide(gbkText));
        for (auto& c : line) {
            if (c == '\r' || c == '\n') c = ' ';  // one event, one line
        }
        const std::lock_guard lock(logMutex);
        appendLine(line + "\r\n");
    } catch (...) {
        // No log is better than no program.
    }
}

void startRun() noexcept {
    try {
        {
            const std::lock_guard lock(logMutex);
            const std::wstring folder = logFolder();
            if (!folder.empty()) pruneOldFiles(folder, 0);
        }
        log("orvo_Printer " ORVO_VERSION " started");
    } catch (...) {
    }
}

void logServer(std::string_view purpose, std::string_view url) noexcept {
    try {
        log("server " + std::string(purpose) + ": " + originForLog(url));
    } catch (...) {
    }
}

std::string errorCodeText(const std::exception& error) {
    char code[32];
    if (const auto* win32 = dynamic_cast<const Win32Error*>(&error)) {
        std::snprintf(code, sizeof code, "error %lu", win32->code());
    } else if (const auto* com = dynamic_cast<const ComError*>(&error)) {
        std::snprintf(code, sizeof code, "error 0x%08lX", static_cast<unsigned long>(com->code()));
    } else if (dynamic_cast<const std::bad_alloc*>(&error)) {
        return "out of memory";
    } else {
        return "no error code";
    }
    return code;
}

std::string todayFile() {
    const std::wstring folder = logFolder();
    if (folder.empty()) return {};
    // A file the run could not write is no help to anyone.
    const std::wstring path = folder + todayName();
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) return {};
    return wideToGbk(path);
}

std::wstring logHint() {
    try {
        const std::string file = todayFile();
        if (file.empty()) return {};
        return L"\n\n如需帮助，请把日志文件发给技术支持：\n" + gbkToWide(file);
    } catch (...) {
        return {};
    }
}

void showRunEndingErrorBox(HWND owner, const std::exception& error) {
    log("error box, the run ends: " + errorCodeText(error));
    const std::string text = dynamic_cast<const std::bad_alloc*>(&error) ? wideToGbk(L"内存不足，无法完成操作")
                                                                          : std::string(error.what());
    ::MessageBoxW(owner, (gbkToWide(errorBoxText(text)) + logHint()).c_str(), kApplicationTitle,
                  MB_OK | MB_ICONERROR);
}

int showRunEndingBox(HWND owner, const std::wstring& text, const wchar_t* caption, UINT flags) {
    log("message box, the run ends");
    return ::MessageBoxW(owner, (text + logHint()).c_str(), caption, flags);
}

}  // namespace orvo::helpdesk
