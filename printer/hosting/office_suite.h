#pragma once
// Which office suite does Word's and Excel's work on this PC. Many offices
// have WPS Office and no Microsoft Office: WPS Writer and WPS Spreadsheets
// answer to Word's and Excel's object model, under class names of their own.
// Microsoft Office is preferred where both are installed; the choice is made
// once per run, from the class names registered on the PC.
#include <windows.h>

#include <optional>
#include <string_view>

#include "support/portable/app_error.h"

namespace orvo {

enum class OfficeApp { Writer, Spreadsheet };

struct OfficeApplicationClass {
    const wchar_t* progId;
    CLSID clsid;
    bool microsoft;
};

// The application class of the suite chosen for app, or none when neither
// suite is installed.
std::optional<OfficeApplicationClass> officeApplicationClass(OfficeApp app);

// Neither suite is installed for the document at hand. Its message names
// both, e.g. "未找到 Microsoft Word 或 WPS 文字，无法打开文档。".
class OfficeMissingError : public AppError {
public:
    explicit OfficeMissingError(OfficeApp app);
    OfficeApp app() const noexcept { return app_; }

private:
    OfficeApp app_;
};

// The chosen application class; throws OfficeMissingError without one.
OfficeApplicationClass requireOfficeApplication(OfficeApp app);
// Word's for ".doc" and ".docx", Excel's for ".xls" and ".xlsx".
std::optional<OfficeApp> officeAppForExtension(std::string_view ext) noexcept;

// The message as it is written, full stop included, with the error icon; the
// run ends after it, so the box names the day's log file too.
void showOfficeMissing(HWND owner, const OfficeMissingError& error);
// Whether a suite is installed for app; if not, the user is told so first.
bool confirmOfficeInstalled(HWND owner, OfficeApp app);

// Whether a server is registered for the class, in either registry view.
bool isClassRegistered(const CLSID& clsid);

// The WPS document class that stands in for a Word or Excel document class
// of app, when the chosen suite is WPS and it registers one; none otherwise.
std::optional<CLSID> wpsDocumentClass(OfficeApp app);
// Whether clsid is one of the WPS document classes registered on this PC.
bool isWpsDocumentClass(const CLSID& clsid);

}  // namespace orvo
