// fake_office_docgen: writes sample documents the Office substitute reads.
//
//   fake_office_docgen.exe OUTPUT [--name NAME] [--text TEXT] [--foreign | --broken] [--pad BYTES]
//
// OUTPUT ending in .doc or .xls: structured storage of Word.Document.8 or
// Excel.Sheet.8; .docx or .xlsx: the plain form of Word.Document.12 or
// Excel.Sheet.12. --foreign writes a compound document of the packager's
// class (any extension) for the hostile-document tests; --broken one the
// application cannot read. NAME is the name the document was saved under
// (default: the file's name); TEXT its body. --pad adds a stream of BYTES
// bytes to a compound document that the application never reads, as the
// pictures of a large report would: a big report whose content stays small.
#include <windows.h>
#include <objbase.h>
#include <cstdio>
#include <cwchar>
#include <exception>
#include <string>
#include "sample_documents.h"
#include "support/win32/com_ptr.h"

namespace {

// A stream of size bytes beside the content, written in pieces.
HRESULT addPadding(const std::wstring& path, unsigned long long size) {
    orvo::ComPtr<IStorage> storage;
    HRESULT hr = ::StgOpenStorage(path.c_str(), nullptr, STGM_READWRITE | STGM_SHARE_EXCLUSIVE, nullptr, 0, storage.put());
    if (FAILED(hr)) return hr;
    orvo::ComPtr<IStream> stream;
    hr = storage->CreateStream(L"Data", STGM_CREATE | STGM_WRITE | STGM_SHARE_EXCLUSIVE, 0, 0, stream.put());
    if (FAILED(hr)) return hr;
    std::string chunk(1 << 20, '\0');
    for (size_t i = 0; i < chunk.size(); ++i) chunk[i] = static_cast<char>((i * 2654435761u) >> 13);
    while (size > 0 && SUCCEEDED(hr)) {
        const ULONG n = static_cast<ULONG>(size < chunk.size() ? size : chunk.size());
        ULONG written = 0;
        hr = stream->Write(chunk.data(), n, &written);
        size -= n;
    }
    if (SUCCEEDED(hr)) hr = storage->Commit(STGC_DEFAULT);
    return hr;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    std::wstring output, name, text;
    unsigned long long pad = 0;
    orvo::fake::SampleKind kind = orvo::fake::SampleKind::Document;
    for (int i = 1; i < argc; ++i) {
        std::wstring arg = argv[i];
        if (arg == L"--name" && i + 1 < argc) name = argv[++i];
        else if (arg == L"--text" && i + 1 < argc) text = argv[++i];
        else if (arg == L"--foreign") kind = orvo::fake::SampleKind::Foreign;
        else if (arg == L"--broken") kind = orvo::fake::SampleKind::Broken;
        else if (arg == L"--pad" && i + 1 < argc) pad = std::wcstoull(argv[++i], nullptr, 10);
        else if (output.empty() && arg.rfind(L"--", 0) != 0) output = arg;
        else {
            fwprintf(stderr, L"unexpected argument: %ls\n", arg.c_str());
            return 2;
        }
    }
    if (output.empty()) {
        fwprintf(stderr, L"usage: fake_office_docgen OUTPUT [--name NAME] [--text TEXT] [--foreign | --broken] [--pad BYTES]\n");
        return 2;
    }
    HRESULT hr = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    int status = 0;
    try {
        orvo::fake::writeSample(output, kind, name, text);
        if (pad > 0) {
            HRESULT padded = addPadding(output, pad);
            if (FAILED(padded)) {
                fprintf(stderr, "cannot pad the document (0x%08lX)\n", static_cast<unsigned long>(padded));
                status = 1;
            }
        }
    } catch (const std::exception& e) {
        fprintf(stderr, "%s\n", e.what());
        status = 1;
    }
    if (SUCCEEDED(hr)) ::CoUninitialize();
    return status;
}
