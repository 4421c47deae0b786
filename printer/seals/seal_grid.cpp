#include "seals/seal_grid.h"

#include <algorithm>

#include "support/portable/picture_fit.h"
#include "support/ui/window.h"

namespace orvo {
namespace {

constexpr Rgb kBackground{95, 95, 95};
constexpr Rgb kSelected{255, 0, 0};
constexpr Rgb kFrame{210, 210, 210};
constexpr int kInset = 5;

}  // namespace

void SealGrid::create(const ControlPlace& place, int rowHeight) {
    background_.reset(::CreateSolidBrush(kBackground.ref()));
    createControl(place, L"LISTBOX",
                  LBS_OWNERDRAWFIXED | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT | WS_VSCROLL | WS_TABSTOP, 0, L"");
    ::SendMessageW(hwnd(), LB_SETITEMHEIGHT, 0, rowHeight + 1);
    setRowCount(1);
    selectRow(0);
}

void SealGrid::setPictures(const std::vector<Bitmap32>* pictures) {
    pictures_ = pictures;
    ::InvalidateRect(hwnd(), nullptr, TRUE);
}

void SealGrid::setRowCount(int rows) {
    rows = std::max(rows, 1);
    const int selected = selectedRow();
    ::SendMessageW(hwnd(), WM_SETREDRAW, FALSE, 0);
    ::SendMessageW(hwnd(), LB_RESETCONTENT, 0, 0);
    for (int i = 0; i < rows; ++i) ::SendMessageW(hwnd(), LB_ADDSTRING, 0, static_cast<LPARAM>(i));
    ::SendMessageW(hwnd(), WM_SETREDRAW, TRUE, 0);
    selectRow(std::clamp(selected, 0, rows - 1));
    ::InvalidateRect(hwnd(), nullptr, TRUE);
}

int SealGrid::rowCount() const { return static_cast<int>(::SendMessageW(hwnd(), LB_GETCOUNT, 0, 0)); }

int SealGrid::selectedRow() const {
    const LRESULT row = ::SendMessageW(hwnd(), LB_GETCURSEL, 0, 0);
    return row == LB_ERR ? 0 : static_cast<int>(row);
}

void SealGrid::selectRow(int row) { ::SendMessageW(hwnd(), LB_SETCURSEL, static_cast<WPARAM>(row), 0); }

bool SealGrid::onCommand(WORD code) {
    if (code != LBN_SELCHANGE) return false;
    if (onSelectCell) onSelectCell(selectedRow());
    return true;
}

bool SealGrid::onDrawItem(const DRAWITEMSTRUCT& item) {
    if (static_cast<int>(item.itemID) < 0) return true;
    RECT cell = item.rcItem;
    // The row's last pixel line is the grid line.
    RECT line{cell.left, cell.bottom - 1, cell.right, cell.bottom};
    ::FillRect(item.hDC, &line, ::GetSysColorBrush(COLOR_BTNFACE));
    cell.bottom -= 1;
    drawCell(item.hDC, cell, static_cast<int>(item.itemID), (item.itemState & ODS_SELECTED) != 0);
    return true;
}

void SealGrid::drawCell(HDC dc, RECT cell, int row, bool selected) const {
    if (!pictures_ || pictures_->empty() || row >= static_cast<int>(pictures_->size())) {
        fillRect(dc, cell, kBackground);
        return;
    }
    const int inset = Window::dp(kInset);
    RECT inner{cell.left + inset, cell.top + inset, cell.right - inset, cell.bottom - inset};
    fillRect(dc, cell, selected ? kSelected : kBackground);
    fillRect(dc, inner, kBackground);
    // Stretched to the cell, a round seal would look oval: it keeps its
    // shape, as it will have in the document.
    const Bitmap32& picture = (*pictures_)[static_cast<size_t>(row)];
    const PlacedBox fitted = fitPicture(picture.width, picture.height,
                                        {inner.left, inner.top, inner.right - inner.left, inner.bottom - inner.top});
    drawBitmap(dc, picture, RECT{fitted.left, fitted.top, fitted.left + fitted.width, fitted.top + fitted.height},
               kBackground.ref());
    frameRect(dc, selected ? cell : inner, kFrame);
}

LRESULT SealGrid::onControlMessage(UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_ERASEBKGND) {
        RECT client{};
        ::GetClientRect(hwnd(), &client);
        ::FillRect(reinterpret_cast<HDC>(wp), &client, background_.get());
        return 1;
    }
    return Control::onControlMessage(msg, wp, lp);
}

}  // namespace orvo
