#pragma once
// The application object: the hidden top-level window titled "orvo_Printer"
// (the running-instance marker Agent looks for), the message loop and the
// request to terminate.
#include <windows.h>
#include <functional>
#include <string>
#include <vector>

#include "support/portable/program_names.h"
#include "support/ui/window.h"

namespace orvo {

class Application : public Window {
public:
    Application();
    ~Application() override;
    // The first command-line argument as the program received it, GBK text.
    static std::string firstArgument();
    // Runs the message loop until termination is requested; returns the exit code.
    int run();
    // Takes effect when control returns to the message loop.
    void terminate();
    bool terminated() const noexcept { return terminated_; }

    // Application-wide minimise and restore. The main window reports its size
    // changes; handlers run when the application as a whole is minimised and
    // when it comes back.
    void addMinimizeHandler(std::function<void()> handler) { minimizeHandlers_.push_back(std::move(handler)); }
    void addRestoreHandler(std::function<void()> handler) { restoreHandlers_.push_back(std::move(handler)); }
    void mainWindowSized(WPARAM sizeType);
    bool minimized() const noexcept { return minimized_; }

protected:
    LRESULT onMessage(UINT msg, WPARAM wp, LPARAM lp) override;

private:
    bool terminated_ = false;
    bool minimized_ = false;
    std::vector<std::function<void()>> minimizeHandlers_;
    std::vector<std::function<void()>> restoreHandlers_;
};

// The one application object of the process (set while it lives).
Application* theApplication();

}  // namespace orvo
