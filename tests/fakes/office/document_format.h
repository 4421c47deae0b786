#pragma once
// What a document holds and how it is kept on disk. The substitute's own
// compound documents (".doc", ".xls") are structured storage of the
// document's class with one content stream; its newer formats (".docx",
// ".xlsx") are the same content as a plain file. Documents a real office
// suite wrote are read as well (genuine_documents.h). The content is UTF-8
// text:
//
//   ORVO-FAKE-OFFICE 1
//   kind: word                 (or excel)
//   name: 20170315.doc         the name it was saved under
//   track-revisions: 0
//   protection: -1             -1 none, 0 revisions, 1 comments, 2 forms, 3 read only
//   picture: inline w=120 h=120 hash=0123456789ABCDEF transparent=0 color=16777215 fill=1 wrap=7 zorder=0
//   text:
//   ...the body, to the end; U+FFFC marks where each inline picture sits
#include <windows.h>
#include <objbase.h>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace orvo::fake {

enum class Suite { Word, Excel };

struct Picture {
    uint32_t id = 0;  // identifies it within its document while it is open
    bool floating = false;
    int widthPx = 0, heightPx = 0;
    uint64_t hash = 0;  // FNV-1a of the pasted pixels
    bool transparentBackground = false;
    int32_t transparencyColor = 0xFFFFFF;
    bool fillVisible = true;
    int wrapType = 7;  // inline
    int zOrder = 0;
    std::vector<uint8_t> dib;  // the pasted bitmap, for drawing; not kept on disk
};

// The bytes of a document a real office suite wrote, as they were read: a
// compound file, or a zip package.
struct OriginalDocument {
    bool package = false;
    std::string bytes;
};

struct DocumentContent {
    Suite suite = Suite::Word;
    std::wstring name;
    std::wstring text;
    std::vector<Picture> pictures;  // inline ones in the order of their marks
    bool trackRevisions = false;
    int protection = -1;
    // Set while a genuine document is unedited: saving it writes these
    // bytes, since the substitute cannot write the suite's formats.
    std::shared_ptr<const OriginalDocument> original;
};

inline constexpr wchar_t kPictureMark = 0xFFFC;

class FormatError : public std::runtime_error {
public:
    explicit FormatError(const std::string& what) : std::runtime_error(what) {}
};

std::string serialize(const DocumentContent& content);
// Throws FormatError when the bytes are not such a content.
DocumentContent parse(std::string_view bytes);

// The content stream's name inside a compound document of the suite.
const wchar_t* contentStreamName(Suite suite);
// The suite a document class belongs to; false for other classes.
bool suiteOfClass(const CLSID& clsid, Suite& suite);
// A stream's bytes: STG_E_FILENOTFOUND when it is missing,
// STG_E_DOCFILECORRUPT when it is larger than the substitute reads.
HRESULT readStreamBytes(IStorage* storage, const wchar_t* name, std::string& bytes);
// The document class a file of this name gets ("x.docx" -> Word.Document.12).
bool classForFileName(std::wstring_view fileName, CLSID& clsid, Suite& suite);
bool isCompoundFileName(std::wstring_view fileName);
std::wstring baseName(std::wstring_view path);

HRESULT writeStorage(IStorage* storage, const CLSID& clsid, const DocumentContent& content);
// Reads the content stream; fails with STG_E_FILENOTFOUND when it is
// missing and STG_E_DOCFILECORRUPT when it does not parse.
HRESULT readStorage(IStorage* storage, DocumentContent& content);

// Whole files. Compound or plain by the file name's extension; an unedited
// genuine document is written as it was read, unless the name asks for the
// other form. Reading tells the forms by their bytes. Failures are
// FormatError (content) or std::system_error (file system).
// A file's bytes, up to the size the substitute reads.
std::string readWholeFile(const std::wstring& path);
void writeDocumentFile(const std::wstring& path, const CLSID& clsid, const DocumentContent& content);
DocumentContent readDocumentFile(const std::wstring& path, Suite expected);

}  // namespace orvo::fake
