#pragma once
// No macro of a document we hand to Word or Excel may run: their automation
// starts with every macro enabled, and our documents come from web servers.
#include "support/win32/dispatch.h"

namespace orvo {

class OleDocumentContainer;

// msoAutomationSecurityForceDisable: macros stay off in every file the
// application opens for us, without asking the user.
inline constexpr int kMacrosForceDisabled = 3;

// Sets the application's AutomationSecurity; a failure propagates, since
// opening the document without it is what must not happen.
void forbidMacros(const Dispatch& application);
// The same for the application serving the container's document: started
// if it is not running yet, so that its object model can be reached.
void forbidMacros(OleDocumentContainer& container);

}  // namespace orvo
