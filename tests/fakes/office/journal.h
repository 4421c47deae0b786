#pragma once
// The call journal: one UTF-8 line per call the substitute receives, appended
// to the file named by ORVO_FAKE_OFFICE_JOURNAL, so tests can check what the
// program asked of Word and Excel and in what order.
#include <windows.h>
#include <oleauto.h>
#include <string>
#include <string_view>

namespace orvo::fake {

// Appends one line (a line break is added). Several threads and processes
// may append at once; each line arrives whole. Does nothing when the
// variable is not set.
void journalLine(std::wstring_view line);

// The journal's file path as Windows sees it, or empty when not set.
std::wstring journalPath();

// "text" with inner quotes doubled and line breaks written as \r and \n.
std::wstring quote(std::wstring_view text);

// A value as the journal shows it: True/False, decimal numbers, quoted
// text, Empty, Null, Missing (an omitted optional argument), Object.
std::wstring formatValue(const VARIANT& value);

}  // namespace orvo::fake
