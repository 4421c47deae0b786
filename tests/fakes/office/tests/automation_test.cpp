// Word.Application driven by name, as the Word link and the seal window do.
#include "test_support.h"

namespace orvo::fake::test {
namespace {

constexpr SCODE modelError(int n) { return static_cast<SCODE>(0x800A0000u | static_cast<unsigned>(n)); }

class AutomationTest : public OfficeTest {
protected:
    // Documents.Open with the ten arguments the Word link passes.
    Outcome open(IDispatch* app, const std::wstring& file) {
        auto documents = path(app, {L"Documents"});
        return call(documents.get(), L"Open",
                    {file, false, false, false, L"", L"", true, L"", L"", 0});
    }

    void TearDown() override {
        if (word) call(word.get(), L"Quit", {0, Arg::empty(), Arg::empty()});
        word.reset();
        OfficeTest::TearDown();
    }

    ComPtr<IDispatch> word = startWord();
};

TEST_F(AutomationTest, ApplicationPropertiesAndDispatchErrors) {
    ASSERT_TRUE(word);
    EXPECT_TRUE(put(word.get(), L"Caption", L"orvo ZUN!").ok());
    EXPECT_EQ(get(word.get(), L"Caption").text(), L"orvo ZUN!");
    // The link passes a COM boolean; an integer -1 must do the same.
    EXPECT_TRUE(put(word.get(), L"Visible", true).ok());
    EXPECT_TRUE(get(word.get(), L"Visible").flag());
    EXPECT_TRUE(put(word.get(), L"Visible", 0).ok());
    EXPECT_FALSE(get(word.get(), L"Visible").flag());
    // Names are matched without regard to case, as Word's are.
    EXPECT_TRUE(get(word.get(), L"caption").ok());

    EXPECT_EQ(get(word.get(), L"NoSuchMember").hr, DISP_E_UNKNOWNNAME);
    EXPECT_EQ(put(word.get(), L"Name", L"x").hr, DISP_E_MEMBERNOTFOUND);
    Outcome mismatch = put(word.get(), L"Visible", L"not a boolean");
    EXPECT_EQ(mismatch.hr, DISP_E_TYPEMISMATCH);
    EXPECT_EQ(mismatch.argError, 0u);
    EXPECT_EQ(call(word.get(), L"Quit", {0, 0, 0, 0}).hr, DISP_E_BADPARAMCOUNT);
}

TEST_F(AutomationTest, OpensADocumentTheWayTheWordLinkDoes) {
    std::wstring doc = sample(L"report.docx");
    Outcome opened = open(word.get(), doc);
    ASSERT_TRUE(opened.ok()) << narrow(opened.description);
    ASSERT_TRUE(opened.object());
    EXPECT_TRUE(put(path(word.get(), {L"NormalTemplate"}).get(), L"Saved", true).ok());

    auto active = path(word.get(), {L"ActiveDocument"});
    EXPECT_EQ(get(active.get(), L"Name").text(), L"report.docx");
    EXPECT_EQ(get(active.get(), L"FullName").text(), doc);
    auto documents = path(word.get(), {L"Documents"});
    EXPECT_EQ(get(documents.get(), L"Count").number(), 1);
    EXPECT_EQ(get(call(documents.get(), L"Item", {1}).object().get(), L"Name").text(), L"report.docx");
    EXPECT_EQ(get(call(documents.get(), L"Item", {L"REPORT.DOCX"}).object().get(), L"Name").text(), L"report.docx");
    Outcome missing = call(documents.get(), L"Item", {2});
    EXPECT_EQ(missing.hr, DISP_E_EXCEPTION);
    EXPECT_EQ(missing.scode, modelError(5941));

    // Documents(1): the default member, reached by DISPID_VALUE.
    VARIANT index;
    index.vt = VT_I4;
    index.lVal = 1;
    DISPPARAMS params{&index, nullptr, 1, 0};
    UniqueVariant item;
    ASSERT_EQ(documents->Invoke(DISPID_VALUE, IID_NULL, 0, DISPATCH_METHOD | DISPATCH_PROPERTYGET, &params, item.put(),
                                nullptr, nullptr),
              S_OK);
    EXPECT_EQ(item.get()->vt, VT_DISPATCH);

    // Word holds an open document's file: an exclusive open fails until it quits.
    UniqueFile exclusive(::CreateFileW(doc.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    EXPECT_FALSE(exclusive);
    EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));

    EXPECT_TRUE(call(word.get(), L"Quit", {0, Arg::empty(), Arg::empty()}).ok());
    exclusive.reset(::CreateFileW(doc.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    EXPECT_TRUE(exclusive);
    // Word has gone: its objects answer as a vanished server, the link's
    // second Quit included.
    EXPECT_EQ(call(word.get(), L"Quit", {0, Arg::empty(), Arg::empty()}).hr, HRESULT_FROM_WIN32(RPC_S_SERVER_UNAVAILABLE));
    EXPECT_EQ(get(active.get(), L"Name").hr, RPC_E_DISCONNECTED);
    word.reset();
}

TEST_F(AutomationTest, RefusesWhatWordRefuses) {
    Outcome noDocument = get(word.get(), L"ActiveDocument");
    EXPECT_EQ(noDocument.hr, DISP_E_EXCEPTION);
    EXPECT_EQ(noDocument.scode, modelError(4248));
    EXPECT_FALSE(noDocument.description.empty());

    std::wstring absent = file(L"absent.docx");
    Outcome notFound = open(word.get(), absent);
    EXPECT_EQ(notFound.hr, DISP_E_EXCEPTION);
    EXPECT_EQ(notFound.scode, modelError(5174));
    EXPECT_NE(notFound.description.find(absent), std::wstring::npos) << narrow(notFound.description);

    std::wstring broken = file(L"broken.doc");
    writeSample(broken, SampleKind::Broken);
    EXPECT_EQ(open(word.get(), broken).hr, DISP_E_EXCEPTION);
    EXPECT_EQ(get(path(word.get(), {L"Documents"}).get(), L"Count").number(), 0);

    ASSERT_TRUE(open(word.get(), sample(L"zoom.doc")).ok());
    auto doc = path(word.get(), {L"ActiveDocument"});
    auto zoom = path(doc.get(), {L"ActiveWindow", L"ActivePane", L"View", L"Zoom"});
    EXPECT_TRUE(put(zoom.get(), L"Percentage", 10).ok());
    EXPECT_TRUE(put(zoom.get(), L"Percentage", 500).ok());
    EXPECT_EQ(get(zoom.get(), L"Percentage").number(), 500);
    for (int bad : {9, 501, -10}) {
        Outcome o = put(zoom.get(), L"Percentage", bad);
        EXPECT_EQ(o.hr, DISP_E_EXCEPTION) << bad;
        EXPECT_EQ(o.scode, modelError(4608)) << bad;
    }
    EXPECT_EQ(get(zoom.get(), L"Percentage").number(), 500);

    Outcome bar = get(doc.get(), L"CommandBars", {L"iSignature"});
    EXPECT_EQ(bar.hr, DISP_E_EXCEPTION);
    EXPECT_TRUE(call(doc.get(), L"Protect", {1}).ok());
    EXPECT_EQ(call(doc.get(), L"Protect", {1}).hr, DISP_E_EXCEPTION);
    EXPECT_EQ(call(doc.get(), L"Protect", {7}).hr, DISP_E_EXCEPTION);
}

TEST_F(AutomationTest, PreviewMembersChangeWhatTheyName) {
    ASSERT_TRUE(open(word.get(), sample(L"preview.docx")).ok());
    auto doc = path(word.get(), {L"ActiveDocument"});
    for (const wchar_t* name : {L"Standard", L"Formatting", L"Drawing", L"Menu Bar"}) {
        auto bar = get(doc.get(), L"CommandBars", {name}).object();
        ASSERT_TRUE(bar) << narrow(name);
        EXPECT_TRUE(put(bar.get(), L"Enabled", false).ok());
    }
    EXPECT_TRUE(put(get(doc.get(), L"CommandBars", {L"Reviewing"}).object().get(), L"Visible", false).ok());
    // The same bar, reached again and by another spelling, kept the change.
    EXPECT_FALSE(get(get(doc.get(), L"CommandBars", {L"standard"}).object().get(), L"Enabled").flag());
    EXPECT_TRUE(get(get(doc.get(), L"CommandBars", {L"Web"}).object().get(), L"Enabled").flag());
    auto reviewing = call(path(doc.get(), {L"CommandBars"}).get(), L"Item", {L"Reviewing"}).object();
    ASSERT_TRUE(reviewing);
    EXPECT_FALSE(get(reviewing.get(), L"Visible").flag());

    auto window = path(doc.get(), {L"ActiveWindow"});
    EXPECT_TRUE(put(window.get(), L"DisplayRulers", false).ok());
    EXPECT_FALSE(get(window.get(), L"DisplayRulers").flag());
    EXPECT_TRUE(put(doc.get(), L"ShowRevisions", false).ok());
    EXPECT_TRUE(put(doc.get(), L"TrackRevisions", true).ok());
    EXPECT_TRUE(get(doc.get(), L"TrackRevisions").flag());
    EXPECT_FALSE(get(doc.get(), L"Saved").flag());  // tracking is a document setting
    EXPECT_EQ(get(doc.get(), L"ProtectionType").number(), -1);
    EXPECT_TRUE(call(doc.get(), L"Protect", {1}).ok());
    EXPECT_EQ(get(doc.get(), L"ProtectionType").number(), 1);

    auto zoom = path(window.get(), {L"ActivePane", L"View", L"Zoom"});
    EXPECT_TRUE(put(zoom.get(), L"PageFit", 2).ok());
    int width = get(zoom.get(), L"Percentage").number();
    EXPECT_TRUE(put(zoom.get(), L"PageFit", 1).ok());
    int page = get(zoom.get(), L"Percentage").number();
    EXPECT_GE(width, 10);
    EXPECT_LE(page, width);  // the whole page never needs more zoom than its width
    EXPECT_TRUE(put(zoom.get(), L"Percentage", 99).ok());
    EXPECT_EQ(get(zoom.get(), L"PageFit").number(), 0);

    EXPECT_TRUE(call(window.get(), L"SmallScroll", {1, 0, 0, 0}).ok());
    EXPECT_TRUE(call(window.get(), L"SmallScroll", {0, 1, 0, 0}).ok());
    auto first = call(path(doc.get(), {L"Application", L"Documents"}).get(), L"Item", {1}).object();
    ASSERT_TRUE(first);
    EXPECT_TRUE(call(first.get(), L"Activate").ok());
}

TEST_F(AutomationTest, NamedArgumentsLandInTheirPlaces) {
    std::wstring doc = sample(L"named.docx");
    auto documents = path(word.get(), {L"Documents"});
    Outcome opened = invoke(documents.get(), L"Open", DISPATCH_METHOD, {doc}, {{L"ReadOnly", true}});
    ASSERT_TRUE(opened.ok()) << narrow(opened.description);
    EXPECT_TRUE(get(opened.object().get(), L"ReadOnly").flag());
    EXPECT_EQ(call(opened.object().get(), L"Save").hr, DISP_E_EXCEPTION);

    Outcome unknown = invoke(documents.get(), L"Open", DISPATCH_METHOD, {doc}, {{L"NoSuchParameter", true}});
    EXPECT_EQ(unknown.hr, DISP_E_UNKNOWNNAME);
    // Open without its file name is refused before anything happens.
    EXPECT_EQ(invoke(documents.get(), L"Open", DISPATCH_METHOD, {}, {{L"ReadOnly", true}}).hr, DISP_E_PARAMNOTFOUND);
}

// A 40 x 30 bitmap in the clipboard, as the seal window puts one there.
void putBitmapOnClipboard(COLORREF colour) {
    HDC screen = ::GetDC(nullptr);
    HBITMAP bitmap = ::CreateCompatibleBitmap(screen, 40, 30);
    HDC dc = ::CreateCompatibleDC(screen);
    HGDIOBJ old = ::SelectObject(dc, bitmap);
    RECT all = {0, 0, 40, 30};
    HBRUSH brush = ::CreateSolidBrush(colour);
    ::FillRect(dc, &all, brush);
    ::DeleteObject(brush);
    ::SelectObject(dc, old);
    ::DeleteDC(dc);
    ::ReleaseDC(nullptr, screen);
    ASSERT_TRUE(::OpenClipboard(nullptr));
    ::EmptyClipboard();
    ::SetClipboardData(CF_BITMAP, bitmap);
    ::CloseClipboard();
}

void clearClipboard() {
    if (::OpenClipboard(nullptr)) {
        ::EmptyClipboard();
        ::CloseClipboard();
    }
}

TEST_F(AutomationTest, SealStampingMembersFloatThePastedPicture) {
    std::wstring docPath = sample(L"stamp.docx", L"Body");
    ASSERT_TRUE(open(word.get(), docPath).ok());
    auto doc = path(word.get(), {L"ActiveDocument"});
    auto selection = [&] { return path(word.get(), {L"Selection"}); };
    ASSERT_TRUE(call(selection().get(), L"TypeText", {L"abc"}).ok());

    clearClipboard();
    Outcome empty = call(selection().get(), L"Paste");
    EXPECT_EQ(empty.hr, DISP_E_EXCEPTION);
    EXPECT_EQ(empty.scode, modelError(4605));

    for (int copy = 0; copy < 2; ++copy) {
        putBitmapOnClipboard(RGB(200, 0, 0));
        ASSERT_TRUE(call(selection().get(), L"Paste").ok());
        Outcome moved = call(selection().get(), L"MoveLeft", {1, 1, 1});
        ASSERT_TRUE(moved.ok());
        EXPECT_EQ(moved.number(), 1);
        auto shape = call(path(selection().get(), {L"InlineShapes"}).get(), L"Item", {1}).object();
        ASSERT_TRUE(shape);
        EXPECT_TRUE(put(path(shape.get(), {L"PictureFormat"}).get(), L"TransparentBackground", true).ok());
        EXPECT_TRUE(put(path(shape.get(), {L"PictureFormat"}).get(), L"TransparencyColor", 0xFFFFFF).ok());
        EXPECT_TRUE(put(path(shape.get(), {L"Fill"}).get(), L"Visible", false).ok());
        auto floating = call(shape.get(), L"ConvertToShape").object();
        ASSERT_TRUE(floating);
        EXPECT_TRUE(call(floating.get(), L"Select").ok());
        EXPECT_TRUE(put(path(selection().get(), {L"ShapeRange", L"WrapFormat"}).get(), L"Type", 3).ok());
        EXPECT_TRUE(call(path(selection().get(), {L"ShapeRange"}).get(), L"ZOrder", {4}).ok());
        // The converted picture is no longer inline: the same item is gone.
        EXPECT_EQ(get(shape.get(), L"PictureFormat").hr, DISP_E_EXCEPTION);
    }
    EXPECT_EQ(get(path(doc.get(), {L"Shapes"}).get(), L"Count").number(), 2);
    EXPECT_EQ(get(path(doc.get(), {L"InlineShapes"}).get(), L"Count").number(), 0);
    EXPECT_EQ(get(path(doc.get(), {L"Content"}).get(), L"Text").text(), L"abcBody");
    EXPECT_FALSE(get(doc.get(), L"Saved").flag());

    // Nothing inline is selected now: the empty selection has no pictures.
    EXPECT_EQ(call(path(selection().get(), {L"InlineShapes"}).get(), L"Item", {1}).hr, DISP_E_EXCEPTION);
    clearClipboard();

    ASSERT_TRUE(call(doc.get(), L"Save").ok());
    DocumentContent saved = readDocumentFile(docPath, Suite::Word);
    ASSERT_EQ(saved.pictures.size(), 2u);
    for (const auto& p : saved.pictures) {
        EXPECT_TRUE(p.floating);
        EXPECT_EQ(p.widthPx, 40);
        EXPECT_EQ(p.heightPx, 30);
        EXPECT_TRUE(p.transparentBackground);
        EXPECT_EQ(p.transparencyColor, 0xFFFFFF);
        EXPECT_FALSE(p.fillVisible);
        EXPECT_EQ(p.wrapType, 3);
        EXPECT_EQ(p.zOrder, 4);
    }
    EXPECT_EQ(saved.pictures[0].hash, saved.pictures[1].hash);
}

}  // namespace
}  // namespace orvo::fake::test
