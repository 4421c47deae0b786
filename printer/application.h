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
    // Runs the message loop until termination is requested; returns the exit
    // code. startUp, when given, runs as soon as the loop has first waited for
    // a message: the windows already shown answer before it. An exception
    // from it ends the loop.
    int run(const std::function<void()>& startUp = {});
    // Takes effect when control returns to the message loop.
    void terminate();
    // Dispatches the messages already waiting, as a wait that must keep the
    // windows alive does between its steps. A WM_QUIT among them ends the
    // program as terminate() does.
    void processMessages();
    // A message loop of its own that runs until done() holds or the program
    // is ending; for windows shown modally.
    void runModal(const std::function<bool()>& done);

    // A window that hosts an active document sees every message before it
    // is translated and dispatched (keys go to the document first, as OLE
    // asks of containers); true when it took the message. Returns an id for
    // removeMessageFilter.
    using MessageFilter = std::function<bool(MSG&)>;
    int addMessageFilter(MessageFilter filter);
    void removeMessageFilter(int id);
    bool terminated() const noexcept { return terminated_; }

    // Application-wide minimise and restore. The main window reports its size
    // changes; handlers run when the application as a whole is minimised and
    // when it comes back.
    void addMinimizeHandler(std::function<void()> handler) { minimizeHandlers_.push_back(std::move(handler)); }
    void addRestoreHandler(std::function<void()> handler) { restoreHandlers_.push_back(std::move(handler)); }
    void mainWindowSized(WPARAM sizeType);
    // A request another start forwarded (WM_COPYDATA from Agent). It is not
    // acted on; the handler shows the user what is still open.
    void setForwardedRequestHandler(std::function<void()> handler) { forwardedRequest_ = std::move(handler); }
    bool minimized() const noexcept { return minimized_; }

protected:
    LRESULT onMessage(UINT msg, WPARAM wp, LPARAM lp) override;

private:
    void dispatch(MSG& msg);

    bool terminated_ = false;
    struct Filter {
        int id;
        MessageFilter filter;
    };
    std::vector<Filter> filters_;
    int nextFilterId_ = 1;
    bool minimized_ = false;
    std::vector<std::function<void()>> minimizeHandlers_;
    std::vector<std::function<void()>> restoreHandlers_;
    std::function<void()> forwardedRequest_;
};

// The one application object of the process (set while it lives).
Application* theApplication();

}  // namespace orvo
