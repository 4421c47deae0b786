#include "hosting/office_suite.h"

#include <objbase.h>

#include <array>
#include <string>

#include "support/portable/program_names.h"
#include "support/win32/helpdesk_log.h"
#include "support/win32/unique.h"
#include "support/win32/win_text.h"

namespace orvo {
namespace {

// Each in the order of preference: Microsoft's name first, then WPS's
// current one, then the one older WPS versions register.
constexpr std::array<const wchar_t*, 3> kWriterProgIds = {L"Word.Application", L"KWPS.Application",
                                                          L"WPS.Application"};
constexpr std::array<const wchar_t*, 3> kSpreadsheetProgIds = {L"Excel.Application", L"KET.Application",
                                                               L"ET.Application"};

// WPS's document classes, by the program that serves them; the first one
// registered stands in for a Word or Excel document class.
constexpr std::array<const wchar_t*, 3> kWpsWriterDocuments = {L"KWPS.Document.8", L"KWPS.Document.12",
                                                               L"KWPS.Document.9"};
constexpr std::array<const wchar_t*, 2> kWpsSpreadsheetDocuments = {L"KET.Sheet.12", L"KET.Workbook.9"};

std::optional<CLSID> classOfProgId(const wchar_t* progId) {
    CLSID clsid{};
    if (FAILED(::CLSIDFromProgID(progId, &clsid))) return std::nullopt;
    return clsid;
}

std::optional<OfficeApplicationClass> chooseApplication(OfficeApp app) {
    const auto& names = app == OfficeApp::Writer ? kWriterProgIds : kSpreadsheetProgIds;
    for (size_t i = 0; i < names.size(); ++i) {
        if (auto clsid = classOfProgId(names[i]); clsid && isClassRegistered(*clsid))
            return OfficeApplicationClass{names[i], *clsid, i == 0};
    }
    return std::nullopt;
}

// The choice goes to the log once: which suite a helpdesk has to look at.
std::optional<OfficeApplicationClass> chooseAndLogApplication(OfficeApp app) {
    std::optional<OfficeApplicationClass> chosen = chooseApplication(app);
    const char* what = app == OfficeApp::Writer ? "office: documents by " : "office: spreadsheets by ";
    helpdesk::log(what + (chosen ? wideToGbk(chosen->progId) : std::string("no suite installed")));
    return chosen;
}

bool keyExists(const std::wstring& path, REGSAM view) {
    UniqueRegKey key;
    return ::RegOpenKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ | view, key.put()) == ERROR_SUCCESS;
}

}  // namespace

std::optional<OfficeApplicationClass> officeApplicationClass(OfficeApp app) {
    if (app == OfficeApp::Writer) {
        static const std::optional<OfficeApplicationClass> writer = chooseAndLogApplication(OfficeApp::Writer);
        return writer;
    }
    static const std::optional<OfficeApplicationClass> spreadsheet = chooseAndLogApplication(OfficeApp::Spreadsheet);
    return spreadsheet;
}

OfficeMissingError::OfficeMissingError(OfficeApp app)
    : AppError(wideToGbk(app == OfficeApp::Writer ? L"未找到 Microsoft Word 或 WPS 文字，无法打开文档。"
                                                  : L"未找到 Microsoft Excel 或 WPS 表格，无法打开文档。")),
      app_(app) {}

OfficeApplicationClass requireOfficeApplication(OfficeApp app) {
    std::optional<OfficeApplicationClass> chosen = officeApplicationClass(app);
    if (!chosen) throw OfficeMissingError(app);
    return *chosen;
}

std::optional<OfficeApp> officeAppForExtension(std::string_view ext) noexcept {
    if (ext == ".doc" || ext == ".docx") return OfficeApp::Writer;
    if (ext == ".xls" || ext == ".xlsx") return OfficeApp::Spreadsheet;
    return std::nullopt;
}

void showOfficeMissing(HWND owner, const OfficeMissingError& error) {
    helpdesk::showRunEndingBox(owner, gbkToWide(error.what()), kApplicationTitle, MB_OK | MB_ICONERROR);
}

bool confirmOfficeInstalled(HWND owner, OfficeApp app) {
    if (officeApplicationClass(app)) return true;
    showOfficeMissing(owner, OfficeMissingError(app));
    return false;
}

bool isClassRegistered(const CLSID& clsid) {
    wchar_t text[40] = {};
    if (::StringFromGUID2(clsid, text, ARRAYSIZE(text)) == 0) return false;
    const std::wstring key = std::wstring(L"CLSID\\") + text;
    // A 32-bit program sees the 32-bit view by default; an out-of-process
    // server of 64 bits may be registered in the other view only.
    for (REGSAM view : {KEY_WOW64_32KEY, KEY_WOW64_64KEY}) {
        if (keyExists(key + L"\\LocalServer32", view) || keyExists(key + L"\\InprocServer32", view)) return true;
    }
    return false;
}

std::optional<CLSID> wpsDocumentClass(OfficeApp app) {
    std::optional<OfficeApplicationClass> suite = officeApplicationClass(app);
    if (!suite || suite->microsoft) return std::nullopt;
    auto pick = [](const auto& names) -> std::optional<CLSID> {
        for (const wchar_t* name : names) {
            if (auto clsid = classOfProgId(name); clsid && isClassRegistered(*clsid)) return clsid;
        }
        return std::nullopt;
    };
    return app == OfficeApp::Writer ? pick(kWpsWriterDocuments) : pick(kWpsSpreadsheetDocuments);
}

bool isWpsDocumentClass(const CLSID& clsid) {
    auto matches = [&](const wchar_t* name) {
        std::optional<CLSID> known = classOfProgId(name);
        return known && ::IsEqualCLSID(*known, clsid);
    };
    for (const wchar_t* name : kWpsWriterDocuments)
        if (matches(name)) return true;
    for (const wchar_t* name : kWpsSpreadsheetDocuments)
        if (matches(name)) return true;
    return false;
}

}  // namespace orvo
