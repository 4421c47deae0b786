#pragma once
// FT_ET99_API.dll loaded for one login: its module and the operations looked
// up in it, released together; and an open key, closed before the library
// goes when the library can close it.
#include <cstdint>
#include <string>

#include "support/portable/app_error.h"
#include "support/win32/unique.h"
#include "usbkey/et99_api.h"

namespace orvo {

// The library could not be used; the message says why, for the user.
class UsbKeyLibraryError : public AppError {
public:
    using AppError::AppError;
};

class UsbKeyToken;

class UsbKeyLibrary {
public:
    // Loads the library by file name through the process's DLL search (which
    // never includes the current folder) and looks up every operation.
    // Throws UsbKeyLibraryError when it cannot be loaded or lacks one.
    UsbKeyLibrary();

    et99::Status findToken(const std::string& productId, std::int32_t& count) const;
    // On success token holds the first key with this product id.
    et99::Status openToken(const std::string& productId, UsbKeyToken& token) const;
    et99::Status verify(const UsbKeyToken& token, const std::string& pin) const;
    // digest receives kDigestBufferBytes bytes, zeroed before the call.
    et99::Status hmacMd5(const UsbKeyToken& token, const std::string& text, std::string& digest) const;

private:
    UniqueModule module_;
    et99::FindTokenFn findToken_ = nullptr;
    et99::OpenTokenFn openToken_ = nullptr;
    et99::VerifyFn verify_ = nullptr;
    et99::HmacMd5Fn hmacMd5_ = nullptr;
    et99::CloseTokenFn closeToken_ = nullptr;
};

// An open key. It must not outlive the library that opened it.
class UsbKeyToken {
public:
    UsbKeyToken() = default;
    ~UsbKeyToken() { close(); }
    UsbKeyToken(const UsbKeyToken&) = delete;
    UsbKeyToken& operator=(const UsbKeyToken&) = delete;

    et99::TokenHandle handle() const noexcept { return handle_; }
    void close() noexcept;

private:
    friend class UsbKeyLibrary;
    et99::TokenHandle handle_ = nullptr;
    et99::CloseTokenFn close_ = nullptr;
};

}  // namespace orvo
