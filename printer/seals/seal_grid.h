#pragma once
// The seal grid: one column of seal pictures, one per row, over an
// owner-drawn list box, so it scrolls, keeps a selection and can be read by
// other programs (row count, selected row).
#include <windows.h>

#include <functional>
#include <vector>

#include "support/ui/controls.h"
#include "support/ui/png_image.h"

namespace orvo {

class SealGrid : public Control {
public:
    // rowHeight is the cell's height in screen pixels; a 1-pixel grid line
    // follows each row.
    void create(const ControlPlace& place, int rowHeight);
    // The pictures drawn, row i showing picture i; the grid keeps at least
    // one row. The pictures are borrowed and must outlive the grid's use.
    void setPictures(const std::vector<Bitmap32>* pictures);
    void setRowCount(int rows);
    int rowCount() const;
    int selectedRow() const;
    void selectRow(int row);

    // The user selected a row.
    std::function<void(int row)> onSelectCell;

protected:
    bool onCommand(WORD code) override;
    bool onDrawItem(const DRAWITEMSTRUCT& item) override;
    LRESULT onControlMessage(UINT msg, WPARAM wp, LPARAM lp) override;

private:
    void drawCell(HDC dc, RECT cell, int row, bool selected) const;
    const std::vector<Bitmap32>* pictures_ = nullptr;
    UniqueBrush background_;
};

}  // namespace orvo
