#pragma once
// The floating title bar: while a report that is not a Word document is open
// in the program the shell associates with it, this small orange bar stays
// on top of everything at the top-right of the screen, shows the report's
// title and offers one button that ends the whole program, viewer included.
// Created at program start and kept, hidden until the view flow shows it.
#include <windows.h>

#include <functional>
#include <string>

#include "support/ui/controls.h"
#include "support/ui/form.h"
#include "support/win32/unique.h"
#include "support/ui/window.h"

namespace orvo {

class TfrmWriteRead_bar : public Form {
public:
    static constexpr int kClientWidth = 305;
    static constexpr int kClientHeight = 37;

    // shutDown: the program's orderly end, which the button asks for.
    explicit TfrmWriteRead_bar(std::function<void()> shutDown);
    ~TfrmWriteRead_bar() override;

    // Placed at the top-right of the work area, top-most, and shown.
    void Show();
    // Hidden; the bar is kept for the rest of the run.
    void Close();

    Label lb_FileTitle;
    ImageButton ImgBtn1;

protected:
    LRESULT onMessage(UINT msg, WPARAM wp, LPARAM lp) override;

private:
    void FormShow();
    void ImgBtn1Click();

    std::function<void()> shutDown_;
    UniqueFont font_;
    UniqueFont titleFont_;
};

}  // namespace orvo
