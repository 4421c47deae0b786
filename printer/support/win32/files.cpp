#include "support/win32/files.h"

#include <windows.h>

#include <algorithm>
#include <vector>

#include "support/portable/md5.h"
#include "support/win32/unique.h"
#include "support/win32/win_error.h"
#include "support/win32/win_text.h"

namespace orvo {
namespace {

// WriteFile takes 32-bit counts; large files go in pieces.
constexpr size_t kWriteChunkBytes = 1 << 20;
constexpr DWORD kHashChunkBytes = 256 * 1024;

}  // namespace

std::string tempFolder() {
    wchar_t folder[MAX_PATH + 1] = {};
    const DWORD length = ::GetTempPathW(MAX_PATH + 1, folder);
    throwLastErrorIf(length == 0, "GetTempPath");
    if (length > MAX_PATH) throw Win32Error(ERROR_BUFFER_OVERFLOW, "GetTempPath");
    return wideToGbk(std::wstring_view(folder, length));
}

void writeWholeFile(const std::string& gbkPath, std::span<const std::uint8_t> bytes) {
    const std::wstring path = gbkToWide(gbkPath);
    UniqueFile file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    throwLastErrorIf(!file, gbkPath);
    const std::uint8_t* data = bytes.data();
    size_t left = bytes.size();
    while (left > 0) {
        const DWORD want = static_cast<DWORD>(std::min(left, kWriteChunkBytes));
        DWORD written = 0;
        if (!::WriteFile(file.get(), data, want, &written, nullptr) || written != want) {
            const DWORD code = ::GetLastError();
            file.reset();
            ::DeleteFileW(path.c_str());
            throw Win32Error(code ? code : ERROR_WRITE_FAULT, gbkPath);
        }
        data += written;
        left -= written;
    }
}

bool isSharingViolation(DWORD error) noexcept {
    return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION;
}

bool IsFileInUse(const std::string& path) {
    const std::wstring wide = gbkToWide(path);
    if (::GetFileAttributesW(wide.c_str()) == INVALID_FILE_ATTRIBUTES) return false;
    UniqueFile exclusive(
        ::CreateFileW(wide.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    // Only another program's handle makes the file busy; a read-only file
    // that nobody holds can still be read and sent.
    return !exclusive && isSharingViolation(::GetLastError());
}

std::string FileMD5(HANDLE file) {
    LARGE_INTEGER start{};
    throwLastErrorIf(!::SetFilePointerEx(file, start, nullptr, FILE_BEGIN), "SetFilePointerEx");
    Md5 md5;
    std::vector<char> chunk(kHashChunkBytes);
    for (;;) {
        DWORD got = 0;
        throwLastErrorIf(!::ReadFile(file, chunk.data(), kHashChunkBytes, &got, nullptr), "ReadFile");
        if (got == 0) break;
        md5.update(chunk.data(), got);
    }
    return md5.hexDigest();
}

}  // namespace orvo
