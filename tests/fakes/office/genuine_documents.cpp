#include "genuine_documents.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include "support/win32/win_text.h"
#include "zip_package.h"

namespace orvo::fake {
namespace {

constexpr size_t kShownChars = 2000;
constexpr char kCompoundSignature[] = "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1";
constexpr wchar_t kPackageStream[] = L"Package";

// Word's file information block: its magic numbers (97-2003, 6.0/95), the
// flag that picks the table stream, the main text's length and where the
// piece table lies in the table stream.
constexpr uint16_t kWord97Magic = 0xA5EC;
constexpr uint16_t kWord6Magic = 0xA5DC;
constexpr size_t kFibFlags = 0x0A;
constexpr uint16_t kFibTable1 = 0x0200;
constexpr size_t kFibMainTextLength = 0x4C;
constexpr size_t kFibClx = 0x1A2;
constexpr size_t kFibClxSize = 0x1A6;
constexpr uint32_t kPieceCompressed = 0x40000000;

// Excel's records: the beginning of a workbook, the shared strings.
constexpr uint16_t kBiffBeginOfFile = 0x0809;
constexpr uint16_t kBiffSharedStrings = 0x00FC;

// A property set: the code page and the title.
constexpr uint32_t kPropertyCodePage = 1;
constexpr uint32_t kPropertyTitle = 2;
constexpr uint16_t kTypeText = 30;       // VT_LPSTR
constexpr uint16_t kTypeWideText = 31;   // VT_LPWSTR
constexpr UINT kCodePageUtf16 = 1200;

bool fits(std::string_view b, size_t at, size_t size) { return at <= b.size() && b.size() - at >= size; }
uint16_t u16(std::string_view b, size_t at) {
    return static_cast<uint16_t>(static_cast<uint8_t>(b[at]) | static_cast<uint8_t>(b[at + 1]) << 8);
}
uint32_t u32(std::string_view b, size_t at) { return u16(b, at) | static_cast<uint32_t>(u16(b, at + 2)) << 16; }

std::wstring fromCodePage(std::string_view bytes, UINT codePage) {
    if (bytes.empty()) return {};
    int n = ::MultiByteToWideChar(codePage, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    if (n <= 0) return {};
    std::wstring out(static_cast<size_t>(n), L'\0');
    ::MultiByteToWideChar(codePage, 0, bytes.data(), static_cast<int>(bytes.size()), out.data(), n);
    return out;
}

std::wstring fromUtf16(std::string_view bytes) {
    std::wstring out(bytes.size() / 2, L'\0');
    for (size_t i = 0; i < out.size(); ++i) out[i] = static_cast<wchar_t>(u16(bytes, 2 * i));
    return out;
}

std::wstring withoutTrailingNul(std::wstring text) {
    size_t nul = text.find(L'\0');
    if (nul != std::wstring::npos) text.resize(nul);
    return text;
}

// Word's special characters become plain text: paragraph and cell ends
// break lines; a field shows its result, not its instruction.
class WordTextCleaner {
public:
    explicit WordTextCleaner(size_t maxChars) : max_(maxChars) {}
    bool full() const { return out_.size() >= max_; }
    void add(wchar_t c) {
        if (full()) return;
        switch (c) {
        case 0x13: ++fieldDepth_, inInstruction_ = true; return;
        case 0x14: inInstruction_ = false; return;
        case 0x15: if (fieldDepth_) --fieldDepth_; inInstruction_ = false; return;
        case L'\r': case 0x0B: case 0x0C: c = L'\n'; break;
        case 0x07: c = L'\t'; break;
        default: break;
        }
        if (inInstruction_ || c == kPictureMark || (c < 0x20 && c != L'\n' && c != L'\t')) return;
        out_ += c;
    }
    std::wstring take() { return std::move(out_); }

private:
    size_t max_;
    std::wstring out_;
    int fieldDepth_ = 0;
    bool inInstruction_ = false;
};

std::wstring trimmed(std::wstring text) {
    size_t end = text.find_last_not_of(L" \t\n");
    text.resize(end == std::wstring::npos ? 0 : end + 1);
    size_t start = text.find_first_not_of(L" \t\n");
    return start == std::wstring::npos ? std::wstring() : text.substr(start);
}

void appendUtf8(std::string& out, uint32_t code) {
    if (code == 0 || code > 0x10FFFF) return;
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | code >> 6);
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | code >> 12);
        out += static_cast<char>(0x80 | (code >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | code >> 18);
        out += static_cast<char>(0x80 | (code >> 12 & 0x3F));
        out += static_cast<char>(0x80 | (code >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

std::string decodeEntities(std::string_view text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        size_t semicolon = text[i] == '&' ? text.find(';', i) : std::string_view::npos;
        if (semicolon == std::string_view::npos || semicolon - i > 10) {
            out += text[i];
            continue;
        }
        std::string_view name = text.substr(i + 1, semicolon - i - 1);
        if (name == "amp") out += '&';
        else if (name == "lt") out += '<';
        else if (name == "gt") out += '>';
        else if (name == "quot") out += '"';
        else if (name == "apos") out += '\'';
        else if (name.size() > 1 && name[0] == '#')
            appendUtf8(out, static_cast<uint32_t>(name[1] == 'x' ? std::strtoul(std::string(name.substr(2)).c_str(), nullptr, 16)
                                                                 : std::strtoul(std::string(name.substr(1)).c_str(), nullptr, 10)));
        else out.append(text.substr(i, semicolon - i + 1));
        i = semicolon;
    }
    return out;
}

// The tag's name if text[at] opens one ("w:t" for "<w:t xml:space=...>"),
// with closing set for "</...>" and empty set for "<.../>".
std::string_view tagName(std::string_view xml, size_t at, bool& closing, bool& empty) {
    size_t end = xml.find('>', at);
    if (end == std::string_view::npos) return {};
    std::string_view tag = xml.substr(at + 1, end - at - 1);
    closing = !tag.empty() && tag[0] == '/';
    empty = !tag.empty() && tag.back() == '/';
    if (closing) tag.remove_prefix(1);
    return tag.substr(0, tag.find_first_of(" \t\r\n/"));
}

std::wstring composeText(const std::wstring& title, const std::wstring& body) {
    if (title.empty()) return body;
    return body.empty() ? title : title + L"\n" + body;
}

std::wstring summaryTitle(IStorage* storage) {
    std::string stream;
    if (FAILED(readStreamBytes(storage, L"\005SummaryInformation", stream))) return {};
    return titleFromPropertySet(stream);
}

HRESULT readWordStorage(IStorage* storage, DocumentContent& content) {
    std::string word;
    HRESULT hr = readStreamBytes(storage, L"WordDocument", word);
    if (FAILED(hr)) return hr;
    if (word.size() < 0x20) return STG_E_DOCFILECORRUPT;
    const uint16_t magic = u16(word, 0);
    if (magic != kWord97Magic && magic != kWord6Magic) return STG_E_DOCFILECORRUPT;
    std::wstring body;
    if (magic == kWord97Magic) {
        std::string table;
        const wchar_t* tableName = (u16(word, kFibFlags) & kFibTable1) ? L"1Table" : L"0Table";
        if (SUCCEEDED(readStreamBytes(storage, tableName, table))) body = wordBinaryText(word, table, kShownChars);
    }
    content.text = composeText(summaryTitle(storage), body);
    return S_OK;
}

HRESULT readExcelStorage(IStorage* storage, DocumentContent& content) {
    std::string workbook;
    HRESULT hr = readStreamBytes(storage, L"Workbook", workbook);
    if (hr == STG_E_FILENOTFOUND) hr = readStreamBytes(storage, L"Book", workbook);  // 5.0/95
    if (FAILED(hr)) return hr;
    if (workbook.size() < 4 || u16(workbook, 0) != kBiffBeginOfFile) return STG_E_DOCFILECORRUPT;
    content.text = composeText(summaryTitle(storage), excelBinaryText(workbook, kShownChars));
    return S_OK;
}

}  // namespace

bool looksLikeCompoundFile(std::string_view bytes) noexcept {
    return bytes.size() >= 8 && std::memcmp(bytes.data(), kCompoundSignature, 8) == 0;
}

HRESULT readGenuineStorage(IStorage* storage, Suite suite, DocumentContent& content) {
    std::string package;
    HRESULT hr = readStreamBytes(storage, kPackageStream, package);
    if (SUCCEEDED(hr)) {
        try {
            content = readGenuinePackage(package, suite);
            return S_OK;
        } catch (const FormatError&) {
            return STG_E_DOCFILECORRUPT;
        }
    }
    DocumentContent read;
    read.suite = suite;
    hr = suite == Suite::Word ? readWordStorage(storage, read) : readExcelStorage(storage, read);
    if (FAILED(hr)) return hr;
    // The heading of its page, and the name of its print job, when nothing
    // better is known (a document from a stream has no file name).
    read.name = read.text.substr(0, read.text.find(L'\n'));
    content = std::move(read);
    return S_OK;
}

HRESULT writeGenuineStorage(IStorage* target, const OriginalDocument& original) {
    if (!target) return E_POINTER;
    if (!original.package) {
        ComPtr<IStorage> source;
        HRESULT hr = storageFromBytes(original.bytes, source);
        return FAILED(hr) ? hr : source->CopyTo(0, nullptr, nullptr, target);
    }
    ComPtr<IStream> stream;
    HRESULT hr = target->CreateStream(kPackageStream, STGM_CREATE | STGM_WRITE | STGM_SHARE_EXCLUSIVE, 0, 0, stream.put());
    if (FAILED(hr)) return hr;
    ULARGE_INTEGER size;
    size.QuadPart = original.bytes.size();
    stream->SetSize(size);
    ULONG written = 0;
    hr = stream->Write(original.bytes.data(), static_cast<ULONG>(original.bytes.size()), &written);
    if (FAILED(hr)) return hr;
    return written == original.bytes.size() ? S_OK : STG_E_MEDIUMFULL;
}

HRESULT storageToBytes(IStorage* storage, std::string& bytes) {
    ComPtr<ILockBytes> memory;
    HRESULT hr = ::CreateILockBytesOnHGlobal(nullptr, TRUE, memory.put());
    if (FAILED(hr)) return hr;
    {
        ComPtr<IStorage> copy;
        hr = ::StgCreateDocfileOnILockBytes(memory.get(), STGM_CREATE | STGM_READWRITE | STGM_SHARE_EXCLUSIVE, 0,
                                            copy.put());
        if (SUCCEEDED(hr)) hr = storage->CopyTo(0, nullptr, nullptr, copy.get());
        if (SUCCEEDED(hr)) hr = copy->Commit(STGC_DEFAULT);
        if (FAILED(hr)) return hr;
    }
    STATSTG stat{};
    HGLOBAL global = nullptr;
    hr = memory->Stat(&stat, STATFLAG_NONAME);
    if (SUCCEEDED(hr)) hr = ::GetHGlobalFromILockBytes(memory.get(), &global);
    if (FAILED(hr)) return hr;
    const void* data = ::GlobalLock(global);
    if (!data) return E_OUTOFMEMORY;
    bytes.assign(static_cast<const char*>(data), static_cast<size_t>(stat.cbSize.QuadPart));
    ::GlobalUnlock(global);
    return S_OK;
}

HRESULT storageFromBytes(std::string_view bytes, ComPtr<IStorage>& storage) {
    HGLOBAL global = ::GlobalAlloc(GMEM_MOVEABLE, bytes.empty() ? 1 : bytes.size());
    if (!global) return E_OUTOFMEMORY;
    if (void* data = ::GlobalLock(global)) {
        if (!bytes.empty()) std::memcpy(data, bytes.data(), bytes.size());
        ::GlobalUnlock(global);
    }
    ComPtr<ILockBytes> memory;
    HRESULT hr = ::CreateILockBytesOnHGlobal(global, TRUE, memory.put());
    if (FAILED(hr)) {
        ::GlobalFree(global);
        return hr;
    }
    ULARGE_INTEGER size;
    size.QuadPart = bytes.size();
    hr = memory->SetSize(size);
    if (FAILED(hr)) return hr;
    return ::StgOpenStorageOnILockBytes(memory.get(), nullptr, STGM_READ | STGM_SHARE_EXCLUSIVE, nullptr, 0,
                                        storage.put());
}

DocumentContent readGenuinePackage(std::string_view bytes, Suite suite) {
    ZipPackage zip(bytes);
    std::optional<std::string> types = zip.read("[Content_Types].xml");
    if (!types) throw FormatError("package without content types");
    const bool word = types->find("wordprocessingml") != std::string::npos;
    const bool excel = types->find("spreadsheetml") != std::string::npos;
    if (!word && !excel) throw FormatError("neither a Word nor an Excel package");
    if ((suite == Suite::Word) != word) throw FormatError("document belongs to the other application");
    if (!zip.has(word ? "word/document.xml" : "xl/workbook.xml")) throw FormatError("package without its main part");

    std::wstring title;
    if (auto core = zip.read("docProps/core.xml")) title = xmlText(*core, "dc:title", "", kShownChars);
    std::wstring body;
    if (auto part = zip.read(word ? "word/document.xml" : "xl/sharedStrings.xml"))
        body = word ? xmlText(*part, "w:t", "w:p", kShownChars) : xmlText(*part, "t", "si", kShownChars);

    DocumentContent c;
    c.suite = suite;
    c.text = composeText(title, body);
    c.name = c.text.substr(0, c.text.find(L'\n'));
    c.original = std::make_shared<OriginalDocument>(OriginalDocument{true, std::string(bytes)});
    return c;
}

std::wstring titleFromPropertySet(std::string_view s) {
    if (!fits(s, 0, 48) || u16(s, 0) != 0xFFFE || u32(s, 24) == 0) return {};
    const size_t set = u32(s, 44);
    if (!fits(s, set, 8)) return {};
    const uint32_t count = u32(s, set + 4);
    if (count > (s.size() - set - 8) / 8) return {};
    UINT codePage = 1252;
    std::string_view title;
    bool wide = false;
    for (uint32_t i = 0; i < count; ++i) {
        const uint32_t id = u32(s, set + 8 + 8 * i);
        const size_t at = set + u32(s, set + 12 + 8 * i);
        if (!fits(s, at, 8)) continue;
        const uint16_t type = u16(s, at);
        if (id == kPropertyCodePage) codePage = u16(s, at + 4);
        if (id != kPropertyTitle || (type != kTypeText && type != kTypeWideText)) continue;
        wide = type == kTypeWideText;
        const size_t length = static_cast<size_t>(u32(s, at + 4)) * (wide ? 2 : 1);
        if (fits(s, at + 8, length)) title = s.substr(at + 8, length);
    }
    if (wide || codePage == kCodePageUtf16) return withoutTrailingNul(fromUtf16(title));
    return withoutTrailingNul(fromCodePage(title, codePage));
}

std::wstring wordBinaryText(std::string_view word, std::string_view table, size_t maxChars) {
    if (!fits(word, kFibClxSize, 4)) return {};
    const uint32_t mainText = u32(word, kFibMainTextLength);
    const size_t clxAt = u32(word, kFibClx), clxSize = u32(word, kFibClxSize);
    if (!fits(table, clxAt, clxSize)) return {};
    std::string_view clx = table.substr(clxAt, clxSize);
    size_t at = 0;
    while (fits(clx, at, 3) && clx[at] == 0x01) at += 3 + u16(clx, at + 1);  // formatting, not text
    if (!fits(clx, at, 5) || clx[at] != 0x02) return {};
    const size_t plcSize = u32(clx, at + 1);
    if (!fits(clx, at + 5, plcSize) || plcSize < 4) return {};
    std::string_view plc = clx.substr(at + 5, plcSize);
    const size_t pieces = (plcSize - 4) / 12;
    WordTextCleaner text(maxChars);
    for (size_t i = 0; i < pieces && !text.full(); ++i) {
        const uint32_t start = u32(plc, 4 * i);
        const uint32_t end = std::min(u32(plc, 4 * (i + 1)), mainText);
        if (end <= start) continue;
        const uint32_t fc = u32(plc, 4 * (pieces + 1) + 8 * i + 2);
        const size_t chars = end - start;
        if (fc & kPieceCompressed) {
            const size_t offset = (fc & ~kPieceCompressed) / 2;
            if (!fits(word, offset, chars)) continue;
            for (wchar_t c : fromCodePage(word.substr(offset, chars), 1252)) text.add(c);
        } else {
            if (!fits(word, fc, 2 * chars)) continue;
            for (wchar_t c : fromUtf16(word.substr(fc, 2 * chars))) text.add(c);
        }
    }
    return trimmed(text.take());
}

std::wstring excelBinaryText(std::string_view workbook, size_t maxChars) {
    for (size_t at = 0; fits(workbook, at, 4);) {
        const uint16_t type = u16(workbook, at);
        const size_t length = u16(workbook, at + 2);
        if (!fits(workbook, at + 4, length)) break;
        if (type != kBiffSharedStrings) {
            at += 4 + length;
            continue;
        }
        // Strings that run on into a continuation record are left out.
        std::string_view r = workbook.substr(at + 4, length);
        std::wstring text;
        for (size_t p = 8; fits(r, p, 3) && text.size() < maxChars;) {
            const size_t chars = u16(r, p);
            const uint8_t flags = static_cast<uint8_t>(r[p + 2]);
            p += 3;
            size_t runs = 0, extra = 0;
            if (flags & 0x08) {
                if (!fits(r, p, 2)) break;
                runs = u16(r, p), p += 2;
            }
            if (flags & 0x04) {
                if (!fits(r, p, 4)) break;
                extra = u32(r, p), p += 4;
            }
            const size_t size = chars * ((flags & 0x01) ? 2 : 1);
            if (!fits(r, p, size)) break;
            std::string_view s = r.substr(p, size);
            text += (flags & 0x01) ? fromUtf16(s) : fromCodePage(s, 28591);
            text += L'\n';
            p += size + 4 * runs + extra;
        }
        return trimmed(text.substr(0, maxChars));
    }
    return {};
}

std::wstring xmlText(std::string_view xml, std::string_view element, std::string_view lineEnd, size_t maxChars) {
    std::string out;
    for (size_t at = xml.find('<'); at != std::string_view::npos && out.size() < maxChars * 3; at = xml.find('<', at + 1)) {
        bool closing = false, empty = false;
        std::string_view name = tagName(xml, at, closing, empty);
        if (closing && !lineEnd.empty() && name == lineEnd) out += '\n';
        if (closing || empty || name != element) continue;
        size_t start = xml.find('>', at) + 1;
        size_t end = xml.find('<', start);
        if (end == std::string_view::npos) break;
        out += decodeEntities(xml.substr(start, end - start));
    }
    std::wstring text = trimmed(utf8ToWide(out));
    if (text.size() > maxChars) text.resize(maxChars);
    return text;
}

}  // namespace orvo::fake
