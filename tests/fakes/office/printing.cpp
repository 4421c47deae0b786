#include "printing.h"

#include <commdlg.h>
#include <winspool.h>
#include <algorithm>
#include "dispatch_table.h"
#include "journal.h"
#include "support/win32/unique.h"

namespace orvo::fake {
namespace {

void drawPicture(HDC dc, const RECT& box, const Picture& picture) {
    if (picture.dib.size() > sizeof(BITMAPINFOHEADER)) {
        auto* info = reinterpret_cast<const BITMAPINFO*>(picture.dib.data());
        const BITMAPINFOHEADER& h = info->bmiHeader;
        size_t colours = h.biClrUsed ? h.biClrUsed : (h.biBitCount <= 8 ? (1u << h.biBitCount) : 0);
        size_t masks = h.biCompression == BI_BITFIELDS ? 3 : 0;
        size_t offset = h.biSize + (colours + masks) * sizeof(RGBQUAD);
        if (offset < picture.dib.size()) {
            ::SetStretchBltMode(dc, HALFTONE);
            ::StretchDIBits(dc, box.left, box.top, box.right - box.left, box.bottom - box.top, 0, 0, h.biWidth,
                            std::abs(h.biHeight), picture.dib.data() + offset, info, DIB_RGB_COLORS, SRCCOPY);
            return;
        }
    }
    // Loaded from disk: the pixels are not kept, so show where it sits.
    ::Rectangle(dc, box.left, box.top, box.right, box.bottom);
    ::MoveToEx(dc, box.left, box.top, nullptr);
    ::LineTo(dc, box.right, box.bottom);
    ::MoveToEx(dc, box.right, box.top, nullptr);
    ::LineTo(dc, box.left, box.bottom);
}

UniqueFont makeFont(int height, bool bold) {
    LOGFONTW lf{};
    lf.lfHeight = -std::max(height, 1);
    lf.lfWeight = bold ? FW_BOLD : FW_NORMAL;
    lf.lfCharSet = DEFAULT_CHARSET;
    lf.lfQuality = ANTIALIASED_QUALITY;
    wcscpy_s(lf.lfFaceName, L"SimSun");
    return UniqueFont(::CreateFontIndirectW(&lf));
}

[[noreturn]] void printFailure(const std::wstring& what, DWORD code) {
    wchar_t buf[64];
    swprintf_s(buf, L" (error %lu)", static_cast<unsigned long>(code));
    throwModelError(4198, what + buf);  // "Command failed"
}

}  // namespace

void paintPage(HDC dc, const RECT& pageRect, const std::wstring& name, const DocumentContent& content) {
    const int width = pageRect.right - pageRect.left;
    const int height = pageRect.bottom - pageRect.top;
    if (width <= 0 || height <= 0) return;
    int saved = ::SaveDC(dc);
    ::IntersectClipRect(dc, pageRect.left, pageRect.top, pageRect.right, pageRect.bottom);
    ::FillRect(dc, &pageRect, static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH)));
    ::SelectObject(dc, ::GetStockObject(BLACK_PEN));
    ::SelectObject(dc, ::GetStockObject(NULL_BRUSH));
    ::Rectangle(dc, pageRect.left, pageRect.top, pageRect.right, pageRect.bottom);

    const int margin = width / 10;
    RECT text = {pageRect.left + margin, pageRect.top + margin, pageRect.right - margin, pageRect.bottom - margin};
    ::SetBkMode(dc, TRANSPARENT);
    ::SetTextColor(dc, RGB(0, 0, 0));

    UniqueFont heading = makeFont(width / 22, true);
    ::SelectObject(dc, heading.get());
    RECT headingBox = text;
    ::DrawTextW(dc, name.c_str(), static_cast<int>(name.size()), &headingBox,
                DT_LEFT | DT_TOP | DT_WORDBREAK | DT_NOPREFIX | DT_CALCRECT);
    headingBox.right = text.right;
    ::DrawTextW(dc, name.c_str(), static_cast<int>(name.size()), &headingBox, DT_LEFT | DT_TOP | DT_WORDBREAK | DT_NOPREFIX);
    text.top = headingBox.bottom + width / 40;

    UniqueFont body = makeFont(width / 50, false);
    ::SelectObject(dc, body.get());
    std::wstring shown;
    for (wchar_t c : content.text)
        if (c != kPictureMark) shown += c;
    RECT bodyBox = text;
    ::DrawTextW(dc, shown.c_str(), static_cast<int>(shown.size()), &bodyBox,
                DT_LEFT | DT_TOP | DT_WORDBREAK | DT_NOPREFIX | DT_EXPANDTABS | DT_CALCRECT);
    bodyBox.right = text.right;
    ::DrawTextW(dc, shown.c_str(), static_cast<int>(shown.size()), &bodyBox,
                DT_LEFT | DT_TOP | DT_WORDBREAK | DT_NOPREFIX | DT_EXPANDTABS);

    // Pictures in a row under the text, at their size relative to the page.
    int x = text.left;
    int y = std::max(bodyBox.bottom, text.top) + width / 40;
    for (const auto& p : content.pictures) {
        int w = p.widthPx * width / kPagePixels.cx;
        int h = p.heightPx * width / kPagePixels.cx;
        if (x + w > text.right && x > text.left) {
            x = text.left;
            y += h + width / 80;
        }
        RECT box = {x, y, x + w, y + h};
        drawPicture(dc, box, p);
        x += w + width / 80;
    }
    ::RestoreDC(dc, saved);
}

