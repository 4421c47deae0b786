#pragma once
// Documents a real office suite wrote: Word and Excel compound files (".doc",
// ".xls", of the 97-2003 or the older 6.0/95 and 5.0/95 classes) and
// ".docx"/".xlsx" packages. The substitute cannot write these formats: it
// keeps such a document's bytes as they were read (DocumentContent::original)
// and shows only what is cheap to read, the title from the document's
// properties and the start of its text.
#include <windows.h>
#include <objbase.h>
#include <string>
#include <string_view>
#include "document_format.h"
#include "support/win32/com_ptr.h"

namespace orvo::fake {

// A compound document of the suite: S_OK and its content when it has the
// suite's main stream in a form the application recognises; the stream's
// absence gives STG_E_FILENOTFOUND, an unrecognised one STG_E_DOCFILECORRUPT.
// A "Package" stream is read as an embedded package. content.original holds
// the package, but not the compound file: the caller knows its bytes best.
HRESULT readGenuineStorage(IStorage* storage, Suite suite, DocumentContent& content);

// Writes the original document into target: a compound file's streams and
// storages as they were, or a package as the "Package" stream, where Word
// and Excel keep an embedded package.
HRESULT writeGenuineStorage(IStorage* target, const OriginalDocument& original);

// A compound file in memory, and back.
HRESULT storageToBytes(IStorage* storage, std::string& bytes);
HRESULT storageFromBytes(std::string_view bytes, ComPtr<IStorage>& storage);
bool looksLikeCompoundFile(std::string_view bytes) noexcept;

// A ".docx"/".xlsx" package of the suite, with content.original holding it.
// Throws FormatError when it is no such package.
DocumentContent readGenuinePackage(std::string_view bytes, Suite suite);

// The title in a property set stream ("\005SummaryInformation"); empty
// when it has none.
std::wstring titleFromPropertySet(std::string_view stream);

// The start of a document's text, in lines, at most maxChars characters.
std::wstring wordBinaryText(std::string_view wordDocument, std::string_view table, size_t maxChars);
std::wstring excelBinaryText(std::string_view workbook, size_t maxChars);
// Text of the elements named element (w:t, t), a line break after each
// lineEnd element (w:p, si).
std::wstring xmlText(std::string_view xml, std::string_view element, std::string_view lineEnd, size_t maxChars);

}  // namespace orvo::fake
