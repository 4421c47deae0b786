#include "hosting/office_macros.h"

#include "hosting/ole_container.h"

namespace orvo {

void forbidMacros(const Dispatch& application) { application.put(L"AutomationSecurity", kMacrosForceDisabled); }

void forbidMacros(OleDocumentContainer& container) {
    container.run();
    forbidMacros(Dispatch(container.automationObject()).object(L"Application"));
}

}  // namespace orvo
