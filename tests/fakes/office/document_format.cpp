#include "document_format.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <system_error>
#include "class_ids.h"
#include "genuine_documents.h"
#include "support/win32/com_ptr.h"
#include "support/win32/unique.h"
#include "support/win32/win_text.h"
#include "zip_package.h"

namespace orvo::fake {
namespace {

constexpr std::string_view kMagic = "ORVO-FAKE-OFFICE 1";
constexpr size_t kMaxContent = 64u << 20;

std::string_view nextLine(std::string_view& rest) {
    size_t end = rest.find('\n');
    std::string_view line = rest.substr(0, end);
    rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    return line;
}

bool startsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

long long parseInteger(std::string_view text, int base = 10) {
    std::string s(text);
    char* end = nullptr;
    errno = 0;
    long long v = std::strtoll(s.c_str(), &end, base);
    if (s.empty() || *end || errno) throw FormatError("bad number: " + s);
    return v;
}

Picture parsePicture(std::string_view fields) {
    Picture p;
    bool first = true;
    while (!fields.empty()) {
        size_t space = fields.find(' ');
        std::string_view word = fields.substr(0, space);
        fields = space == std::string_view::npos ? std::string_view() : fields.substr(space + 1);
        if (word.empty()) continue;
        if (first) {
            if (word == "inline") p.floating = false;
            else if (word == "floating") p.floating = true;
            else throw FormatError("bad picture kind");
            first = false;
            continue;
        }
        size_t eq = word.find('=');
        if (eq == std::string_view::npos) throw FormatError("bad picture field");
        std::string_view key = word.substr(0, eq), value = word.substr(eq + 1);
        if (key == "w") p.widthPx = static_cast<int>(parseInteger(value));
        else if (key == "h") p.heightPx = static_cast<int>(parseInteger(value));
        else if (key == "hash") p.hash = static_cast<uint64_t>(std::strtoull(std::string(value).c_str(), nullptr, 16));
        else if (key == "transparent") p.transparentBackground = parseInteger(value) != 0;
        else if (key == "color") p.transparencyColor = static_cast<int32_t>(parseInteger(value));
        else if (key == "fill") p.fillVisible = parseInteger(value) != 0;
        else if (key == "wrap") p.wrapType = static_cast<int>(parseInteger(value));
        else if (key == "zorder") p.zOrder = static_cast<int>(parseInteger(value));
    }
    if (first) throw FormatError("empty picture line");
    return p;
}

[[noreturn]] void throwWin32(DWORD code, const std::wstring& path) {
    throw std::system_error(static_cast<int>(code), std::system_category(), wideToUtf8(path));
}

std::wstring extensionOf(std::wstring_view name) {
    size_t slash = name.find_last_of(L"\\/");
    size_t dot = name.rfind(L'.');
    if (dot == std::wstring_view::npos || (slash != std::wstring_view::npos && dot < slash)) return {};
    std::wstring ext(name.substr(dot));
    for (auto& c : ext) c = static_cast<wchar_t>(towlower(c));
    return ext;
}

bool hasMagic(std::string_view bytes) {
    if (bytes.size() >= 3 && bytes.compare(0, 3, "\xEF\xBB\xBF") == 0) bytes.remove_prefix(3);
    return bytes.substr(0, kMagic.size()) == kMagic && (bytes.size() == kMagic.size() || bytes[kMagic.size()] == '\n' ||
                                                         bytes[kMagic.size()] == '\r');
}

// The substitute's own content stream, else a document a real office suite
// wrote (genuine set). Keeping a genuine compound file is left to the caller.
HRESULT readContent(IStorage* storage, Suite suite, DocumentContent& content, bool& genuine) {
    std::string bytes;
    HRESULT hr = readStreamBytes(storage, contentStreamName(suite), bytes);
    genuine = FAILED(hr) || !hasMagic(bytes);
    if (genuine) return readGenuineStorage(storage, suite, content);
    try {
        DocumentContent parsed = parse(bytes);
        if (parsed.suite != suite) return STG_E_DOCFILECORRUPT;
        content = std::move(parsed);
    } catch (const FormatError&) {
        return STG_E_DOCFILECORRUPT;
    }
    return S_OK;
}

void writeWholeFile(const std::wstring& path, const std::string& bytes) {
    UniqueFile file(::CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) throwWin32(::GetLastError(), path);
    DWORD written = 0;
    if (!::WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) ||
        written != bytes.size())
        throwWin32(::GetLastError(), path);
}

}  // namespace

std::string serialize(const DocumentContent& c) {
    std::string out(kMagic);
    out += "\nkind: ";
    out += c.suite == Suite::Word ? "word" : "excel";
    out += "\nname: " + wideToUtf8(c.name);
    out += "\ntrack-revisions: ";
    out += c.trackRevisions ? "1" : "0";
    out += "\nprotection: " + std::to_string(c.protection);
    for (const auto& p : c.pictures) {
        char line[256];
        std::snprintf(line, sizeof line,
                      "\npicture: %s w=%d h=%d hash=%016llX transparent=%d color=%ld fill=%d wrap=%d zorder=%d",
                      p.floating ? "floating" : "inline", p.widthPx, p.heightPx,
                      static_cast<unsigned long long>(p.hash), p.transparentBackground ? 1 : 0,
                      static_cast<long>(p.transparencyColor), p.fillVisible ? 1 : 0, p.wrapType, p.zOrder);
        out += line;
    }
    out += "\ntext:\n";
    out += wideToUtf8(c.text);
    return out;
}

