#include "sample_documents.h"

#include <stdexcept>
#include "class_ids.h"
#include "document_format.h"
#include "support/win32/com_ptr.h"
#include "support/win32/unique.h"
#include "support/win32/win_text.h"

namespace orvo::fake {
namespace {

[[noreturn]] void fail(const std::wstring& what, HRESULT hr) {
    char code[16];
    snprintf(code, sizeof code, "0x%08lX", static_cast<unsigned long>(hr));
    throw std::runtime_error(wideToUtf8(what) + " (" + code + ")");
}

void writeStream(IStorage* storage, const wchar_t* name, const std::string& bytes) {
    ComPtr<IStream> stream;
    HRESULT hr = storage->CreateStream(name, STGM_CREATE | STGM_WRITE | STGM_SHARE_EXCLUSIVE, 0, 0, stream.put());
    ULONG written = 0;
    if (SUCCEEDED(hr)) hr = stream->Write(bytes.data(), static_cast<ULONG>(bytes.size()), &written);
    if (FAILED(hr)) fail(L"cannot write a stream", hr);
}

ComPtr<IStorage> newStorage(const std::wstring& path, const CLSID& clsid) {
    ComPtr<IStorage> storage;
    HRESULT hr = ::StgCreateDocfile(path.c_str(), STGM_CREATE | STGM_READWRITE | STGM_SHARE_EXCLUSIVE, 0, storage.put());
    if (FAILED(hr)) fail(L"cannot create " + path, hr);
    hr = ::WriteClassStg(storage.get(), clsid);
    if (FAILED(hr)) fail(L"cannot set the class of " + path, hr);
    return storage;
}

}  // namespace

void writeSample(const std::wstring& path, SampleKind kind, const std::wstring& name, const std::wstring& text) {
    if (kind == SampleKind::Foreign) {
        // What a packaged file looks like: the packager's class and its
        // native-data stream (length, then the payload).
        auto storage = newStorage(path, kClsidPackage);
        static const char raw[] = "payload.cmd\0C:\\payload.cmd\0echo hostile\r\n";
        std::string payload(raw, sizeof raw - 1);
        std::string native(4, '\0');
        uint32_t size = static_cast<uint32_t>(payload.size());
        memcpy(native.data(), &size, 4);
        writeStream(storage.get(), L"\001Ole10Native", native + payload);
        HRESULT hr = storage->Commit(STGC_DEFAULT);
        if (FAILED(hr)) fail(L"cannot commit " + path, hr);
        return;
    }
    CLSID clsid;
    Suite suite;
    if (!classForFileName(path, clsid, suite))
        throw std::runtime_error("the file name must end in .doc, .docx, .xls or .xlsx: " + wideToUtf8(path));
    if (kind == SampleKind::Broken) {
        if (isCompoundFileName(path)) {
            auto storage = newStorage(path, clsid);
            writeStream(storage.get(), L"Garbage", "not the content stream");
            HRESULT hr = storage->Commit(STGC_DEFAULT);
            if (FAILED(hr)) fail(L"cannot commit " + path, hr);
        } else {
            UniqueFile file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
            if (!file) fail(L"cannot create " + path, HRESULT_FROM_WIN32(::GetLastError()));
            const char garbage[] = "this is not a document\r\n";
            DWORD written = 0;
            ::WriteFile(file.get(), garbage, sizeof garbage - 1, &written, nullptr);
        }
        return;
    }
    DocumentContent content;
    content.suite = suite;
    content.name = name.empty() ? baseName(path) : name;
    content.text = text.empty() ? L"This is " + content.name + L", a sample document for tests.\n" : text;
    try {
        writeDocumentFile(path, clsid, content);
    } catch (const std::exception& e) {
        throw std::runtime_error(std::string("cannot write ") + wideToUtf8(path) + ": " + e.what());
    }
}

}  // namespace orvo::fake