std::wstring currentDefaultPrinter() {
    wchar_t name[512];
    DWORD size = ARRAYSIZE(name);
    if (!::GetDefaultPrinterW(name, &size)) return {};
    return name;
}

void printDocument(const std::wstring& printer, HDC dc, const std::wstring& docName, const DocumentContent& content) {
    UniqueMemoryDc owned;
    if (!dc) {
        if (printer.empty()) throwModelError(4198, L"There is no printer installed.");
        owned.reset(::CreateDCW(L"WINSPOOL", printer.c_str(), nullptr, nullptr));
        if (!owned) printFailure(L"The printer " + printer + L" cannot be reached.", ::GetLastError());
        dc = owned.get();
    }
    DOCINFOW info{};
    info.cbSize = sizeof info;
    info.lpszDocName = docName.c_str();
    if (::StartDocW(dc, &info) <= 0) printFailure(L"Printing on " + printer + L" could not start.", ::GetLastError());
    bool ok = ::StartPage(dc) > 0;
    if (ok) {
        RECT page = {0, 0, ::GetDeviceCaps(dc, HORZRES), ::GetDeviceCaps(dc, VERTRES)};
        paintPage(dc, page, docName, content);
        ok = ::EndPage(dc) > 0;
    }
    if (!ok) {
        DWORD code = ::GetLastError();
        ::AbortDoc(dc);
        printFailure(L"Printing on " + printer + L" failed.", code);
    }
    if (::EndDoc(dc) <= 0) printFailure(L"Printing on " + printer + L" failed.", ::GetLastError());
    journalLine(L"Print(" + quote(docName) + L", " + quote(printer) + L")");
}

bool askPrinter(HWND owner, std::wstring& printer, HDC& dc) {
    PRINTDLGW pd{};
    pd.lStructSize = sizeof pd;
    pd.hwndOwner = owner;
    pd.Flags = PD_RETURNDC | PD_NOSELECTION | PD_USEDEVMODECOPIESANDCOLLATE;
    pd.nFromPage = pd.nToPage = pd.nMinPage = pd.nMaxPage = 1;
    pd.nCopies = 1;
    BOOL chosen = ::PrintDlgW(&pd);
    DWORD error = chosen ? 0 : ::CommDlgExtendedError();
    printer.clear();
    if (pd.hDevNames) {
        if (auto* names = static_cast<DEVNAMES*>(::GlobalLock(pd.hDevNames))) {
            printer = reinterpret_cast<const wchar_t*>(names) + names->wDeviceOffset;
            ::GlobalUnlock(pd.hDevNames);
        }
        ::GlobalFree(pd.hDevNames);
    }
    if (pd.hDevMode) ::GlobalFree(pd.hDevMode);
    if (!chosen) {
        if (error) printFailure(L"The print dialog could not be shown.", error);
        return false;
    }
    dc = pd.hDC;
    return true;
}

}  // namespace orvo::fake
