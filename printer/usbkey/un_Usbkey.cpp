#include "usbkey/un_Usbkey.h"

#include <cstdint>
#include <optional>

#include "application.h"
#include "support/win32/helpdesk_log.h"
#include "support/win32/win_text.h"

namespace orvo {
namespace {

// A plain message window: OK, the application title, no icon. The login
// ends after it.
void showKeyMessage(HWND owner, const std::string& gbkText) {
    helpdesk::showRunEndingBox(owner, gbkToWide(gbkText), kApplicationTitle, MB_OK);
}

std::string gbk(const wchar_t* text) { return wideToGbk(text); }

}  // namespace

void UsbKeyLogin(const std::string& request, HWND owner, const PostLoginFn& PostLogin) {
    std::optional<UsbKeyLibrary> library;
    try {
        library.emplace();
    } catch (const UsbKeyLibraryError& e) {
        helpdesk::log("usb key: the key library could not be loaded");
        showKeyMessage(owner, e.what());
        return;
    }
    const std::optional<LoginValues> values = readLoginValues(request);
    if (!values) return;
    UsbKeyAuthenticate(*library, *values, owner, PostLogin);
}

void UsbKeyAuthenticate(const UsbKeyLibrary& library, const LoginValues& values, HWND owner,
                        const PostLoginFn& PostLogin) {
    std::string digest;
    {
        std::int32_t count = 0;
        helpdesk::log("usb key: library loaded");
        if (const et99::Status status = library.findToken(values.productId, count)) {
            helpdesk::log("usb key: no key found, status " + statusText(status));
            showKeyMessage(owner, "ERROR: " + statusText(status) + "\n" + gbk(L"请插入正确的USB-Key！"));
            return;
        }
        UsbKeyToken token;
        if (const et99::Status status = library.openToken(values.productId, token)) {
            helpdesk::log("usb key: open failed, status " + statusText(status));
            showKeyMessage(owner, "ERROR of ET_Open : " + statusText(status));
            return;
        }
        if (const et99::Status status = library.verify(token, values.pin)) {
            helpdesk::log("usb key: PIN not accepted, status " + statusText(status));
            showKeyMessage(owner, "ERROR: " + statusText(status));
            return;
        }
        digest = UsbKeyDigest(library, token, values.token, owner);
    }  // the key has done its part: closed before the login goes out
    PostLogin(digest, values.address, values.token);
}

std::string UsbKeyDigest(const UsbKeyLibrary& library, const UsbKeyToken& token, const std::string& text, HWND owner) {
    std::string buffer;
    if (const et99::Status status = library.hmacMd5(token, text, buffer)) {
        helpdesk::log("usb key: signing failed, status " + statusText(status));
        showKeyMessage(owner, "et_HMAC_MD5 ERROR: " + statusText(status));
        return {};
    }
    helpdesk::log("usb key: token signed");
    return upperHex(reinterpret_cast<const std::uint8_t*>(buffer.data()), et99::kDigestBytes);
}

}  // namespace orvo
