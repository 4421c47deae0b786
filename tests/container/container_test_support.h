#pragma once
// Shared pieces of the container tests: a window to hold containers, sample
// compound documents built in memory, files in the temporary folder.
#include <windows.h>
#include <ole2.h>

#include <cstring>
#include <string>
#include <string_view>

#include "support/win32/com_ptr.h"
#include "support/win32/unique.h"
#include "support/ui/window.h"

namespace orvo::test {

class HostWindow : public Window {
public:
    HostWindow() {
        ClassParams cls{L"OrvoContainerTestHost"};
        cls.background = ::GetSysColorBrush(COLOR_BTNFACE);
        CreateParams params;
        params.style = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;
        params.title = L"container test";
        params.x = params.y = 40;
        params.width = 480;
        params.height = 360;
        create(cls, params);
    }
};

// The bytes of a compound document of the given class with one stream,
// "Contents", holding text.
inline std::string compoundDocument(const CLSID& clsid, std::string_view text) {
    ComPtr<ILockBytes> bytes;
    if (FAILED(::CreateILockBytesOnHGlobal(nullptr, TRUE, bytes.put()))) return {};
    {
        ComPtr<IStorage> storage;
        if (FAILED(::StgCreateDocfileOnILockBytes(bytes.get(), STGM_CREATE | STGM_READWRITE | STGM_SHARE_EXCLUSIVE, 0,
                                                  storage.put())))
            return {};
        ::WriteClassStg(storage.get(), clsid);
        ComPtr<IStream> stream;
        if (FAILED(storage->CreateStream(L"Contents", STGM_CREATE | STGM_READWRITE | STGM_SHARE_EXCLUSIVE, 0, 0,
                                         stream.put())))
            return {};
        stream->Write(text.data(), static_cast<ULONG>(text.size()), nullptr);
        storage->Commit(STGC_DEFAULT);
    }
    STATSTG stat{};
    HGLOBAL memory = nullptr;
    if (FAILED(bytes->Stat(&stat, STATFLAG_NONAME)) || FAILED(::GetHGlobalFromILockBytes(bytes.get(), &memory)))
        return {};
    std::string result(static_cast<size_t>(stat.cbSize.QuadPart), '\0');
    if (const void* data = ::GlobalLock(memory)) {
        std::memcpy(result.data(), data, result.size());
        ::GlobalUnlock(memory);
    }
    return result;
}

// Opens document bytes as OLE would: storage on a copy in global memory.
inline ComPtr<IStorage> storageOf(std::string_view bytes) {
    ComPtr<ILockBytes> memory;
    ComPtr<IStorage> storage;
    if (FAILED(::CreateILockBytesOnHGlobal(nullptr, TRUE, memory.put()))) return storage;
    ULARGE_INTEGER at{};
    memory->WriteAt(at, bytes.data(), static_cast<ULONG>(bytes.size()), nullptr);
    ::StgOpenStorageOnILockBytes(memory.get(), nullptr, STGM_READWRITE | STGM_SHARE_EXCLUSIVE, nullptr, 0,
                                 storage.put());
    return storage;
}

inline std::wstring tempPath(const std::wstring& name) {
    wchar_t folder[MAX_PATH + 1] = {};
    ::GetTempPathW(MAX_PATH, folder);
    return std::wstring(folder) + name;
}

inline bool writeFile(const std::wstring& path, std::string_view bytes) {
    UniqueFile file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    return file && ::WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
           written == bytes.size();
}

inline std::string readFile(const std::wstring& path) {
    UniqueFile file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    if (!file) return {};
    std::string bytes(::GetFileSize(file.get(), nullptr), '\0');
    DWORD got = 0;
    ::ReadFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr);
    bytes.resize(got);
    return bytes;
}

inline bool fileExists(const std::wstring& path) { return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// The class a compound file on disk carries; CLSID_NULL when it is none.
inline CLSID classOfFile(const std::wstring& path) {
    CLSID clsid = CLSID_NULL;
    ComPtr<IStorage> storage;
    if (SUCCEEDED(::StgOpenStorage(path.c_str(), nullptr, STGM_READ | STGM_SHARE_EXCLUSIVE, nullptr, 0, storage.put())))
        ::ReadClassStg(storage.get(), &clsid);
    return clsid;
}

inline std::string guidText(const GUID& guid) {
    wchar_t text[64] = {};
    ::StringFromGUID2(guid, text, 64);
    return std::string(text, text + ::wcslen(text));
}

}  // namespace orvo::test
