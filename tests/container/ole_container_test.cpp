// The document container against documents it must refuse or cannot load,
// and against a probe object that records what the container does to it.
#include <gtest/gtest.h>

#include <memory>

#include "container_test_support.h"
#include "hosting/ole_container.h"
#include "probe_object.h"
#include "support/container_stream.h"
#include "support/win_error.h"
#include "support/win_text.h"

using namespace orvo;
using namespace orvo::test;

namespace {

// Registered by no one: stands for any server a hostile document could name.
constexpr CLSID kForeignClass = {0x5A1C0E77, 0x2B4D, 0x4E0F, {0x9A, 0x31, 0x6C, 0x0D, 0x42, 0x7E, 0x11, 0xB8}};
constexpr CLSID kPackagerClass = {0x0003000C, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
// Accepted, and served by nothing in the test prefix, so the probe can take it.
constexpr CLSID kExcelSheet5 = {0x00020810, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

constexpr LONG kCloseSaveIfDirty = OLECLOSE_SAVEIFDIRTY;  // 0
constexpr LONG kCloseNoSave = OLECLOSE_NOSAVE;            // 1

template <typename F>
std::string errorOf(F&& operation) {
    try {
        operation();
    } catch (const std::exception& e) {
        return e.what();
    }
    return "(no error)";
}

class ContainerTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(SUCCEEDED(ole.result())); }

    std::string streamOf(const CLSID& clsid, std::string_view text = "report") {
        return writeContainerStream(compoundDocument(clsid, text));
    }

    OleScope ole;
    HostWindow host;
    ProbeRecord record;  // outlives the container and the probe objects it holds
    std::unique_ptr<OleDocumentContainer> container =
        std::make_unique<OleDocumentContainer>(host.hwnd(), 7, RECT{10, 20, 10 + 249, 20 + 66});
};

TEST(AcceptedDocumentClasses, AreTheWordAndExcelDocumentClassesOnly) {
    for (const wchar_t* text : {L"{00020906-0000-0000-C000-000000000046}", L"{F4754C9B-64F5-4B40-8AF4-679732AC0607}",
                                L"{00020820-0000-0000-C000-000000000046}", L"{00020830-0000-0000-C000-000000000046}"}) {
        CLSID clsid{};
        ASSERT_EQ(::CLSIDFromString(text, &clsid), S_OK);
        EXPECT_TRUE(isAcceptedDocumentClass(clsid)) << guidText(clsid);
    }
    // The packager, macro-enabled documents, a chart, and no class at all.
    for (const wchar_t* text : {L"{0003000C-0000-0000-C000-000000000046}", L"{18A06B6B-2F3F-4E2B-A611-52BE631B2D22}",
                                L"{00020832-0000-0000-C000-000000000046}", L"{00020821-0000-0000-C000-000000000046}",
                                L"{00000000-0000-0000-0000-000000000000}"}) {
        CLSID clsid{};
        ASSERT_EQ(::CLSIDFromString(text, &clsid), S_OK);
        EXPECT_FALSE(isAcceptedDocumentClass(clsid)) << guidText(clsid);
    }
}

TEST_F(ContainerTest, EveryOperationOnAnEmptyContainerRaisesTheEmptyError) {
    EXPECT_TRUE(container->empty());
    EXPECT_EQ(container->state(), OleContainerState::Empty);
    const std::wstring target = tempPath(L"orvo-empty-container.doc");
    ::DeleteFileW(target.c_str());

    EXPECT_EQ(errorOf([&] { container->activate(OLEIVERB_SHOW); }), kEmptyContainerMessage);
    EXPECT_EQ(errorOf([&] { container->activate(OLEIVERB_PRIMARY); }), kEmptyContainerMessage);
    EXPECT_EQ(errorOf([&] { container->automationObject(); }), kEmptyContainerMessage);
    EXPECT_EQ(errorOf([&] { container->commandTarget(); }), kEmptyContainerMessage);
    EXPECT_EQ(errorOf([&] { container->printWithHostDialog(); }), kEmptyContainerMessage);
    EXPECT_EQ(errorOf([&] { container->saveAsDocument(wideToGbk(target)); }), kEmptyContainerMessage);
    EXPECT_EQ(errorOf([&] { container->close(); }), kEmptyContainerMessage);
    EXPECT_EQ(errorOf([&] { container->focus(); }), kEmptyContainerMessage);
    EXPECT_FALSE(fileExists(target));
    EXPECT_TRUE(container->empty());
}

TEST_F(ContainerTest, AWrongSignatureIsAnInvalidStreamFormatAndLeavesTheContainerEmpty) {
    ProbeRegistration probe(record, kExcelSheet5);
    ASSERT_TRUE(SUCCEEDED(probe.result()));
    container->loadFromStream(streamOf(kExcelSheet5));
    ASSERT_FALSE(container->empty());

    std::string stream = streamOf(kExcelSheet5);
    stream[0] = 'X';
    EXPECT_EQ(errorOf([&] { container->loadFromStream(stream); }), "Invalid stream format");
    EXPECT_TRUE(container->empty());
    EXPECT_EQ(record.created, 1);  // the held object was let go, no new one made
    EXPECT_TRUE(record.called("Close(" + std::to_string(kCloseNoSave) + ")"));
    EXPECT_TRUE(record.called("SetClientSite(null)"));
}

TEST_F(ContainerTest, BytesThatAreNotACompoundDocumentRaiseAnOleError) {
    const std::string stream = writeContainerStream("<html>a report served as .doc</html>");
    bool oleError = false;
    try {
        container->loadFromStream(stream);
    } catch (const ComError& e) {
        oleError = FAILED(e.code());
        EXPECT_STRNE(e.what(), "");
    }
    EXPECT_TRUE(oleError);
    EXPECT_TRUE(container->empty());
}

TEST_F(ContainerTest, ACompoundDocumentOfAForeignClassIsRefusedBeforeItsServerStarts) {
    ProbeRegistration probe(record, kForeignClass);
    ASSERT_TRUE(SUCCEEDED(probe.result()));
    const std::string document = compoundDocument(kForeignClass, "payload");
    {
        // Loaded the plain way, the document would start its server.
        ComPtr<IUnknown> object;
        ASSERT_TRUE(SUCCEEDED(::OleLoad(storageOf(document).get(), IID_IUnknown, nullptr, object.putVoid())));
        ASSERT_EQ(record.created, 1);
    }
    record = ProbeRecord{};

    EXPECT_EQ(errorOf([&] { container->loadFromStream(writeContainerStream(document)); }), kRefusedDocumentMessage);
    EXPECT_EQ(errorOf([&] { container->loadFromStream(streamOf(kPackagerClass)); }), kRefusedDocumentMessage);
    EXPECT_EQ(record.created, 0);
    EXPECT_TRUE(container->empty());
}

TEST_F(ContainerTest, CreateFromFileRefusesFilesThatDoNotResolveToAWordOrExcelClass) {
    ProbeRegistration probe(record, kForeignClass);
    ASSERT_TRUE(SUCCEEDED(probe.result()));
    // Compound files name their class themselves, whatever their extension.
    const std::wstring foreign = tempPath(L"orvo-foreign.doc");
    const std::wstring packaged = tempPath(L"orvo-packaged.xls");
    const std::wstring unknown = tempPath(L"orvo-report.orvo-unknown");
    ASSERT_TRUE(writeFile(foreign, compoundDocument(kForeignClass, "payload")));
    ASSERT_TRUE(writeFile(packaged, compoundDocument(kPackagerClass, "payload")));
    ASSERT_TRUE(writeFile(unknown, "plain text"));

    for (const auto& path : {foreign, packaged, unknown})
        EXPECT_EQ(errorOf([&] { container->createFromFile(wideToGbk(path)); }), kRefusedDocumentMessage)
            << wideToGbk(path);
    EXPECT_EQ(record.created, 0);
    EXPECT_TRUE(container->empty());
    for (const auto& path : {foreign, packaged, unknown}) ::DeleteFileW(path.c_str());
}

TEST_F(ContainerTest, TheObjectGetsOurSiteAndIsActivatedInOurWindowAndRectangle) {
    ProbeRegistration probe(record, kExcelSheet5);
    ASSERT_TRUE(SUCCEEDED(probe.result()));
    container->loadFromStream(streamOf(kExcelSheet5));
    EXPECT_FALSE(container->empty());
    EXPECT_EQ(container->drawAspect(), static_cast<DWORD>(DVASPECT_CONTENT));
    EXPECT_TRUE(record.called("Load"));
    ASSERT_TRUE(record.lastSite);

    container->activate(OLEIVERB_SHOW);
    container->activate(OLEIVERB_PRIMARY);
    EXPECT_TRUE(record.called("DoVerb(-1)"));
    EXPECT_TRUE(record.called("DoVerb(0)"));
    EXPECT_EQ(record.verbWindow, container->hwnd());
    RECT client{};
    ::GetClientRect(container->hwnd(), &client);
    EXPECT_TRUE(::EqualRect(&record.verbRect, &client));
    EXPECT_EQ(client.right, 249 - 2);  // inside the single border
    EXPECT_EQ(client.bottom, 66 - 2);
}

TEST_F(ContainerTest, ASecondLoadReplacesTheFirstObject) {
    ProbeRegistration probe(record, kExcelSheet5);
    ASSERT_TRUE(SUCCEEDED(probe.result()));
    container->loadFromStream(streamOf(kExcelSheet5, "first"));
    container->loadFromStream(streamOf(kExcelSheet5, "second"));
    EXPECT_EQ(record.created, 2);
    const std::vector<std::string> expected{"Load", "SetClientSite", "Close(" + std::to_string(kCloseNoSave) + ")",
                                            "SetClientSite(null)", "Load", "SetClientSite"};
    EXPECT_EQ(record.calls, expected);
    EXPECT_FALSE(container->empty());
}

TEST_F(ContainerTest, CloseSavesAChangedObjectIntoItsOwnStorageAndKeepsIt) {
    ProbeRegistration probe(record, kExcelSheet5);
    ASSERT_TRUE(SUCCEEDED(probe.result()));
    container->loadFromStream(streamOf(kExcelSheet5));

    container->close();
    EXPECT_FALSE(record.called("Save(same)"));  // unchanged: nothing to save

    record.dirty = true;
    container->close();
    EXPECT_TRUE(record.called("Close(" + std::to_string(kCloseSaveIfDirty) + ")"));
    EXPECT_TRUE(record.called("Save(same)"));
    EXPECT_TRUE(record.called("SaveCompleted(null)"));
    EXPECT_FALSE(record.dirty);
    EXPECT_FALSE(container->empty());
}

TEST_F(ContainerTest, SaveAsDocumentReplacesAFileOnlyWithACompleteDocument) {
    ProbeRegistration probe(record, kExcelSheet5);
    ASSERT_TRUE(SUCCEEDED(probe.result()));
    container->loadFromStream(streamOf(kExcelSheet5));
    const std::wstring target = tempPath(L"orvo-saved-copy.xls");
    ASSERT_TRUE(writeFile(target, "an older file"));

    record.failSave = true;
    EXPECT_NE(errorOf([&] { container->saveAsDocument(wideToGbk(target)); }), "(no error)");
    EXPECT_EQ(readFile(target), "an older file");
    EXPECT_TRUE(record.called("SaveCompleted(null)"));  // the object is never left in the middle of a save

    record = ProbeRecord{};
    container->saveAsDocument(wideToGbk(target));
    EXPECT_TRUE(record.called("Save(other)"));
    EXPECT_TRUE(record.called("SaveCompleted(null)"));
    EXPECT_TRUE(::IsEqualCLSID(classOfFile(target), kExcelSheet5)) << guidText(classOfFile(target));
    ::DeleteFileW(target.c_str());
}

TEST_F(ContainerTest, ASiteKeptByTheServerAnswersSafelyAfterTheContainerIsGone) {
    ProbeRegistration probe(record, kExcelSheet5);
    ASSERT_TRUE(SUCCEEDED(probe.result()));
    container->loadFromStream(streamOf(kExcelSheet5));
    ComPtr<IOleClientSite> site = record.lastSite;
    ASSERT_TRUE(site);
    container.reset();

    EXPECT_EQ(site->SaveObject(), E_UNEXPECTED);
    auto inPlace = site.query<IOleInPlaceSite>();
    ASSERT_TRUE(inPlace);
    HWND window = reinterpret_cast<HWND>(1);
    EXPECT_TRUE(FAILED(inPlace->GetWindow(&window)));
    EXPECT_EQ(inPlace->CanInPlaceActivate(), S_FALSE);
    IOleInPlaceFrame* frame = nullptr;
    IOleInPlaceUIWindow* document = nullptr;
    RECT position{}, clip{};
    OLEINPLACEFRAMEINFO info{sizeof info};
    EXPECT_TRUE(FAILED(inPlace->GetWindowContext(&frame, &document, &position, &clip, &info)));
    EXPECT_EQ(frame, nullptr);
    auto sink = site.query<IAdviseSink>();
    ASSERT_TRUE(sink);
    sink->OnViewChange(DVASPECT_CONTENT, -1);
    sink->OnClose();
    record.lastSite = nullptr;
}

TEST_F(ContainerTest, DestroyingTheParentWindowLetsTheObjectGoFirst) {
    ProbeRegistration probe(record, kExcelSheet5);
    ASSERT_TRUE(SUCCEEDED(probe.result()));
    container->loadFromStream(streamOf(kExcelSheet5));
    ::DestroyWindow(host.hwnd());

    EXPECT_TRUE(record.called("Close(" + std::to_string(kCloseNoSave) + ")"));
    EXPECT_TRUE(record.called("SetClientSite(null)"));
    EXPECT_TRUE(container->empty());
    EXPECT_EQ(container->hwnd(), nullptr);
    EXPECT_EQ(errorOf([&] { container->activate(OLEIVERB_SHOW); }), kEmptyContainerMessage);
}

}  // namespace
