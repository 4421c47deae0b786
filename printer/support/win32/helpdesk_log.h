#pragma once
// The helpdesk log: one file a day under %LOCALAPPDATA%\orvo\logs, UTF-8,
// the last 14 files and at most 10 MB in all. Each run writes its version,
// mode, the origins of the servers it contacts, each step's outcome with its
// status or error code, and how it ended.
//
// Never write a query string, a guid, a token, a digest, the key's PIN, nor
// anything of a document or of the request's payload: pass addresses through
// logServer, which keeps only their origin.
//
// Logging never fails the program: when the folder or the file cannot be
// written (a read-only profile, a full disk), the calls do nothing.
#include <windows.h>

#include <exception>
#include <string>
#include <string_view>

namespace orvo::helpdesk {

// Opens today's log (creating the folder), deletes old files, and writes the
// run's first line with the program's version and process id.
void startRun() noexcept;

// One line, GBK text as everywhere inside the program; thread-safe.
void log(std::string_view gbkText) noexcept;

// "server <purpose>: <origin>" for an address the run is about to contact.
void logServer(std::string_view purpose, std::string_view url) noexcept;

// "error <code>" of a Windows or COM failure, "no error code" otherwise:
// what a log line may say of an exception (its text may name a document).
std::string errorCodeText(const std::exception& error);

// The full path of today's log file (GBK), or empty when there is none.
std::string todayFile();

// The last lines of an error box that ends a run: they name today's log
// file, for the user to send to the helpdesk (empty when there is no log).
std::wstring logHint();

// The standard error box with the log hint, for an error that ends the run.
void showRunEndingErrorBox(HWND owner, const std::exception& error);
// Any other message box that ends a run, with the log hint after its text.
int showRunEndingBox(HWND owner, const std::wstring& text, const wchar_t* caption, UINT flags);

}  // namespace orvo::helpdesk
