// Documents a real office suite wrote (tests/data/genuine): loaded as a
// container and as Word's Documents.Open load them, shown by their title and
// first text, and saved back unchanged while nobody edits them.
#include <map>
#include "genuine_documents.h"
#include "support/win32/win_text.h"
#include "test_support.h"

namespace orvo::fake::test {
namespace {

std::wstring genuine(const wchar_t* name) { return utf8ToWide(ORVO_GENUINE_DIR) + L"\\" + name; }

// Every stream of a storage by its path, sub-storages included.
void collectStreams(IStorage* storage, const std::wstring& prefix, std::map<std::wstring, std::string>& out) {
    ComPtr<IEnumSTATSTG> items;
    ASSERT_EQ(storage->EnumElements(0, nullptr, 0, items.put()), S_OK);
    STATSTG stat;
    while (items->Next(1, &stat, nullptr) == S_OK) {
        std::wstring name = stat.pwcsName;
        ::CoTaskMemFree(stat.pwcsName);
        if (stat.type == STGTY_STREAM) {
            ASSERT_EQ(readStreamBytes(storage, name.c_str(), out[prefix + name]), S_OK);
        } else if (stat.type == STGTY_STORAGE) {
            ComPtr<IStorage> sub;
            ASSERT_EQ(storage->OpenStorage(name.c_str(), nullptr, STGM_READ | STGM_SHARE_EXCLUSIVE, nullptr, 0, sub.put()),
                      S_OK);
            collectStreams(sub.get(), prefix + name + L"/", out);
        }
    }
}

std::map<std::wstring, std::string> streamsOf(const std::string& compoundFile) {
    ComPtr<IStorage> storage;
    std::map<std::wstring, std::string> streams;
    EXPECT_EQ(storageFromBytes(compoundFile, storage), S_OK);
    if (storage) collectStreams(storage.get(), L"", streams);
    return streams;
}

// A container's storage holding the compound file, as its load from the
// downloaded stream makes it.
ComPtr<IStorage> storageOf(const std::string& bytes) {
    ComPtr<IStorage> readOnly, storage;
    ComPtr<ILockBytes> memory;
    EXPECT_EQ(::CreateILockBytesOnHGlobal(nullptr, TRUE, memory.put()), S_OK);
    EXPECT_EQ(::StgCreateDocfileOnILockBytes(memory.get(), STGM_CREATE | STGM_READWRITE | STGM_SHARE_EXCLUSIVE, 0,
                                             storage.put()),
              S_OK);
    EXPECT_EQ(storageFromBytes(bytes, readOnly), S_OK);
    EXPECT_EQ(readOnly->CopyTo(0, nullptr, nullptr, storage.get()), S_OK);
    return storage;
}

// Saves the object into a new compound file, as the preview's "save a
// copy" does; returns the file's bytes.
std::string savedCopy(IOleObject* object, const std::wstring& path) {
    ComPtr<IPersistStorage> persist;
    EXPECT_EQ(object->QueryInterface(IID_IPersistStorage, persist.putVoid()), S_OK);
    {
        ComPtr<IStorage> file;
        EXPECT_EQ(::StgCreateDocfile(path.c_str(), STGM_CREATE | STGM_READWRITE | STGM_SHARE_EXCLUSIVE, 0, file.put()),
                  S_OK);
        EXPECT_EQ(::OleSave(persist.get(), file.get(), FALSE), S_OK);
        persist->SaveCompleted(nullptr);
        EXPECT_EQ(file->Commit(STGC_DEFAULT), S_OK);
    }
    return readWholeFile(path);
}

std::wstring documentText(IDispatch* document) {
    return get(path(document, {L"Content"}).get(), L"Text").text();
}

class GenuineTest : public OfficeTest {};

TEST_F(GenuineTest, CompoundDocumentsLoadFromTheirStorageAndSaveTheirStreamsUnchanged) {
    struct Case {
        const wchar_t* file;
        CLSID clsid;
        const wchar_t* title;
        const wchar_t* body;
    } cases[] = {
        {L"genuine-word97.doc", kClsidWordDocument8, L"genuine-doc-title", L"正式报表 GENUINE-DOC-BODY"},
        {L"genuine-excel97.xls", kClsidExcelSheet5, L"genuine-xls-title", L"正式报表 GENUINE-XLS-BODY"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(narrow(c.file));
        const std::string original = readWholeFile(genuine(c.file));
        ASSERT_FALSE(original.empty());
        ComPtr<IStorage> storage = storageOf(original);
        ComPtr<IOleObject> object;
        ASSERT_EQ(::OleLoad(storage.get(), IID_IOleObject, nullptr, object.putVoid()), S_OK);
        CLSID clsid{};
        object->GetUserClassID(&clsid);
        EXPECT_EQ(clsid, c.clsid);

        // Its page: the title as the heading, then the start of its text.
        ComPtr<IDispatch> document;
        ASSERT_EQ(object->QueryInterface(IID_IDispatch, document.putVoid()), S_OK);
        EXPECT_EQ(get(document.get(), L"Name").text(), c.title);
        if (clsid == kClsidWordDocument8) {
            std::wstring text = documentText(document.get());
            EXPECT_EQ(text.substr(0, text.find(L"\nSecond")), std::wstring(c.title) + L"\n" + c.body) << narrow(text);
        }

        const std::string copy = savedCopy(object.get(), file(std::wstring(L"copy-") + c.file));
        EXPECT_EQ(streamsOf(copy), streamsOf(original));
        // Edited, it is the substitute's own document, with what was shown.
        if (clsid == kClsidWordDocument8) {
            ASSERT_TRUE(call(path(document.get(), {L"ActiveWindow", L"Selection"}).get(), L"TypeText", {L"Stamped. "}).ok());
            savedCopy(object.get(), file(L"edited.doc"));
            DocumentContent edited = readDocumentFile(file(L"edited.doc"), Suite::Word);
            EXPECT_FALSE(edited.original);
            EXPECT_EQ(edited.text.find(L"Stamped. genuine-doc-title"), 0u);
        }
        object->Close(OLECLOSE_NOSAVE);
    }
}

TEST_F(GenuineTest, PackagesEmbedFromTheirFileAndOpenInWordUnchanged) {
    for (const wchar_t* name : {L"genuine-word.docx", L"genuine-excel.xlsx"}) {
        SCOPED_TRACE(narrow(name));
        const bool word = std::wstring(name).ends_with(L".docx");
        const std::wstring copy = file(name);
        ASSERT_TRUE(::CopyFileW(genuine(name).c_str(), copy.c_str(), FALSE));
        const std::string original = readWholeFile(copy);
        DocumentContent read = readDocumentFile(copy, word ? Suite::Word : Suite::Excel);
        EXPECT_EQ(read.text, word ? L"genuine-docx-title\n正式报表 GENUINE-DOCX-BODY\n"
                                    L"Second paragraph of a document written by a real office suite."
                                  : L"genuine-xlsx-title\n正式报表 GENUINE-XLSX-BODY\nAmount");
        // The other application's package is not its document.
        EXPECT_THROW(readDocumentFile(copy, word ? Suite::Excel : Suite::Word), FormatError);

        // Embedded: created from the file; its storage keeps the package as
        // Word and Excel do, and loads back from there.
        ComPtr<ILockBytes> memory;
        ComPtr<IStorage> storage;
        ASSERT_EQ(::CreateILockBytesOnHGlobal(nullptr, TRUE, memory.put()), S_OK);
        ASSERT_EQ(::StgCreateDocfileOnILockBytes(memory.get(), STGM_CREATE | STGM_READWRITE | STGM_SHARE_EXCLUSIVE, 0,
                                                 storage.put()),
                  S_OK);
        ComPtr<IOleObject> object;
        ASSERT_EQ(::OleCreateFromFile(CLSID_NULL, copy.c_str(), IID_IOleObject, OLERENDER_DRAW, nullptr, nullptr,
                                      storage.get(), object.putVoid()),
                  S_OK);
        const std::string saved = savedCopy(object.get(), file(L"embedded.bin"));
        EXPECT_EQ(streamsOf(saved)[L"Package"], original);
        object->Close(OLECLOSE_NOSAVE);
        object.reset();
        ComPtr<IStorage> reloaded;
        ASSERT_EQ(storageFromBytes(saved, reloaded), S_OK);
        ASSERT_EQ(::OleLoad(reloaded.get(), IID_IOleObject, nullptr, object.putVoid()), S_OK);
        ComPtr<IDispatch> document;
        ASSERT_EQ(object->QueryInterface(IID_IDispatch, document.putVoid()), S_OK);
        EXPECT_EQ(get(document.get(), L"Name").text(), word ? L"genuine-docx-title" : L"genuine-xlsx-title");
        object->Close(OLECLOSE_NOSAVE);
    }

    // Word opens both forms and saves them unedited byte for byte.
    auto word = startWord();
    ASSERT_TRUE(word);
    auto documents = path(word.get(), {L"Documents"});
    for (const wchar_t* name : {L"genuine-word97.doc", L"genuine-word.docx"}) {
        SCOPED_TRACE(narrow(name));
        const std::wstring copy = file(std::wstring(L"open-") + name);
        ASSERT_TRUE(::CopyFileW(genuine(name).c_str(), copy.c_str(), FALSE));
        auto document = call(documents.get(), L"Open", {copy}).object();
        ASSERT_TRUE(document);
        EXPECT_NE(documentText(document.get()).find(L"正式报表 GENUINE-DOC"), std::wstring::npos);
        ASSERT_TRUE(call(document.get(), L"Save").ok());
        ASSERT_TRUE(call(document.get(), L"Close").ok());
        EXPECT_EQ(readWholeFile(copy), readWholeFile(genuine(name)));
    }
    call(word.get(), L"Quit", {0});
}

TEST_F(GenuineTest, DamagedDocumentsAreRefused) {
    // A Word storage whose main stream is not Word's.
    ComPtr<IStorage> storage = storageOf(readWholeFile(genuine(L"genuine-word97.doc")));
    ComPtr<IStream> stream;
    ASSERT_EQ(storage->CreateStream(L"WordDocument", STGM_CREATE | STGM_WRITE | STGM_SHARE_EXCLUSIVE, 0, 0, stream.put()),
              S_OK);
    ASSERT_EQ(stream->Write("garbage, not a file information block", 37, nullptr), S_OK);
    stream.reset();
    ComPtr<IOleObject> object;
    EXPECT_EQ(::OleLoad(storage.get(), IID_IOleObject, nullptr, object.putVoid()), STG_E_DOCFILECORRUPT);

    // Packages cut short, or without their main part.
    const std::string package = readWholeFile(genuine(L"genuine-word.docx"));
    for (size_t size : {size_t{30}, package.size() / 2, package.size() - 10})
        EXPECT_THROW(readGenuinePackage(std::string_view(package).substr(0, size), Suite::Word), FormatError) << size;
    std::string renamed = package;
    for (size_t at = renamed.find("word/document.xml"); at != std::string::npos; at = renamed.find("word/document.xml", at))
        renamed.replace(at, 4, "wurd");
    EXPECT_THROW(readGenuinePackage(renamed, Suite::Word), FormatError);

    // Property sets and Word's piece table pointing outside their streams.
    EXPECT_EQ(titleFromPropertySet(std::string(48, '\xFF')), L"");
    std::string fib(0x200, '\0');
    fib[0x1A2] = '\x7F', fib[0x1A5] = '\x7F', fib[0x1A6] = '\x10';
    EXPECT_EQ(wordBinaryText(fib, "short table", 100), L"");
}

}  // namespace
}  // namespace orvo::fake::test
