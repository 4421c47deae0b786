#pragma once
// Sample documents for tests and the demo: what fake_office_docgen writes.
#include <windows.h>
#include <string>

namespace orvo::fake {

enum class SampleKind {
    Document,  // a document of the class its extension names
    Foreign,   // a compound document of a class no Office application serves
    Broken,    // the right class or extension, but no content the application can read
};

// Writes the sample at path. ".doc"/".xls" (or compound) become structured
// storage of the Word or Excel class; ".docx"/".xlsx" the plain form. name
// defaults to the file's name, text to a line naming it. Throws
// std::runtime_error with a message on failure.
void writeSample(const std::wstring& path, SampleKind kind, const std::wstring& name = {},
                 const std::wstring& text = {});

}  // namespace orvo::fake
