#pragma once
// The name under which a ".docx" or ".xlsx" report is kept in the temporary
// folder. It is taken from the request, which any web page can write, so
// only a plain file name is accepted: the last path component, never "." or
// "..", no character Windows forbids in names, no device name, ending with
// the report's extension. Anything else falls back to the time-stamped name.
#include <string>
#include <string_view>

namespace orvo {

// The last component of requested (GBK; "\", "/" and ":" separate), when it
// is usable as a file name ending with extension; otherwise empty text.
std::string safeReportFileName(std::string_view requested, std::string_view extension);

// safeReportFileName, or fallback when that gives nothing.
std::string localReportName(std::string_view requested, std::string_view extension, std::string_view fallback);

// The name the preview proposes for a saved copy: the last "/" item of the
// request (GBK), through the rule above with no extension required, so that
// "\" or ".." cannot aim the dialog at another folder; empty when refused.
std::string proposedSaveName(std::string_view request);

// CON, PRN, AUX, NUL, COM0-9, LPT0-9, CONIN$, CONOUT$ in any case, also with
// an extension ("nul.docx") or trailing blanks before it: names that open a
// device instead of a file.
bool isDeviceName(std::string_view name);

}  // namespace orvo
