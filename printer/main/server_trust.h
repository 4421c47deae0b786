#pragma once
// The check before a run contacts any server: every server the request
// names must be on the machine's or the user's list of trusted servers, or
// the user allows it now. Any web page can open a link, so a server nobody
// has trusted is never contacted unasked.
#include <windows.h>

#include <string_view>

#include "core/request_params.h"

namespace orvo {

// True when the run may go on. Servers the user refused for good end the run
// after a message naming them; unknown ones are named in a question whose
// answers are 允许 and 拒绝, with a box to remember the choice. owner: the
// window the question belongs to.
bool confirmRequestedServers(std::string_view mode, const RequestFields& fields, HWND owner);

}  // namespace orvo