DocumentContent parse(std::string_view bytes) {
    if (bytes.size() > kMaxContent) throw FormatError("document too large");
    if (bytes.size() >= 3 && static_cast<unsigned char>(bytes[0]) == 0xEF &&
        static_cast<unsigned char>(bytes[1]) == 0xBB && static_cast<unsigned char>(bytes[2]) == 0xBF)
        bytes.remove_prefix(3);
    std::string_view rest = bytes;
    if (nextLine(rest) != kMagic) throw FormatError("not a document of this kind");
    DocumentContent c;
    bool sawText = false;
    while (!rest.empty() || !sawText) {
        if (rest.empty()) throw FormatError("document has no text section");
        std::string_view line = nextLine(rest);
        if (line == "text:") {
            sawText = true;
            break;
        }
        if (startsWith(line, "kind: ")) {
            std::string_view v = line.substr(6);
            if (v == "word") c.suite = Suite::Word;
            else if (v == "excel") c.suite = Suite::Excel;
            else throw FormatError("unknown document kind");
        } else if (startsWith(line, "name: ")) {
            c.name = utf8ToWide(line.substr(6));
        } else if (startsWith(line, "track-revisions: ")) {
            c.trackRevisions = parseInteger(line.substr(17)) != 0;
        } else if (startsWith(line, "protection: ")) {
            c.protection = static_cast<int>(parseInteger(line.substr(12)));
        } else if (startsWith(line, "picture: ")) {
            if (c.pictures.size() >= 10000) throw FormatError("too many pictures");
            c.pictures.push_back(parsePicture(line.substr(9)));
        }
        // Unknown keys are skipped, so older readers take newer files.
    }
    c.text = utf8ToWide(rest);
    size_t marks = 0;
    for (wchar_t ch : c.text)
        if (ch == kPictureMark) ++marks;
    size_t inlineCount = 0;
    for (auto& p : c.pictures)
        if (!p.floating) ++inlineCount;
    if (marks != inlineCount) throw FormatError("inline pictures do not match their marks");
    uint32_t id = 1;
    for (auto& p : c.pictures) p.id = id++;
    return c;
}

const wchar_t* contentStreamName(Suite suite) { return suite == Suite::Word ? L"WordDocument" : L"Workbook"; }

bool suiteOfClass(const CLSID& clsid, Suite& suite) {
    if (clsid == kClsidWordDocument8 || clsid == kClsidWordDocument12 || clsid == kClsidWordDocument6 ||
        clsid == kClsidWpsDocument8 || clsid == kClsidWpsDocument9 || clsid == kClsidWpsDocument12)
        suite = Suite::Word;
    else if (clsid == kClsidExcelSheet8 || clsid == kClsidExcelSheet12 || clsid == kClsidExcelSheet5 ||
             clsid == kClsidWpsSheet12 || clsid == kClsidWpsWorkbook9)
        suite = Suite::Excel;
    else
        return false;
    return true;
}

bool classForFileName(std::wstring_view fileName, CLSID& clsid, Suite& suite) {
    std::wstring ext = extensionOf(fileName);
    if (ext == L".doc") clsid = kClsidWordDocument8, suite = Suite::Word;
    else if (ext == L".docx") clsid = kClsidWordDocument12, suite = Suite::Word;
    else if (ext == L".xls") clsid = kClsidExcelSheet8, suite = Suite::Excel;
    else if (ext == L".xlsx") clsid = kClsidExcelSheet12, suite = Suite::Excel;
    else return false;
    return true;
}

bool isCompoundFileName(std::wstring_view fileName) {
    std::wstring ext = extensionOf(fileName);
    return ext == L".doc" || ext == L".xls";
}

std::wstring baseName(std::wstring_view path) {
    size_t slash = path.find_last_of(L"\\/");
    return std::wstring(slash == std::wstring_view::npos ? path : path.substr(slash + 1));
}

HRESULT readStreamBytes(IStorage* storage, const wchar_t* name, std::string& bytes) {
    ComPtr<IStream> stream;
    HRESULT hr = storage->OpenStream(name, nullptr, STGM_READ | STGM_SHARE_EXCLUSIVE, 0, stream.put());
    if (FAILED(hr)) return hr;
    STATSTG stat{};
    hr = stream->Stat(&stat, STATFLAG_NONAME);
    if (FAILED(hr)) return hr;
    if (stat.cbSize.QuadPart > kMaxContent) return STG_E_DOCFILECORRUPT;
    bytes.assign(static_cast<size_t>(stat.cbSize.QuadPart), '\0');
    ULONG read = 0;
    hr = stream->Read(bytes.data(), static_cast<ULONG>(bytes.size()), &read);
    if (FAILED(hr)) return hr;
    bytes.resize(read);
    return S_OK;
}

