// The document container against what it must refuse or cannot load. Needs
// no document server: nothing here may get as far as starting one.
#include <gtest/gtest.h>

#include <memory>

#include "container_test_support.h"
#include "counting_factory.h"
#include "hosting/ole_container.h"
#include "support/portable/container_stream.h"
#include "support/win32/win_error.h"
#include "support/win32/win_text.h"

using namespace orvo;
using namespace orvo::test;

namespace {

// Registered by no one: stands for any server a hostile document could name.
constexpr CLSID kForeignClass = {0x5A1C0E77, 0x2B4D, 0x4E0F, {0x9A, 0x31, 0x6C, 0x0D, 0x42, 0x7E, 0x11, 0xB8}};
constexpr CLSID kPackagerClass = {0x0003000C, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

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

    OleScope ole;
    HostWindow host;
    OleDocumentContainer container{host.hwnd(), 7, RECT{10, 20, 10 + 249, 20 + 66}};
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
    EXPECT_TRUE(container.empty());
    EXPECT_EQ(container.state(), OleContainerState::Empty);
    const std::wstring target = tempPath(L"orvo-empty-container.doc");
    ::DeleteFileW(target.c_str());

    EXPECT_EQ(errorOf([&] { container.activate(OLEIVERB_SHOW); }), kEmptyContainerMessage);
    EXPECT_EQ(errorOf([&] { container.activate(OLEIVERB_PRIMARY); }), kEmptyContainerMessage);
    EXPECT_EQ(errorOf([&] { container.automationObject(); }), kEmptyContainerMessage);
    EXPECT_EQ(errorOf([&] { container.commandTarget(); }), kEmptyContainerMessage);
    EXPECT_EQ(errorOf([&] { container.printWithHostDialog(); }), kEmptyContainerMessage);
    EXPECT_EQ(errorOf([&] { container.saveAsDocument(wideToGbk(target)); }), kEmptyContainerMessage);
    EXPECT_EQ(errorOf([&] { container.close(); }), kEmptyContainerMessage);
    EXPECT_EQ(errorOf([&] { container.focus(); }), kEmptyContainerMessage);
    EXPECT_FALSE(fileExists(target));
}

TEST_F(ContainerTest, StreamsThatHoldNoCompoundDocumentFailAndLeaveTheContainerEmpty) {
    std::string stream = writeContainerStream(compoundDocument(kForeignClass, "report"));
    stream[0] = 'X';
    EXPECT_EQ(errorOf([&] { container.loadFromStream(stream); }), "Invalid stream format");
    EXPECT_TRUE(container.empty());

    // A web server's error page saved as ".doc": an OLE error, not ours.
    bool oleError = false;
    try {
        container.loadFromStream(writeContainerStream("<html>a report served as .doc</html>"));
    } catch (const ComError& e) {
        oleError = FAILED(e.code());
    }
    EXPECT_TRUE(oleError);
    EXPECT_TRUE(container.empty());
}

TEST_F(ContainerTest, ACompoundDocumentOfAForeignClassIsRefusedBeforeItsServerStarts) {
    CountingFactory server(kForeignClass);
    ASSERT_TRUE(SUCCEEDED(server.registration()));
    const std::string document = compoundDocument(kForeignClass, "payload");
    {
        // Loaded the plain way, the document would start its server.
        ComPtr<IUnknown> object;
        ::OleLoad(storageOf(document).get(), IID_IUnknown, nullptr, object.putVoid());
        ASSERT_EQ(server.started, 1);
    }
    server.started = 0;

    EXPECT_EQ(errorOf([&] { container.loadFromStream(writeContainerStream(document)); }), kRefusedDocumentMessage);
    EXPECT_EQ(errorOf([&] { container.loadFromStream(writeContainerStream(compoundDocument(kPackagerClass, "x"))); }),
              kRefusedDocumentMessage);
    EXPECT_EQ(server.started, 0);
    EXPECT_TRUE(container.empty());
}

TEST_F(ContainerTest, CreateFromFileRefusesFilesThatDoNotResolveToAWordOrExcelClass) {
    CountingFactory server(kForeignClass);
    ASSERT_TRUE(SUCCEEDED(server.registration()));
    // Compound files name their class themselves, whatever their extension.
    const std::wstring foreign = tempPath(L"orvo-foreign.doc");
    const std::wstring packaged = tempPath(L"orvo-packaged.xls");
    const std::wstring unknown = tempPath(L"orvo-report.orvo-unknown");
    ASSERT_TRUE(writeFile(foreign, compoundDocument(kForeignClass, "payload")));
    ASSERT_TRUE(writeFile(packaged, compoundDocument(kPackagerClass, "payload")));
    ASSERT_TRUE(writeFile(unknown, "plain text"));

    for (const auto& path : {foreign, packaged, unknown}) {
        EXPECT_EQ(errorOf([&] { container.createFromFile(wideToGbk(path)); }), kRefusedDocumentMessage)
            << wideToGbk(path);
        ::DeleteFileW(path.c_str());
    }
    EXPECT_EQ(server.started, 0);
    EXPECT_TRUE(container.empty());
}

}  // namespace
