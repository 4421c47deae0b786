#pragma once
// Drawing a document as a page, on screen and on paper, and printing it as
// the applications do: a real GDI job, so the spooler shows which printer
// got it.
#include <windows.h>
#include <string>
#include "document_format.h"

namespace orvo::fake {

// A4 at 100%: the page's size in 1/100 mm and in screen pixels.
inline constexpr SIZEL kPageHimetric = {21000, 29700};
inline constexpr SIZE kPagePixels = {794, 1123};

// Draws the page (white sheet, frame, the document's name as a heading, its
// text and pictures) filling pageRect; the scale follows the rectangle.
void paintPage(HDC dc, const RECT& pageRect, const std::wstring& name, const DocumentContent& content);

// The default printer of this process at this moment; empty when none.
std::wstring currentDefaultPrinter();

// Prints one job named docName. With dc null the job goes to printer (a
// DC is created for it); otherwise to dc, which belongs to printer.
// Journals Print("docName", "printer"). Throws DispatchFault on failure.
void printDocument(const std::wstring& printer, HDC dc, const std::wstring& docName, const DocumentContent& content);

// The print dialog. Returns false when the user cancels; otherwise the
// chosen printer's name and a DC for it (the caller deletes it).
// Throws DispatchFault when the dialog cannot be shown.
bool askPrinter(HWND owner, std::wstring& printer, HDC& dc);

}  // namespace orvo::fake
