#pragma once
// The print host: a window the user never sees. The print flows load the
// report into its container and print it from there, Word and Excel alike.
// Created at program start after the main window; lives until the end.
#include <windows.h>

#include <memory>

#include "hosting/ole_container.h"
#include "support/win32/unique.h"
#include "support/ui/window.h"

namespace orvo {

class TfrmXlsOLE : public Window {
public:
    // Design pixels (96 DPI).
    static constexpr int kClientWidth = 328;
    static constexpr int kClientHeight = 136;
    static constexpr int kOleContainerId = 101;
    static constexpr RECT kOleContainerBounds{24, 31, 24 + 249, 31 + 66};

    // Hidden at creation, centred on mainWindowRect (screen coordinates).
    // owner: the window it belongs to, so it never gets a task-bar button.
    TfrmXlsOLE(const RECT& mainWindowRect, HWND owner);
    ~TfrmXlsOLE() override;

    OleDocumentContainer& OleContainer() noexcept { return *container_; }
    // Visible with width 0 and height 0: the hosted object can run and print
    // while nothing shows. Does not take the activation from the main window.
    void showAtZeroSize();

protected:
    LRESULT onMessage(UINT msg, WPARAM wp, LPARAM lp) override;

private:
    UniqueFont font_;
    std::unique_ptr<OleDocumentContainer> container_;
};

}  // namespace orvo
