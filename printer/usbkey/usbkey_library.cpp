#include "usbkey/usbkey_library.h"

#include "support/win32/win_text.h"

namespace orvo {
namespace {

// A missing operation is named rather than called through a null pointer.
template <typename Fn>
Fn lookUp(HMODULE module, const char* name, bool required) {
    FARPROC found = ::GetProcAddress(module, name);
    if (!found && required)
        throw UsbKeyLibraryError(wideToGbk(L"FT_ET99_API.dll 中缺少函数 ") + name + wideToGbk(L"，无法使用USB-Key登录"));
    return reinterpret_cast<Fn>(found);
}

}  // namespace

UsbKeyLibrary::UsbKeyLibrary() : module_(::LoadLibraryW(et99::kLibraryFile)) {
    if (!module_) throw UsbKeyLibraryError(wideToGbk(L"未能找到 FT_ET99_API.dll"));
    findToken_ = lookUp<et99::FindTokenFn>(module_.get(), et99::kFindToken, true);
    openToken_ = lookUp<et99::OpenTokenFn>(module_.get(), et99::kOpenToken, true);
    verify_ = lookUp<et99::VerifyFn>(module_.get(), et99::kVerify, true);
    hmacMd5_ = lookUp<et99::HmacMd5Fn>(module_.get(), et99::kHmacMd5, true);
    closeToken_ = lookUp<et99::CloseTokenFn>(module_.get(), et99::kCloseToken, false);
}

et99::Status UsbKeyLibrary::findToken(const std::string& productId, std::int32_t& count) const {
    count = 0;
    return findToken_(productId.c_str(), &count);
}

et99::Status UsbKeyLibrary::openToken(const std::string& productId, UsbKeyToken& token) const {
    token.close();
    et99::TokenHandle handle = nullptr;
    const et99::Status status = openToken_(&handle, productId.c_str(), et99::kFirstKey);
    // A handle from a failed open is not ours to close.
    if (status == 0) {
        token.handle_ = handle;
        token.close_ = closeToken_;
    }
    return status;
}

et99::Status UsbKeyLibrary::verify(const UsbKeyToken& token, const std::string& pin) const {
    return verify_(token.handle(), et99::kUserPin, pin.c_str());
}

et99::Status UsbKeyLibrary::hmacMd5(const UsbKeyToken& token, const std::string& text, std::string& digest) const {
    digest.assign(et99::kDigestBufferBytes, '\0');
    // The text comes from a request, which is at most a command line long.
    const auto length = static_cast<std::int32_t>(text.size());
    return hmacMd5_(token.handle(), et99::kSecretKeyNumber, length, reinterpret_cast<const unsigned char*>(text.data()),
                    reinterpret_cast<unsigned char*>(digest.data()));
}

void UsbKeyToken::close() noexcept {
    if (handle_ && close_) close_(handle_);
    handle_ = nullptr;
    close_ = nullptr;
}

}  // namespace orvo
