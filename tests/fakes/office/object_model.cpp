// The object models as tables: for each object, the members the program
// (and the tests) reach by name, with what each does. Objects other than
// the application and the document are made afresh on every access and
// refer back to the document or application they belong to.
#include "object_model.h"

#include <algorithm>
#include <cmath>
#include "journal.h"
#include "office_objects.h"
#include "printing.h"

namespace orvo::fake {
namespace {

constexpr std::wstring_view kWord = L"Microsoft Word";
constexpr std::wstring_view kExcel = L"Microsoft Excel";

// Error numbers and texts the applications give.
[[noreturn]] void noSuchMember() { throwModelError(5941, L"The requested member of the collection does not exist."); }
[[noreturn]] void outOfRange() { throwModelError(4608, L"Value out of range"); }
[[noreturn]] void badParameter() { throwModelError(4120, L"Bad parameter"); }
[[noreturn]] void objectDeleted() { throwModelError(5825, L"Object has been deleted."); }

// ---- states of the view objects

struct AppRef {
    ComPtr<ApplicationObject> app;
    void check() const { app->ensureRunning(); }
};

struct DocRef {
    ComPtr<DocumentObject> doc;
    void check() const { doc->ensureAlive(); }
};

struct BarRef {
    ComPtr<DocumentObject> doc;
    std::wstring name;
    void check() const {
        doc->ensureAlive();
        if (!doc->findBar(name)) objectDeleted();
    }
    DocumentObject::Bar& bar() const { return *doc->findBar(name); }
};

// A picture as an InlineShape or as a Shape: once it has turned from one
// into the other, the old object refers to nothing, as in Word.
struct PictureRef {
    ComPtr<DocumentObject> doc;
    uint32_t id;
    bool floating;
    void check() const {
        doc->ensureAlive();
        const Picture* p = doc->findPicture(id);
        if (!p || p->floating != floating) objectDeleted();
    }
    Picture& picture() const { return *doc->findPicture(id); }
};

// Inline pictures of the document, or only those inside the selection.
struct InlineShapesRef {
    ComPtr<DocumentObject> doc;
    bool selectionOnly;
    void check() const { doc->ensureAlive(); }
};

// Shapes (floating pictures) of the document, or a fixed set of them.
struct ShapeSetRef {
    ComPtr<DocumentObject> doc;
    bool wholeDocument;
    std::vector<uint32_t> ids;
    void check() const { doc->ensureAlive(); }
    std::vector<uint32_t> members() const {
        if (!wholeDocument) return ids;
        std::vector<uint32_t> all;
        for (const auto& p : doc->content.pictures)
            if (p.floating) all.push_back(p.id);
        return all;
    }
};

template <typename T>
ComPtr<IDispatch> make(const Dispatcher<T>& members, T state, const Call& c) {
    return DispatchObject<T>::make(members, std::move(state), c.childLabel());
}

// ---- pictures and the selection

// Positions of the picture marks in the text, in order.
std::vector<size_t> markPositions(const DocumentObject& doc) {
    std::vector<size_t> marks;
    for (size_t i = 0; i < doc.content.text.size(); ++i)
        if (doc.content.text[i] == kPictureMark) marks.push_back(i);
    return marks;
}

// Inline pictures in text order, with where their marks stand.
std::vector<std::pair<uint32_t, size_t>> inlinePictures(const DocumentObject& doc) {
    std::vector<std::pair<uint32_t, size_t>> out;
    std::vector<size_t> marks = markPositions(doc);
    size_t k = 0;
    for (const auto& p : doc.content.pictures)
        if (!p.floating && k < marks.size()) out.emplace_back(p.id, marks[k++]);
    return out;
}

std::vector<uint32_t> inlineShapeIds(const InlineShapesRef& r) {
    std::vector<uint32_t> ids;
    const DocumentObject& doc = *r.doc;
    for (auto [id, at] : inlinePictures(doc))
        if (!r.selectionOnly || (at >= doc.selectionStart && at < doc.selectionEnd)) ids.push_back(id);
    return ids;
}

uint32_t itemAt(const std::vector<uint32_t>& ids, const Call& c) {
    int32_t index = c.intArg(0);
    if (index < 1 || static_cast<size_t>(index) > ids.size()) noSuchMember();
    return ids[static_cast<size_t>(index) - 1];
}

void clampSelection(DocumentObject& doc) {
    size_t n = doc.content.text.size();
    doc.selectionStart = std::min(doc.selectionStart, n);
    doc.selectionEnd = std::min(std::max(doc.selectionEnd, doc.selectionStart), n);
}

// Replaces the selected text with text (which may hold one picture mark,
// for a pasted picture) and leaves the insertion point after it.
void replaceSelection(DocumentObject& doc, const std::wstring& text, Picture* picture) {
    clampSelection(doc);
    doc.selectedPicture = 0;
    auto& c = doc.content;
    // Pictures whose marks fall inside the replaced range go with it.
    std::vector<uint32_t> removed;
    for (auto [id, at] : inlinePictures(doc))
        if (at >= doc.selectionStart && at < doc.selectionEnd) removed.push_back(id);
    c.pictures.erase(std::remove_if(c.pictures.begin(), c.pictures.end(),
                                    [&](const Picture& p) {
                                        return std::find(removed.begin(), removed.end(), p.id) != removed.end();
                                    }),
                     c.pictures.end());
    c.text.erase(doc.selectionStart, doc.selectionEnd - doc.selectionStart);
    if (picture) {
        // Its place among the inline pictures is the number of marks before it.
        size_t before = 0;
        for (size_t i = 0; i < doc.selectionStart; ++i)
            if (c.text[i] == kPictureMark) ++before;
        auto it = c.pictures.begin();
        for (size_t seen = 0; it != c.pictures.end(); ++it) {
            if (it->floating) continue;
            if (seen++ == before) break;
        }
        c.pictures.insert(it, *picture);
    }
    c.text.insert(doc.selectionStart, text);
    doc.selectionStart += text.size();
    doc.selectionEnd = doc.selectionStart;
    doc.changed();
}

int32_t moveSelection(DocumentObject& doc, const Call& c, bool left) {
    int32_t unit = c.intArg(0, 1);
    int32_t count = c.intArg(1, 1);
    bool extend = c.intArg(2, 0) != 0;
    if (unit != 1) badParameter();  // characters only
    if (count < 0) {
        count = -count;
        left = !left;
    }
    clampSelection(doc);
    doc.selectedPicture = 0;
    size_t n = doc.content.text.size();
    size_t& end = left ? doc.selectionStart : doc.selectionEnd;
    int32_t moved = 0;
    if (!extend && doc.selectionStart != doc.selectionEnd) {
        // The first step collapses the selection onto its edge.
        if (left) doc.selectionEnd = doc.selectionStart;
        else doc.selectionStart = doc.selectionEnd;
        ++moved;
    }
    while (moved < count) {
        if (left ? end == 0 : end == n) break;
        left ? --end : ++end;
        ++moved;
    }
    if (!extend) {
        if (left) doc.selectionEnd = doc.selectionStart;
        else doc.selectionStart = doc.selectionEnd;
    }
    return moved;
}

uint64_t fnv1a(const uint8_t* data, size_t size) {
    uint64_t h = 1469598103934665603ull;
    for (size_t i = 0; i < size; ++i) h = (h ^ data[i]) * 1099511628211ull;
    return h;
}

// ---- Word: the view objects' tables

const Dispatcher<DocRef>& zoomMembers();
const Dispatcher<DocRef>& viewMembers();
const Dispatcher<DocRef>& paneMembers();
const Dispatcher<DocRef>& windowMembers();
const Dispatcher<DocRef>& selectionMembers();
const Dispatcher<DocRef>& rangeMembers();
const Dispatcher<DocRef>& commandBarsMembers();
const Dispatcher<BarRef>& commandBarMembers();
const Dispatcher<InlineShapesRef>& inlineShapesMembers();
const Dispatcher<PictureRef>& inlineShapeMembers();
const Dispatcher<PictureRef>& shapeMembers();
const Dispatcher<PictureRef>& pictureFormatMembers();
const Dispatcher<PictureRef>& fillMembers();
const Dispatcher<ShapeSetRef>& shapeSetMembers();
const Dispatcher<ShapeSetRef>& wrapFormatMembers();
const Dispatcher<AppRef>& documentsMembers();
const Dispatcher<AppRef>& templateMembers();
const Dispatcher<AppRef>& workbooksMembers();

// Word reads a zoom of 0 while a page fit is on in some views; a test can
// ask for that with ORVO_FAKE_OFFICE_FIT_READS_ZERO=1.
bool fitReadsZero() {
    wchar_t value[8] = {};
    return ::GetEnvironmentVariableW(L"ORVO_FAKE_OFFICE_FIT_READS_ZERO", value, 8) > 0 && value[0] == L'1';
}

void smallScroll(DocumentObject& doc, const Call& c) {
    int32_t down = c.intArg(0, 0), up = c.intArg(1, 0), right = c.intArg(2, 0), left = c.intArg(3, 0);
    doc.scrollLine = std::max(0, doc.scrollLine + down - up);
    doc.scrollColumn = std::max(0, doc.scrollColumn + right - left);
    doc.repaint();
}

const Dispatcher<DocRef>& zoomMembers() {
    static const Dispatcher<DocRef> d({kWord,
                                       {
                                           {.name = L"Percentage",
                                            .get =
                                                [](DocRef& r, Call& c) {
                                                    c.returns(int32_t(fitReadsZero() && r.doc->pageFit ? 0 : r.doc->zoomPercent));
                                                },
                                            .put =
                                                [](DocRef& r, Call& c) {
                                                    int32_t v = c.intValue();
                                                    if (v < 10 || v > 500) outOfRange();
                                                    r.doc->zoomPercent = v;
                                                    r.doc->pageFit = 0;
                                                    r.doc->repaint();
                                                }},
                                           {.name = L"PageFit",
                                            .get = [](DocRef& r, Call& c) { c.returns(int32_t(r.doc->pageFit)); },
                                            .put =
                                                [](DocRef& r, Call& c) {
                                                    int32_t v = c.intValue();
                                                    if (v < 0 || v > 3) outOfRange();
                                                    r.doc->pageFit = v;
                                                    if (v) r.doc->zoomPercent = r.doc->fitZoom(v);
                                                    r.doc->repaint();
                                                }},
                                       }});
    return d;
}

const Dispatcher<DocRef>& viewMembers() {
    static const Dispatcher<DocRef> d(
        {kWord,
         {
             {.name = L"Zoom", .get = [](DocRef& r, Call& c) { c.returnsObject(make(zoomMembers(), r, c)); }},
             {.name = L"Type", .get = [](DocRef&, Call& c) { c.returns(int32_t(3)); },  // print layout
              .put =
                  [](DocRef&, Call& c) {
                      int32_t v = c.intValue();
                      if (v < 1 || v > 7) outOfRange();
                  }},
         }});
    return d;
}

const Dispatcher<DocRef>& paneMembers() {
    static const Dispatcher<DocRef> d(
        {kWord,
         {
             {.name = L"View", .get = [](DocRef& r, Call& c) { c.returnsObject(make(viewMembers(), r, c)); }},
             {.name = L"SmallScroll",
              .params = {L"Down", L"Up", L"ToRight", L"ToLeft"},
              .call = [](DocRef& r, Call& c) { smallScroll(*r.doc, c); }},
             {.name = L"Document", .get = [](DocRef& r, Call& c) { c.returnsObject(r.doc); }},
         }});
    return d;
}

const Dispatcher<DocRef>& windowMembers() {
    static const Dispatcher<DocRef> d(
        {kWord,
         {
             {.name = L"DisplayRulers",
              .get = [](DocRef& r, Call& c) { c.returns(r.doc->displayRulers); },
              .put =
                  [](DocRef& r, Call& c) {
                      r.doc->displayRulers = c.boolValue();
                      r.doc->repaint();
                  }},
             {.name = L"ActivePane", .get = [](DocRef& r, Call& c) { c.returnsObject(make(paneMembers(), r, c)); }},
             {.name = L"View", .get = [](DocRef& r, Call& c) { c.returnsObject(make(viewMembers(), r, c)); }},
             {.name = L"Selection",
              .get = [](DocRef& r, Call& c) { c.returnsObject(make(selectionMembers(), r, c)); }},
             {.name = L"SmallScroll",
              .params = {L"Down", L"Up", L"ToRight", L"ToLeft"},
              .call = [](DocRef& r, Call& c) { smallScroll(*r.doc, c); }},
             {.name = L"Document", .get = [](DocRef& r, Call& c) { c.returnsObject(r.doc); }},
             {.name = L"Caption",
              .get = [](DocRef& r, Call& c) { c.returns(r.doc->displayName() + L" - " + std::wstring(kWord)); }},
             {.name = L"Activate", .call = [](DocRef& r, Call&) { r.doc->application().activate(r.doc.get()); }},
         }});
    return d;
}

const Dispatcher<DocRef>& rangeMembers() {
    static const Dispatcher<DocRef> d({kWord,
                                       {
                                           {.name = L"Text",
                                            .get =
                                                [](DocRef& r, Call& c) {
                                                    // Inline pictures read as "/", as Word shows them.
                                                    std::wstring text = r.doc->content.text;
                                                    std::replace(text.begin(), text.end(), kPictureMark, L'/');
                                                    c.returns(text);
                                                },
                                            .put =
                                                [](DocRef& r, Call& c) {
                                                    DocumentObject& doc = *r.doc;
                                                    doc.selectionStart = 0;
                                                    doc.selectionEnd = doc.content.text.size();
                                                    replaceSelection(doc, c.textValue(), nullptr);
                                                }},
                                       }});
    return d;
}

const Dispatcher<BarRef>& commandBarMembers() {
    static const Dispatcher<BarRef> d({kWord,
                                       {
                                           {.name = L"Name", .get = [](BarRef& r, Call& c) { c.returns(r.bar().name); }},
                                           {.name = L"Enabled",
                                            .get = [](BarRef& r, Call& c) { c.returns(r.bar().enabled); },
                                            .put = [](BarRef& r, Call& c) { r.bar().enabled = c.boolValue(); }},
                                           {.name = L"Visible",
                                            .get = [](BarRef& r, Call& c) { c.returns(r.bar().visible); },
                                            .put = [](BarRef& r, Call& c) { r.bar().visible = c.boolValue(); }},
                                       }});
    return d;
}

void returnBar(DocumentObject& doc, Call& c) {
    const VARIANT& index = c.arg(0);
    VARTYPE type = index.vt & ~VT_BYREF;
    if (type == VT_BSTR) {
        std::wstring name = c.textArg(0);
        auto* bar = doc.findBar(name);
        if (!bar) throwModelError(5, L"Invalid procedure call or argument");
        c.returnsObject(make(commandBarMembers(), BarRef{ComPtr<DocumentObject>(&doc), bar->name}, c));
        return;
    }
    int32_t i = c.intArg(0);
    if (i < 1 || static_cast<size_t>(i) > doc.commandBars.size()) throwModelError(5, L"Invalid procedure call or argument");
    c.returnsObject(
        make(commandBarMembers(), BarRef{ComPtr<DocumentObject>(&doc), doc.commandBars[static_cast<size_t>(i) - 1].name}, c));
}

const Dispatcher<DocRef>& commandBarsMembers() {
    static const Dispatcher<DocRef> d(
        {kWord,
         {
             {.name = L"Item", .params = {L"Index"}, .call = [](DocRef& r, Call& c) { returnBar(*r.doc, c); }, .isDefault = true},
             {.name = L"Count", .get = [](DocRef& r, Call& c) { c.returns(int32_t(r.doc->commandBars.size())); }},
         }});
    return d;
}

const Dispatcher<PictureRef>& pictureFormatMembers() {
    static const Dispatcher<PictureRef> d({kWord,
                                           {
                                               {.name = L"TransparentBackground",
                                                .get = [](PictureRef& r, Call& c) { c.returns(r.picture().transparentBackground); },
                                                .put =
                                                    [](PictureRef& r, Call& c) {
                                                        r.picture().transparentBackground = c.boolValue();
                                                        r.doc->changed();
                                                    }},
                                               {.name = L"TransparencyColor",
                                                .get = [](PictureRef& r, Call& c) { c.returns(r.picture().transparencyColor); },
                                                .put =
                                                    [](PictureRef& r, Call& c) {
                                                        r.picture().transparencyColor = c.intValue();
                                                        r.doc->changed();
                                                    }},
                                           }});
    return d;
}

const Dispatcher<PictureRef>& fillMembers() {
    static const Dispatcher<PictureRef> d({kWord,
                                           {
                                               {.name = L"Visible",
                                                .get = [](PictureRef& r, Call& c) { c.returns(r.picture().fillVisible); },
                                                .put =
                                                    [](PictureRef& r, Call& c) {
                                                        r.picture().fillVisible = c.boolValue();
                                                        r.doc->changed();
                                                    }},
                                           }});
    return d;
}

void pictureSize(const Picture& p, Call& c, bool width) {
    c.returns(static_cast<double>(width ? p.widthPx : p.heightPx) * 0.75);  // points at 96 dpi
}

const Dispatcher<PictureRef>& inlineShapeMembers() {
    static const Dispatcher<PictureRef> d(
        {kWord,
         {
             {.name = L"PictureFormat",
              .get = [](PictureRef& r, Call& c) { c.returnsObject(make(pictureFormatMembers(), r, c)); }},
             {.name = L"Fill", .get = [](PictureRef& r, Call& c) { c.returnsObject(make(fillMembers(), r, c)); }},
             {.name = L"Width", .get = [](PictureRef& r, Call& c) { pictureSize(r.picture(), c, true); }},
             {.name = L"Height", .get = [](PictureRef& r, Call& c) { pictureSize(r.picture(), c, false); }},
             {.name = L"Type", .get = [](PictureRef&, Call& c) { c.returns(int32_t(3)); }},  // picture
             {.name = L"ConvertToShape",
              .call =
                  [](PictureRef& r, Call& c) {
                      DocumentObject& doc = *r.doc;
                      Picture& p = r.picture();
                      // The picture leaves the text: its mark goes, the
                      // selection and the picture order follow.
                      size_t at = 0;
                      for (auto [id, pos] : inlinePictures(doc))
                          if (id == p.id) at = pos;
                      doc.content.text.erase(at, 1);
                      if (doc.selectionStart > at) --doc.selectionStart;
                      if (doc.selectionEnd > at) --doc.selectionEnd;
                      p.floating = true;
                      p.wrapType = 0;  // square
                      doc.changed();
                      c.returnsObject(make(shapeMembers(), PictureRef{r.doc, r.id, true}, c));
                  }},
             {.name = L"Delete",
              .call =
                  [](PictureRef& r, Call&) {
                      DocumentObject& doc = *r.doc;
                      for (auto [id, pos] : inlinePictures(doc)) {
                          if (id != r.id) continue;
                          doc.selectionStart = pos;
                          doc.selectionEnd = pos + 1;
                          replaceSelection(doc, L"", nullptr);
                          break;
                      }
                  }},
         }});
    return d;
}

const Dispatcher<ShapeSetRef>& wrapFormatMembers() {
    static const Dispatcher<ShapeSetRef> d({kWord,
                                            {
                                                {.name = L"Type",
                                                 .get =
                                                     [](ShapeSetRef& r, Call& c) {
                                                         auto ids = r.members();
                                                         Picture* p = ids.empty() ? nullptr : r.doc->findPicture(ids[0]);
                                                         if (!p) objectDeleted();
                                                         c.returns(int32_t(p->wrapType));
                                                     },
                                                 .put =
                                                     [](ShapeSetRef& r, Call& c) {
                                                         int32_t v = c.intValue();
                                                         if (v < 0 || v > 7) outOfRange();
                                                         for (uint32_t id : r.members())
                                                             if (Picture* p = r.doc->findPicture(id)) p->wrapType = v;
                                                         r.doc->changed();
                                                     }},
                                            }});
    return d;
}

void zOrder(DocumentObject& doc, const std::vector<uint32_t>& ids, const Call& c) {
    int32_t command = c.intArg(0);
    if (command < 0 || command > 5) outOfRange();
    for (uint32_t id : ids)
        if (Picture* p = doc.findPicture(id)) p->zOrder = command;
    doc.changed();
}

const Dispatcher<PictureRef>& shapeMembers() {
    static const Dispatcher<PictureRef> d(
        {kWord,
         {
             {.name = L"Select",
              .params = {L"Replace"},
              .call =
                  [](PictureRef& r, Call&) {
                      r.doc->selectedPicture = r.id;
                      r.doc->selectionEnd = r.doc->selectionStart;
                  }},
             {.name = L"WrapFormat",
              .get = [](PictureRef& r, Call& c) { c.returnsObject(make(wrapFormatMembers(), ShapeSetRef{r.doc, false, {r.id}}, c)); }},
             {.name = L"ZOrder", .params = {L"ZOrderCmd"}, .call = [](PictureRef& r, Call& c) { zOrder(*r.doc, {r.id}, c); }},
             {.name = L"PictureFormat",
              .get = [](PictureRef& r, Call& c) { c.returnsObject(make(pictureFormatMembers(), r, c)); }},
             {.name = L"Fill", .get = [](PictureRef& r, Call& c) { c.returnsObject(make(fillMembers(), r, c)); }},
             {.name = L"Width", .get = [](PictureRef& r, Call& c) { pictureSize(r.picture(), c, true); }},
             {.name = L"Height", .get = [](PictureRef& r, Call& c) { pictureSize(r.picture(), c, false); }},
             {.name = L"Name", .get = [](PictureRef& r, Call& c) { c.returns(L"Picture " + std::to_wstring(r.id)); }},
             {.name = L"Type", .get = [](PictureRef&, Call& c) { c.returns(int32_t(13)); }},  // picture
             {.name = L"Delete",
              .call =
                  [](PictureRef& r, Call&) {
                      auto& pictures = r.doc->content.pictures;
                      pictures.erase(std::remove_if(pictures.begin(), pictures.end(),
                                                    [&](const Picture& p) { return p.id == r.id; }),
                                     pictures.end());
                      if (r.doc->selectedPicture == r.id) r.doc->selectedPicture = 0;
                      r.doc->changed();
                  }},
         }});
    return d;
}

const Dispatcher<ShapeSetRef>& shapeSetMembers() {
    static const Dispatcher<ShapeSetRef> d(
        {kWord,
         {
             {.name = L"Item",
              .params = {L"Index"},
              .call =
                  [](ShapeSetRef& r, Call& c) {
                      c.returnsObject(make(shapeMembers(), PictureRef{r.doc, itemAt(r.members(), c), true}, c));
                  },
              .isDefault = true},
             {.name = L"Count", .get = [](ShapeSetRef& r, Call& c) { c.returns(int32_t(r.members().size())); }},
             {.name = L"WrapFormat",
              .get =
                  [](ShapeSetRef& r, Call& c) {
                      if (r.members().empty())
                          throwModelError(4605, L"This method or property is not available because the object is empty.");
                      c.returnsObject(make(wrapFormatMembers(), ShapeSetRef{r.doc, false, r.members()}, c));
                  }},
             {.name = L"ZOrder",
              .params = {L"ZOrderCmd"},
              .call =
                  [](ShapeSetRef& r, Call& c) {
                      if (r.members().empty())
                          throwModelError(4605, L"This method or property is not available because the object is empty.");
                      zOrder(*r.doc, r.members(), c);
                  }},
         }});
    return d;
}

const Dispatcher<InlineShapesRef>& inlineShapesMembers() {
    static const Dispatcher<InlineShapesRef> d(
        {kWord,
         {
             {.name = L"Item",
              .params = {L"Index"},
              .call =
                  [](InlineShapesRef& r, Call& c) {
                      c.returnsObject(make(inlineShapeMembers(), PictureRef{r.doc, itemAt(inlineShapeIds(r), c), false}, c));
                  },
              .isDefault = true},
             {.name = L"Count", .get = [](InlineShapesRef& r, Call& c) { c.returns(int32_t(inlineShapeIds(r).size())); }},
         }});
    return d;
}

const Dispatcher<DocRef>& selectionMembers() {
    static const Dispatcher<DocRef> d(
        {kWord,
         {
             {.name = L"Paste", .call = [](DocRef& r, Call&) { pasteClipboard(*r.doc); }},
             {.name = L"TypeText",
              .params = {L"Text"},
              .call = [](DocRef& r, Call& c) { replaceSelection(*r.doc, c.textArg(0), nullptr); }},
             {.name = L"MoveLeft",
              .params = {L"Unit", L"Count", L"Extend"},
              .call = [](DocRef& r, Call& c) { c.returns(moveSelection(*r.doc, c, true)); }},
             {.name = L"MoveRight",
              .params = {L"Unit", L"Count", L"Extend"},
              .call = [](DocRef& r, Call& c) { c.returns(moveSelection(*r.doc, c, false)); }},
             {.name = L"InlineShapes",
              .get = [](DocRef& r, Call& c) { c.returnsObject(make(inlineShapesMembers(), InlineShapesRef{r.doc, true}, c)); }},
             {.name = L"ShapeRange",
              .get =
                  [](DocRef& r, Call& c) {
                      std::vector<uint32_t> ids;
                      if (r.doc->selectedPicture && r.doc->findPicture(r.doc->selectedPicture))
                          ids.push_back(r.doc->selectedPicture);
                      c.returnsObject(make(shapeSetMembers(), ShapeSetRef{r.doc, false, ids}, c));
                  }},
             {.name = L"Start",
              .get =
                  [](DocRef& r, Call& c) {
                      clampSelection(*r.doc);
                      c.returns(int32_t(r.doc->selectionStart));
                  }},
             {.name = L"End",
              .get =
                  [](DocRef& r, Call& c) {
                      clampSelection(*r.doc);
                      c.returns(int32_t(r.doc->selectionEnd));
                  }},
             {.name = L"Text",
              .get =
                  [](DocRef& r, Call& c) {
                      DocumentObject& doc = *r.doc;
                      clampSelection(doc);
                      std::wstring text = doc.content.text.substr(doc.selectionStart, doc.selectionEnd - doc.selectionStart);
                      std::replace(text.begin(), text.end(), kPictureMark, L'/');
                      c.returns(text);
                  }},
             {.name = L"Type",
              .get =
                  [](DocRef& r, Call& c) {
                      DocumentObject& doc = *r.doc;
                      clampSelection(doc);
                      int32_t type = 1;  // insertion point
                      if (doc.selectedPicture) type = 8;  // shape
                      else if (doc.selectionEnd == doc.selectionStart + 1 && doc.content.text[doc.selectionStart] == kPictureMark)
                          type = 7;  // inline shape
                      else if (doc.selectionEnd > doc.selectionStart)
                          type = 2;  // text
                      c.returns(type);
                  }},
             {.name = L"Document", .get = [](DocRef& r, Call& c) { c.returnsObject(r.doc); }},
         }});
    return d;
}

// ---- Word: application, documents, template

const Dispatcher<AppRef>& templateMembers() {
    static const Dispatcher<AppRef> d({kWord,
                                       {
                                           {.name = L"Saved",
                                            .get = [](AppRef& r, Call& c) { c.returns(r.app->normalTemplateSaved); },
                                            .put = [](AppRef& r, Call& c) { r.app->normalTemplateSaved = c.boolValue(); }},
                                           {.name = L"Name", .get = [](AppRef&, Call& c) { c.returns(L"Normal.dotm"); }},
                                       }});
    return d;
}

DocumentObject& documentByIndex(ApplicationObject& app, const Call& c) {
    const VARIANT& index = c.arg(0);
    if ((index.vt & ~VT_BYREF) == VT_BSTR) {
        std::wstring name = c.textArg(0);
        for (size_t i = 0; i < app.documentCount(); ++i)
            if (::CompareStringOrdinal(app.document(i)->displayName().c_str(), -1, name.c_str(), -1, TRUE) == CSTR_EQUAL)
                return *app.document(i);
        noSuchMember();
    }
    int32_t i = c.intArg(0);
    if (i < 1 || static_cast<size_t>(i) > app.documentCount()) noSuchMember();
    return *app.document(static_cast<size_t>(i) - 1);
}

const Dispatcher<AppRef>& documentsMembers() {
    static const Dispatcher<AppRef> d(
        {kWord,
         {
             {.name = L"Item",
              .params = {L"Index"},
              .call = [](AppRef& r, Call& c) { c.returnsObject(ComPtr<DocumentObject>(&documentByIndex(*r.app, c))); },
              .isDefault = true},
             {.name = L"Count", .get = [](AppRef& r, Call& c) { c.returns(int32_t(r.app->documentCount())); }},
             {.name = L"Open",
              .params = {L"FileName", L"ConfirmConversions", L"ReadOnly", L"AddToRecentFiles", L"PasswordDocument",
                         L"PasswordTemplate", L"Revert", L"WritePasswordDocument", L"WritePasswordTemplate", L"Format",
                         L"Encoding", L"Visible", L"OpenAndRepair", L"DocumentDirection", L"NoEncodingDialog",
                         L"XMLTransform"},
              .call =
                  [](AppRef& r, Call& c) {
                      std::wstring file = c.textArg(0);
                      c.returnsObject(r.app->openFile(file, c.boolArg(2, false), c.boolArg(6, false)));
                  }},
             {.name = L"Add",
              .params = {L"Template", L"NewTemplate", L"DocumentType", L"Visible"},
              .call = [](AppRef& r, Call& c) { c.returnsObject(r.app->newDocument()); }},
             {.name = L"Application", .get = [](AppRef& r, Call& c) { c.returnsObject(r.app); }},
         }});
    return d;
}

// SaveChanges as the applications take it: Word's -1 saves, 0 and -2
// (prompt; no one answers here) do not; Excel's True saves.
bool saveRequested(const Call& c, size_t i) { return c.has(i) && c.intArg(i) == -1; }

// ---- Excel

const Dispatcher<AppRef>& workbooksMembers() {
    static const Dispatcher<AppRef> d(
        {kExcel,
         {
             {.name = L"Item",
              .params = {L"Index"},
              .call = [](AppRef& r, Call& c) { c.returnsObject(ComPtr<DocumentObject>(&documentByIndex(*r.app, c))); },
              .isDefault = true},
             {.name = L"Count", .get = [](AppRef& r, Call& c) { c.returns(int32_t(r.app->documentCount())); }},
             {.name = L"Open",
              .params = {L"Filename", L"UpdateLinks", L"ReadOnly"},
              .call = [](AppRef& r, Call& c) { c.returnsObject(r.app->openFile(c.textArg(0), c.boolArg(2, false), false)); }},
             {.name = L"Add", .params = {L"Template"}, .call = [](AppRef& r, Call& c) { c.returnsObject(r.app->newDocument()); }},
         }});
    return d;
}

}  // namespace

void pasteClipboard(DocumentObject& doc) {
    std::vector<uint8_t> dib;
    std::wstring text;
    bool opened = false;
    for (int attempt = 0; attempt < 20 && !(opened = ::OpenClipboard(nullptr)); ++attempt) ::Sleep(10);
    if (opened) {
        if (HANDLE h = ::GetClipboardData(CF_DIB)) {
            if (auto* p = static_cast<const uint8_t*>(::GlobalLock(h))) {
                dib.assign(p, p + ::GlobalSize(h));
                ::GlobalUnlock(h);
            }
        } else if (HANDLE t = ::GetClipboardData(CF_UNICODETEXT)) {
            if (auto* p = static_cast<const wchar_t*>(::GlobalLock(t))) {
                text.assign(p, wcsnlen(p, ::GlobalSize(t) / sizeof(wchar_t)));
                ::GlobalUnlock(t);
            }
        }
        ::CloseClipboard();
    }
    if (dib.size() >= sizeof(BITMAPINFOHEADER)) {
        const auto* h = reinterpret_cast<const BITMAPINFOHEADER*>(dib.data());
        Picture p;
        p.id = doc.nextPictureId++;
        p.widthPx = h->biWidth;
        p.heightPx = std::abs(h->biHeight);
        size_t colours = h->biClrUsed ? h->biClrUsed : (h->biBitCount <= 8 ? (1u << h->biBitCount) : 0);
        size_t offset = h->biSize + (colours + (h->biCompression == BI_BITFIELDS ? 3 : 0)) * sizeof(RGBQUAD);
        if (offset > dib.size()) offset = dib.size();
        p.hash = fnv1a(dib.data() + offset, dib.size() - offset);
        p.dib = std::move(dib);
        replaceSelection(doc, std::wstring(1, kPictureMark), &p);
        return;
    }
    if (!text.empty()) {
        replaceSelection(doc, text, nullptr);
        return;
    }
    throwModelError(4605, L"This method or property is not available because the Clipboard is empty or not valid.");
}

const Dispatcher<ApplicationObject>& applicationMembers(Suite suite) {
    using A = ApplicationObject;
    auto self = [](A& a) { return ComPtr<A>(&a); };
    static const Dispatcher<A> word(
        {kWord,
         {
             {.name = L"Application", .get = [self](A& a, Call& c) { c.returnsObject(self(a)); }},
             {.name = L"Name", .get = [](A&, Call& c) { c.returns(kWord); }},
             {.name = L"Version", .get = [](A&, Call& c) { c.returns(L"16.0"); }},
             {.name = L"Caption",
              .get = [](A& a, Call& c) { c.returns(a.caption); },
              .put = [](A& a, Call& c) { a.setCaption(c.textValue()); }},
             {.name = L"Visible",
              .get = [](A& a, Call& c) { c.returns(a.visible); },
              .put = [](A& a, Call& c) { a.setVisible(c.boolValue()); }},
             {.name = L"DisplayAlerts",
              .get = [](A& a, Call& c) { c.returns(int32_t(a.displayAlerts ? -1 : 0)); },
              .put = [](A& a, Call& c) { a.displayAlerts = c.intValue() != 0; }},
             {.name = L"AutomationSecurity",
              .get = [](A& a, Call& c) { c.returns(a.automationSecurity); },
              .put =
                  [](A& a, Call& c) {
                      const int32_t value = c.intValue();
                      if (value < 1 || value > 3) outOfRange();
                      a.automationSecurity = value;
                  }},
             {.name = L"Documents",
              .get = [self](A& a, Call& c) { c.returnsObject(make(documentsMembers(), AppRef{self(a)}, c)); }},
             {.name = L"ActiveDocument",
              .get = [](A& a, Call& c) { c.returnsObject(ComPtr<DocumentObject>(&a.requireActiveDocument())); }},
             {.name = L"ActiveWindow",
              .get =
                  [](A& a, Call& c) {
                      c.returnsObject(make(windowMembers(), DocRef{ComPtr<DocumentObject>(&a.requireActiveDocument())}, c));
                  }},
             {.name = L"Selection",
              .get =
                  [](A& a, Call& c) {
                      c.returnsObject(
                          make(selectionMembers(), DocRef{ComPtr<DocumentObject>(&a.requireActiveDocument())}, c));
                  }},
             {.name = L"NormalTemplate",
              .get = [self](A& a, Call& c) { c.returnsObject(make(templateMembers(), AppRef{self(a)}, c)); }},
             {.name = L"Quit",
              .params = {L"SaveChanges", L"OriginalFormat", L"RouteDocument"},
              .call = [](A& a, Call& c) { a.quit(saveRequested(c, 0)); }},
         }});
    static const Dispatcher<A> excel(
        {kExcel,
         {
             {.name = L"Application", .get = [self](A& a, Call& c) { c.returnsObject(self(a)); }},
             {.name = L"Name", .get = [](A&, Call& c) { c.returns(kExcel); }},
             {.name = L"Caption",
              .get = [](A& a, Call& c) { c.returns(a.caption); },
              .put = [](A& a, Call& c) { a.caption = c.textValue(); }},
             {.name = L"Visible",
              .get = [](A& a, Call& c) { c.returns(a.visible); },
              .put = [](A& a, Call& c) { a.visible = c.boolValue(); }},
             {.name = L"DisplayAlerts",
              .get = [](A& a, Call& c) { c.returns(a.displayAlerts); },
              .put = [](A& a, Call& c) { a.displayAlerts = c.boolValue(); }},
             {.name = L"AutomationSecurity",
              .get = [](A& a, Call& c) { c.returns(a.automationSecurity); },
              .put =
                  [](A& a, Call& c) {
                      const int32_t value = c.intValue();
                      if (value < 1 || value > 3) outOfRange();
                      a.automationSecurity = value;
                  }},
             // Excel answers Nothing, not an error, when no workbook is open.
             {.name = L"ActiveWorkbook",
              .get = [](A& a, Call& c) { c.returnsObject(ComPtr<DocumentObject>(a.activeDocument())); }},
             {.name = L"Workbooks",
              .get = [self](A& a, Call& c) { c.returnsObject(make(workbooksMembers(), AppRef{self(a)}, c)); }},
             {.name = L"Quit", .call = [](A& a, Call&) { a.quit(false); }},
         }});
    return suite == Suite::Word ? word : excel;
}

const Dispatcher<DocumentObject>& documentMembers(Suite suite) {
    using D = DocumentObject;
    auto self = [](D& d) { return ComPtr<D>(&d); };
    static const Dispatcher<D> word(
        {kWord,
         {
             {.name = L"Application", .get = [](D& d, Call& c) { c.returnsObject(ComPtr<ApplicationObject>(&d.application())); }},
             {.name = L"Name", .get = [](D& d, Call& c) { c.returns(d.displayName()); }},
             {.name = L"FullName", .get = [](D& d, Call& c) { c.returns(d.path.empty() ? d.displayName() : d.path); }},
             {.name = L"Path",
              .get =
                  [](D& d, Call& c) {
                      size_t slash = d.path.find_last_of(L"\\/");
                      c.returns(slash == std::wstring::npos ? std::wstring() : d.path.substr(0, slash));
                  }},
             {.name = L"Saved",
              .get = [](D& d, Call& c) { c.returns(d.saved); },
              .put = [](D& d, Call& c) { d.saved = c.boolValue(); }},
             {.name = L"ReadOnly", .get = [](D& d, Call& c) { c.returns(d.readOnly); }},
             {.name = L"ShowRevisions",
              .get = [](D& d, Call& c) { c.returns(d.showRevisions); },
              .put =
                  [](D& d, Call& c) {
                      d.showRevisions = c.boolValue();
                      d.repaint();
                  }},
             {.name = L"TrackRevisions",
              .get = [](D& d, Call& c) { c.returns(d.content.trackRevisions); },
              .put =
                  [](D& d, Call& c) {
                      bool v = c.boolValue();
                      if (v == d.content.trackRevisions) return;
                      d.content.trackRevisions = v;
                      d.changed();
                  }},
             {.name = L"CommandBars",
              .params = {L"Index"},
              .get =
                  [self](D& d, Call& c) {
                      if (c.has(0)) returnBar(d, c);
                      else c.returnsObject(make(commandBarsMembers(), DocRef{self(d)}, c));
                  }},
             {.name = L"ActiveWindow",
              .get = [self](D& d, Call& c) { c.returnsObject(make(windowMembers(), DocRef{self(d)}, c)); }},
             {.name = L"Content", .get = [self](D& d, Call& c) { c.returnsObject(make(rangeMembers(), DocRef{self(d)}, c)); }},
             {.name = L"Shapes",
              .get = [self](D& d, Call& c) { c.returnsObject(make(shapeSetMembers(), ShapeSetRef{self(d), true, {}}, c)); }},
             {.name = L"InlineShapes",
              .get =
                  [self](D& d, Call& c) { c.returnsObject(make(inlineShapesMembers(), InlineShapesRef{self(d), false}, c)); }},
             {.name = L"ProtectionType", .get = [](D& d, Call& c) { c.returns(int32_t(d.content.protection)); }},
             {.name = L"Protect",
              .params = {L"Type", L"NoReset", L"Password", L"UseIRM", L"EnforceStyleLock"},
              .call =
                  [](D& d, Call& c) {
                      int32_t type = c.intArg(0);
                      if (type < 0 || type > 3) badParameter();
                      if (d.content.protection != -1)
                          throwModelError(4605, L"This method or property is not available because the document is already protected.");
                      d.content.protection = type;
                      d.changed();
                  }},
             {.name = L"Unprotect",
              .params = {L"Password"},
              .call =
                  [](D& d, Call&) {
                      if (d.content.protection == -1)
                          throwModelError(4605, L"This method or property is not available because the document is not protected.");
                      d.content.protection = -1;
                      d.changed();
                  }},
             {.name = L"PrintOut",
              .params = {L"Background", L"Append", L"Range", L"OutputFileName", L"From", L"To", L"Item", L"Copies",
                         L"Pages", L"PageType", L"PrintToFile", L"Collate", L"FileName", L"ActivePrinterMacGX",
                         L"ManualDuplexPrint", L"PrintZoomColumn", L"PrintZoomRow", L"PrintZoomPaperWidth",
                         L"PrintZoomPaperHeight"},
              .call = [](D& d, Call&) { d.printOut(); }},
             {.name = L"Save", .call = [](D& d, Call&) { d.save(); }},
             {.name = L"SaveAs",
              .params = {L"FileName", L"FileFormat", L"LockComments", L"Password", L"AddToRecentFiles",
                         L"WritePassword", L"ReadOnlyRecommended", L"EmbedTrueTypeFonts", L"SaveNativePictureFormat",
                         L"SaveFormsData", L"SaveAsAOCELetter", L"Encoding", L"InsertLineBreaks", L"AllowSubstitutions",
                         L"LineEnding", L"AddBiDiMarks", L"CompatibilityMode"},
              .call = [](D& d, Call& c) { d.saveAs(c.textArg(0)); }},
             {.name = L"SaveAs2",
              .params = {L"FileName", L"FileFormat", L"LockComments", L"Password", L"AddToRecentFiles",
                         L"WritePassword", L"ReadOnlyRecommended", L"EmbedTrueTypeFonts", L"SaveNativePictureFormat",
                         L"SaveFormsData", L"SaveAsAOCELetter", L"Encoding", L"InsertLineBreaks", L"AllowSubstitutions",
                         L"LineEnding", L"AddBiDiMarks", L"CompatibilityMode"},
              .call = [](D& d, Call& c) { d.saveAs(c.textArg(0)); }},
             {.name = L"Close",
              .params = {L"SaveChanges", L"OriginalFormat", L"RouteDocument"},
              .call = [](D& d, Call& c) { d.close(saveRequested(c, 0), true); }},
             {.name = L"Activate", .call = [](D& d, Call&) { d.application().activate(&d); }},
         }});
    static const Dispatcher<D> excel(
        {kExcel,
         {
             {.name = L"Application", .get = [](D& d, Call& c) { c.returnsObject(ComPtr<ApplicationObject>(&d.application())); }},
             {.name = L"Name", .get = [](D& d, Call& c) { c.returns(d.displayName()); }},
             {.name = L"FullName", .get = [](D& d, Call& c) { c.returns(d.path.empty() ? d.displayName() : d.path); }},
             {.name = L"Saved",
              .get = [](D& d, Call& c) { c.returns(d.saved); },
              .put = [](D& d, Call& c) { d.saved = c.boolValue(); }},
             {.name = L"PrintOut",
              .params = {L"From", L"To", L"Copies", L"Preview", L"ActivePrinter", L"PrintToFile", L"Collate",
                         L"PrToFileName", L"IgnorePrintAreas"},
              .call =
                  [](D& d, Call& c) {
                      // Excel prints on the printer named here, else the default.
                      if (c.has(4)) printDocument(c.textArg(4), nullptr, d.displayName(), d.content);
                      else d.printOut();
                  }},
             {.name = L"Save", .call = [](D& d, Call&) { d.save(); }},
             {.name = L"SaveAs", .params = {L"Filename", L"FileFormat"}, .call = [](D& d, Call& c) { d.saveAs(c.textArg(0)); }},
             {.name = L"Close",
              .params = {L"SaveChanges", L"Filename", L"RouteWorkbook"},
              .call = [](D& d, Call& c) { d.close(c.boolArg(0, false), true); }},
             {.name = L"Activate", .call = [](D& d, Call&) { d.application().activate(&d); }},
         }});
    return suite == Suite::Word ? word : excel;
}

}  // namespace orvo::fake
