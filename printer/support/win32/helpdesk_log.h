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
#include <string>
#include <string_view>

namespace orvo::helpdesk {

// Opens today's log (creating the folder), deletes old files, and writes the
// run's first line with the program's version and process id.
void startRun(std::string_view version) noexcept;

// One line, GBK text as everywhere inside the program; thread-safe.
void log(std::string_view gbkText) noexcept;

// "server <purpose>: <origin>" for an address the run is about to contact.
void logServer(std::string_view purpose, std::string_view url) noexcept;

// The full path of today's log file (GBK), or empty when there is no log.
std::string todayFile();

// The message of an error box that ends a run, with a last line that names
// the log file to send to the helpdesk (unchanged when there is no log).
std::string withLogHint(std::string_view gbkMessage);

}  // namespace orvo::helpdesk
