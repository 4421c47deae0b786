#pragma once
// The application object: the hidden top-level window titled "orvo_Printer"
// (the running-instance marker Agent looks for), the message loop and the
// request to terminate.
#include <windows.h>
#include <string>

#include "support/window.h"

namespace orvo {

inline constexpr wchar_t kApplicationTitle[] = L"orvo_Printer";

class Application : public Window {
public:
    Application();
    // The first command-line argument as the program received it, GBK text.
    static std::string firstArgument();
    // Runs the message loop until termination is requested; returns the exit code.
    int run();
    // Takes effect when control returns to the message loop.
    void terminate();
    bool terminated() const noexcept { return terminated_; }

protected:
    LRESULT onMessage(UINT msg, WPARAM wp, LPARAM lp) override;

private:
    bool terminated_ = false;
};

// The one application object of the process (set while it lives).
Application* theApplication();

}  // namespace orvo
