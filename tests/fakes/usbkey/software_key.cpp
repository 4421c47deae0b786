// The software key: FT_ET99_API.dll for the tests, never shipped. It keeps
// the contract the program relies on, with one key whose product id, PIN and
// secret come from the environment, and journals every call.
//
//   ORVO_USBKEY_PID      product id of the one key present (none when unset)
//   ORVO_USBKEY_PIN      its PIN
//   ORVO_USBKEY_SECRET   its secret key number 1 (text; HMAC-MD5 key bytes)
//   ORVO_USBKEY_FAIL     OPERATION=HEXSTATUS: that operation fails with that
//                        status, e.g. et_Verify=F0000005
//   ORVO_USBKEY_JOURNAL  file that gets one JSON object per line and call;
//                        a Unix path is taken as Wine's Z: drive
//
// Texts are compared and hashed as code page 936 bytes, as the program
// passes them.
#include <windows.h>

#include <gcrypt.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "usbkey/et99_api.h"

using orvo::et99::Status;
using orvo::et99::TokenHandle;

namespace {

// The key's own status codes.
constexpr Status kNoKey = 0xF0000002;
constexpr Status kBadHandle = 0xF0000003;
constexpr Status kBadArgument = 0xF0000004;
constexpr Status kPinRejected = 0xF0000005;
constexpr Status kNotVerified = 0xF0000006;
constexpr Status kCryptoFailed = 0xF0000007;

std::string environment(const wchar_t* name) {
    wchar_t value[4096];
    const DWORD n = ::GetEnvironmentVariableW(name, value, ARRAYSIZE(value));
    if (n == 0 || n >= ARRAYSIZE(value)) return {};
    const int size = ::WideCharToMultiByte(936, 0, value, static_cast<int>(n), nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<size_t>(size), '\0');
    ::WideCharToMultiByte(936, 0, value, static_cast<int>(n), bytes.data(), size, nullptr, nullptr);
    return bytes;
}

bool isSet(const wchar_t* name) { return ::GetEnvironmentVariableW(name, nullptr, 0) != 0; }

// ---- The journal

// Bytes as a JSON string; bytes above 0x7F as \u00XX, so a reader gets them
// back with .encode("latin-1").
std::string json(const std::string& bytes) {
    std::string out = "\"";
    for (unsigned char c : bytes) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20 || c >= 0x7F) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", c);
            out += escape;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}

std::string json(unsigned long long number) { return std::to_string(number); }

std::string field(const char* name, const std::string& jsonValue) { return ",\"" + std::string(name) + "\":" + jsonValue; }

void journal(const char* call, const std::string& fields) {
    std::string path = environment(L"ORVO_USBKEY_JOURNAL");
    if (path.empty()) return;
    if (path[0] == '/') {
        for (char& c : path)
            if (c == '/') c = '\\';
        path = "Z:" + path;
    }
    const std::string line = "{\"call\":\"" + std::string(call) + "\"" + fields + "}\n";
    HANDLE file = ::CreateFileA(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    ::WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    ::CloseHandle(file);
}

// The status a test asked this operation to fail with, or 0.
Status forcedFailure(const char* operation) {
    const std::string setting = environment(L"ORVO_USBKEY_FAIL");
    const std::string prefix = std::string(operation) + "=";
    if (setting.compare(0, prefix.size(), prefix) != 0) return 0;
    return static_cast<Status>(std::strtoul(setting.c_str() + prefix.size(), nullptr, 16));
}

bool keyPresent(const char* productId) {
    return isSet(L"ORVO_USBKEY_PID") && productId && environment(L"ORVO_USBKEY_PID") == productId;
}

// ---- The one key

struct Token {
    bool open = false;
    bool verified = false;
};
Token g_token;

TokenHandle handleOf(Token& token) { return &token; }
Token* tokenOf(TokenHandle handle) { return handle == &g_token && g_token.open ? &g_token : nullptr; }

std::string handleText(TokenHandle handle) {
    char text[32];
    std::snprintf(text, sizeof text, "\"%p\"", handle);
    return text;
}

bool gcryptReady() {
    static const bool ready = [] {
        if (!gcry_check_version(GCRYPT_VERSION)) return false;
        gcry_control(GCRYCTL_DISABLE_SECMEM, 0);
        gcry_control(GCRYCTL_INITIALIZATION_FINISHED, 0);
        return true;
    }();
    return ready;
}

Status hmacMd5(const std::string& secret, const unsigned char* text, size_t length, unsigned char* digest) {
    if (!gcryptReady()) return kCryptoFailed;
    gcry_md_hd_t hd = nullptr;
    if (gcry_md_open(&hd, GCRY_MD_MD5, GCRY_MD_FLAG_HMAC)) return kCryptoFailed;
    Status status = kCryptoFailed;
    if (!gcry_md_setkey(hd, secret.data(), secret.size())) {
        gcry_md_write(hd, text, length);
        std::memcpy(digest, gcry_md_read(hd, GCRY_MD_MD5), orvo::et99::kDigestBytes);
        status = 0;
    }
    gcry_md_close(hd);
    return status;
}

}  // namespace

