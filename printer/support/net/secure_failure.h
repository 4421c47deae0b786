#pragma once
// What the user is told when a secure exchange fails: which server, and as
// far as WinHTTP tells the cases apart, what was wrong with its certificate.
// There is no way to go on regardless; the exchange is over.
#include <windows.h>

#include <string>

namespace orvo {

// Whether a WinHTTP error code means the certificate check or the secure
// channel failed (rather than the connection or the transfer).
bool isSecureFailure(DWORD code) noexcept;

// The GBK text for such a failure. server names the host (with its port
// when not 443); flags are the WINHTTP_CALLBACK_STATUS_FLAG_* bits of the
// secure-failure notification, 0 when none came.
std::string secureFailureText(const std::string& server, DWORD code, DWORD flags);

}  // namespace orvo
