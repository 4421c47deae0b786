#pragma once
// What the seal window asks of the window that opened it: to start the
// upload of the saved document, to show the upload's outcome in the seal
// window's alert view, and to end the program. The main window implements it.
#include <functional>
#include <string>

namespace orvo {

class SealHost {
public:
    // Sends the saved document back to the server; the outcome goes to the
    // upload alert view.
    virtual void StartUpload() = 0;
    // Where the upload's result text is shown.
    virtual void SetUploadAlertView(std::function<void(const std::string& alertText)> showAlert) = 0;
    // Ends the program.
    virtual void Close() = 0;

protected:
    ~SealHost() = default;
};

}  // namespace orvo
