#pragma once
// The key vendor's library FT_ET99_API.dll as we call it: the operations we
// look up by name, all __stdcall, each returning a 32-bit status (0: success).
// The software key of the tests implements the same declarations.
#include <windows.h>

#include <cstdint>

namespace orvo::et99 {

inline constexpr wchar_t kLibraryFile[] = L"FT_ET99_API.dll";

using Status = std::uint32_t;
using TokenHandle = void*;

// Text arguments are NUL-terminated bytes.
using FindTokenFn = Status(WINAPI*)(const char* productId, std::int32_t* count);
using OpenTokenFn = Status(WINAPI*)(TokenHandle* token, const char* productId, std::int32_t index);
using VerifyFn = Status(WINAPI*)(TokenHandle token, std::int32_t flags, const char* pin);
// digest: at least kDigestBufferBytes; the first 16 receive the HMAC-MD5.
using HmacMd5Fn = Status(WINAPI*)(TokenHandle token, std::int32_t keyNumber, std::int32_t textLength,
                                  const unsigned char* text, unsigned char* digest);
// Not every version of the library has it.
using CloseTokenFn = Status(WINAPI*)(TokenHandle token);

inline constexpr char kFindToken[] = "et_FindToken";
inline constexpr char kOpenToken[] = "et_OpenToken";
inline constexpr char kVerify[] = "et_Verify";
inline constexpr char kHmacMd5[] = "et_HMAC_MD5";
inline constexpr char kCloseToken[] = "et_CloseToken";

inline constexpr std::int32_t kFirstKey = 1;
inline constexpr std::int32_t kUserPin = 0;
inline constexpr std::int32_t kSecretKeyNumber = 1;
inline constexpr std::size_t kDigestBufferBytes = 513;
inline constexpr std::size_t kDigestBytes = 16;

}  // namespace orvo::et99