extern "C" {

Status WINAPI et_FindToken(const char* productId, std::int32_t* count) {
    Status status = forcedFailure("et_FindToken");
    const std::int32_t found = keyPresent(productId) ? 1 : 0;
    if (!status && !count) status = kBadArgument;
    if (!status && !found) status = kNoKey;
    if (count) *count = status ? 0 : found;
    journal("et_FindToken", field("pid", json(productId ? productId : "")) + field("status", json(status)));
    return status;
}

Status WINAPI et_OpenToken(TokenHandle* token, const char* productId, std::int32_t index) {
    Status status = forcedFailure("et_OpenToken");
    if (!status && !token) status = kBadArgument;
    if (!status && (!keyPresent(productId) || index != 1)) status = kNoKey;
    if (!status) {
        g_token = Token{true, false};
        *token = handleOf(g_token);
    }
    journal("et_OpenToken", field("pid", json(productId ? productId : "")) + field("index", json(index)) +
                                field("status", json(status)) + field("handle", handleText(token ? *token : nullptr)));
    return status;
}

Status WINAPI et_Verify(TokenHandle handle, std::int32_t flags, const char* pin) {
    Token* token = tokenOf(handle);
    Status status = forcedFailure("et_Verify");
    if (!status && !token) status = kBadHandle;
    if (!status && (!pin || environment(L"ORVO_USBKEY_PIN") != pin)) status = kPinRejected;
    if (token) token->verified = status == 0;
    journal("et_Verify", field("handle", handleText(handle)) + field("flags", json(flags)) +
                             field("pin", json(pin ? pin : "")) + field("status", json(status)));
    return status;
}

Status WINAPI et_HMAC_MD5(TokenHandle handle, std::int32_t keyNumber, std::int32_t textLength,
                          const unsigned char* text, unsigned char* digest) {
    Token* token = tokenOf(handle);
    Status status = forcedFailure("et_HMAC_MD5");
    if (!status && !token) status = kBadHandle;
    if (!status && !token->verified) status = kNotVerified;
    if (!status && (keyNumber != 1 || textLength < 0 || (!text && textLength) || !digest)) status = kBadArgument;
    if (!status) status = hmacMd5(environment(L"ORVO_USBKEY_SECRET"), text, static_cast<size_t>(textLength), digest);
    const std::string textBytes = text && textLength > 0 ? std::string(reinterpret_cast<const char*>(text), textLength)
                                                         : std::string();
    journal("et_HMAC_MD5", field("handle", handleText(handle)) + field("key", json(keyNumber)) +
                               field("length", json(textLength)) + field("text", json(textBytes)) +
                               field("status", json(status)));
    return status;
}

Status WINAPI et_CloseToken(TokenHandle handle) {
    Token* token = tokenOf(handle);
    const Status status = token ? 0 : kBadHandle;
    if (token) *token = Token{};
    journal("et_CloseToken", field("handle", handleText(handle)) + field("status", json(status)));
    return status;
}

}  // extern "C"

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    if (reason == DLL_PROCESS_ATTACH) {
        char path[MAX_PATH * 2] = {};
        ::GetModuleFileNameA(instance, path, sizeof path);
        journal("load", field("path", json(path)));
    } else if (reason == DLL_PROCESS_DETACH) {
        // reserved is null when the library is freed, set when the process ends.
        journal("unload", field("by", json(reserved ? "process-exit" : "FreeLibrary")));
    }
    return TRUE;
}