HRESULT writeStorage(IStorage* storage, const CLSID& clsid, const DocumentContent& content) {
    if (!storage) return E_POINTER;
    if (content.original) {
        HRESULT hr = writeGenuineStorage(storage, *content.original);
        return FAILED(hr) ? hr : ::WriteClassStg(storage, clsid);
    }
    HRESULT hr = ::WriteClassStg(storage, clsid);
    if (FAILED(hr)) return hr;
    ComPtr<IStream> stream;
    hr = storage->CreateStream(contentStreamName(content.suite), STGM_CREATE | STGM_WRITE | STGM_SHARE_EXCLUSIVE, 0, 0,
                               stream.put());
    if (FAILED(hr)) return hr;
    std::string bytes = serialize(content);
    ULARGE_INTEGER size;
    size.QuadPart = bytes.size();
    stream->SetSize(size);
    ULONG written = 0;
    hr = stream->Write(bytes.data(), static_cast<ULONG>(bytes.size()), &written);
    if (FAILED(hr)) return hr;
    if (written != bytes.size()) return STG_E_MEDIUMFULL;
    return stream->Commit(STGC_DEFAULT);
}

HRESULT readStorage(IStorage* storage, DocumentContent& content) {
    if (!storage) return E_POINTER;
    STATSTG stat{};
    HRESULT hr = storage->Stat(&stat, STATFLAG_NONAME);
    if (FAILED(hr)) return hr;
    Suite suite = Suite::Word;
    suiteOfClass(stat.clsid, suite);
    DocumentContent read;
    bool genuine = false;
    hr = readContent(storage, suite, read, genuine);
    if (FAILED(hr)) return hr;
    if (genuine && !read.original) {
        auto original = std::make_shared<OriginalDocument>();
        hr = storageToBytes(storage, original->bytes);
        if (FAILED(hr)) return hr;
        read.original = std::move(original);
    }
    content = std::move(read);
    return S_OK;
}

std::string readWholeFile(const std::wstring& path) {
    UniqueFile file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) throwWin32(::GetLastError(), path);
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(file.get(), &size)) throwWin32(::GetLastError(), path);
    if (size.QuadPart > static_cast<LONGLONG>(kMaxContent)) throw FormatError("document too large");
    std::string bytes(static_cast<size_t>(size.QuadPart), '\0');
    DWORD read = 0;
    if (!bytes.empty() && !::ReadFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr))
        throwWin32(::GetLastError(), path);
    bytes.resize(read);
    return bytes;
}

void writeDocumentFile(const std::wstring& path, const CLSID& clsid, const DocumentContent& content) {
    const std::wstring ext = extensionOf(path);
    const bool compoundName = ext == L".doc" || ext == L".xls";
    const bool packageName = ext == L".docx" || ext == L".xlsx";
    if (content.original && (content.original->package ? !compoundName : !packageName)) {
        writeWholeFile(path, content.original->bytes);
        return;
    }
    if (compoundName) {
        ComPtr<IStorage> storage;
        HRESULT hr = ::StgCreateDocfile(path.c_str(), STGM_CREATE | STGM_READWRITE | STGM_SHARE_EXCLUSIVE, 0,
                                        storage.put());
        DocumentContent own = content;
        own.original.reset();
        if (SUCCEEDED(hr)) hr = writeStorage(storage.get(), clsid, own);
        if (SUCCEEDED(hr)) hr = storage->Commit(STGC_DEFAULT);
        if (FAILED(hr)) throwWin32(static_cast<DWORD>(hr), path);
        return;
    }
    writeWholeFile(path, serialize(content));
}

DocumentContent readDocumentFile(const std::wstring& path, Suite expected) {
    const std::string bytes = readWholeFile(path);
    DocumentContent c;
    if (looksLikeCompoundFile(bytes)) {
        ComPtr<IStorage> storage;
        HRESULT hr = storageFromBytes(bytes, storage);
        if (FAILED(hr)) throwWin32(static_cast<DWORD>(hr), path);
        // The class decides the application; a file without a known one is
        // read as the application that opens it would.
        STATSTG stat{};
        Suite suite = expected;
        if (SUCCEEDED(storage->Stat(&stat, STATFLAG_NONAME))) suiteOfClass(stat.clsid, suite);
        if (suite != expected) throw FormatError("document belongs to the other application");
        bool genuine = false;
        hr = readContent(storage.get(), suite, c, genuine);
        if (hr == STG_E_DOCFILECORRUPT || hr == STG_E_FILENOTFOUND) throw FormatError("not a document of this kind");
        if (FAILED(hr)) throwWin32(static_cast<DWORD>(hr), path);
        // A genuine one is kept exactly as the file holds it.
        if (genuine && !c.original) c.original = std::make_shared<OriginalDocument>(OriginalDocument{false, bytes});
    } else if (looksLikeZip(bytes)) {
        c = readGenuinePackage(bytes, expected);
    } else {
        c = parse(bytes);
    }
    if (c.suite != expected) throw FormatError("document belongs to the other application");
    return c;
}

}  // namespace orvo::fake
