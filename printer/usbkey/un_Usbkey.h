#pragma once
// The USB-key login: the key signs the token of a login request with its
// secret, and the main window posts token and digest to the login address.
#include <windows.h>

#include <functional>
#include <string>

#include "core/login_request.h"
#include "usbkey/usbkey_library.h"

namespace orvo {

// The main window's PostLogin: confirms, posts, and ends the program.
using PostLoginFn =
    std::function<void(const std::string& digest, const std::string& address, const std::string& token)>;

// The whole login for a request. Problems with the library or the key are
// shown in plain message windows owned by owner, and nothing is sent. A
// request without "pid" does nothing; one with fewer than four values after
// it raises the list's index error.
void UsbKeyLogin(const std::string& request, HWND owner, const PostLoginFn& PostLogin);

// Find, open and verify the key, have it sign the token, then PostLogin.
void UsbKeyAuthenticate(const UsbKeyLibrary& library, const LoginValues& values, HWND owner,
                        const PostLoginFn& PostLogin);

// The key's HMAC-MD5 of text as 32 upper-case hex digits; on failure the
// status is shown and the digest is empty.
std::string UsbKeyDigest(const UsbKeyLibrary& library, const UsbKeyToken& token, const std::string& text, HWND owner);

}  // namespace orvo
