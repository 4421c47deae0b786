// fake_office_docgen: writes sample documents the Office substitute reads.
//
//   fake_office_docgen.exe OUTPUT [--name NAME] [--text TEXT] [--foreign | --broken]
//
// OUTPUT ending in .doc or .xls: structured storage of Word.Document.8 or
// Excel.Sheet.8; .docx or .xlsx: the plain form of Word.Document.12 or
// Excel.Sheet.12. --foreign writes a compound document of the packager's
// class (any extension) for the hostile-document tests; --broken one the
// application cannot read. NAME is the name the document was saved under
// (default: the file's name); TEXT its body.
#include <windows.h>
#include <objbase.h>
#include <cstdio>
#include <exception>
#include <string>
#include "sample_documents.h"

int wmain(int argc, wchar_t** argv) {
    std::wstring output, name, text;
    orvo::fake::SampleKind kind = orvo::fake::SampleKind::Document;
    for (int i = 1; i < argc; ++i) {
        std::wstring arg = argv[i];
        if (arg == L"--name" && i + 1 < argc) name = argv[++i];
        else if (arg == L"--text" && i + 1 < argc) text = argv[++i];
        else if (arg == L"--foreign") kind = orvo::fake::SampleKind::Foreign;
        else if (arg == L"--broken") kind = orvo::fake::SampleKind::Broken;
        else if (output.empty() && arg.rfind(L"--", 0) != 0) output = arg;
        else {
            fwprintf(stderr, L"unexpected argument: %ls\n", arg.c_str());
            return 2;
        }
    }
    if (output.empty()) {
        fwprintf(stderr, L"usage: fake_office_docgen OUTPUT [--name NAME] [--text TEXT] [--foreign | --broken]\n");
        return 2;
    }
    HRESULT hr = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    int status = 0;
    try {
        orvo::fake::writeSample(output, kind, name, text);
    } catch (const std::exception& e) {
        fprintf(stderr, "%s\n", e.what());
        status = 1;
    }
    if (SUCCEEDED(hr)) ::CoUninitialize();
    return status;
}
