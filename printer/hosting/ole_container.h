#pragma once
// The document container: a child window that embeds one OLE document object
// (a Word document or an Excel workbook), activates it in its own rectangle,
// and hands out the object's automation object and command target. The print
// host and the preview window each own one.
//
// Reports arrive from whatever server the request names, so the container
// embeds only the Word and Excel document classes listed in
// acceptedDocumentClasses() and WPS Office's document classes that stand in
// for them; any other class is refused before a server of that class is
// started.
#include <windows.h>
#include <ole2.h>
#include <docobj.h>

#include <span>
#include <string>
#include <string_view>

#include "support/win32/com_ptr.h"
#include "support/ui/window.h"

namespace orvo {

class BorrowedLockBytes;

inline constexpr char kEmptyContainerMessage[] = "Operation not allowed on an empty OLE container";
// GBK: "不支持的文档类型，已拒绝打开" (the error box adds the full stop).
extern const char kRefusedDocumentMessage[];

enum class OleContainerState { Empty, Loaded, Running, Open, InPlaceActive, UIActive };
// Clip: the object keeps its own extent at the top-left corner, clipped to the
// client area. Automatic: the container takes the object's own extent.
enum class OleSizeMode { Clip, Automatic };
enum class OleBorderStyle { None, Single };

struct AcceptedDocumentClass {
    const char* progId;
    CLSID clsid;
    const char* files;  // what carries it, for the reader
};
// The only classes a container loads or creates.
std::span<const AcceptedDocumentClass> acceptedDocumentClasses() noexcept;
bool isAcceptedDocumentClass(const CLSID& clsid) noexcept;

class OleDocumentContainer : public Window {
public:
    // A child of parent at bounds (parent client coordinates).
    OleDocumentContainer(HWND parent, int controlId, const RECT& bounds,
                         OleBorderStyle border = OleBorderStyle::Single);
    ~OleDocumentContainer() override;

    bool empty() const noexcept { return !object_; }
    OleContainerState state() const noexcept;

    // Both discard the object held first; on failure the container is empty.
    // Path: GBK text. The object is embedded (never linked), drawn as content
    // and sized to the client area.
    void createFromFile(const std::string& gbkPath);
    // A container stream: "BDOC", draw aspect, data size, compound document.
    void loadFromStream(std::string_view containerStream);
    // The same, reading the document where it lies instead of in a copy: the
    // bytes must stay unchanged and alive until the container lets the
    // object go (destroyObject, another load, or the container's end).
    void loadFromBorrowedStream(std::string_view containerStream);

    // Starts the object's server without showing the object; its object
    // model can then be reached.
    void run();
    // OLEIVERB_SHOW, OLEIVERB_PRIMARY, ... in this window and its rectangle.
    void activate(LONG verb);
    ComPtr<IDispatch> automationObject() const;
    ComPtr<IOleCommandTarget> commandTarget() const;
    // Asks the server to show its own print dialog and print. Returns whether
    // the server declared the print command supported (and so got it); what
    // the server then does is its own affair.
    bool printWithHostDialog();
    // Writes the object into a new compound file at the path (GBK), replacing
    // an existing file only once the new one is complete.
    void saveAsDocument(const std::string& gbkPath);
    // Closes the running object, saving it first when it changed. The object
    // stays loaded.
    void close();
    void focus();
    // Offers a key message to the in-place active object first, as a
    // container must; true when the object took it.
    bool translateAccelerator(MSG& msg);
    // Drops the object without saving; the container becomes empty.
    void destroyObject() noexcept;

    DWORD drawAspect() const noexcept { return aspect_; }
    void setSizeMode(OleSizeMode mode);
    OleBorderStyle border() const noexcept { return border_; }
    void setBorder(OleBorderStyle border);
    // Moves and sizes the container (parent client coordinates).
    void setBounds(int x, int y, int width, int height);

protected:
    LRESULT onMessage(UINT msg, WPARAM wp, LPARAM lp) override;

private:
    class Site;
    class Frame;
    friend class Site;

    void requireObject() const;
    void loadFromBytes(ComPtr<ILockBytes> bytes, DWORD aspect);
    // The object of the storage, served by the class it names or by the
    // suite that stands in for it.
    ComPtr<IOleObject> loadObject(IStorage* storage, const CLSID& documentClass);
    // Takes a freshly loaded object into the container: site, names, advises.
    void adopt(ComPtr<IOleObject> object, ComPtr<IStorage> storage, ComPtr<ILockBytes> bytes, DWORD aspect);
    RECT clientRect() const noexcept;
    RECT objectRect() const noexcept;
    void placeObject() noexcept;
    void fitToObject() noexcept;
    void paint();

    // Called by the site.
    HRESULT saveObject() noexcept;
    void onInPlaceActivate(bool active) noexcept;
    void onUIActivate(bool active) noexcept;
    void onShowWindow(bool shown) noexcept;
    void onViewChange() noexcept;
    void onObjectClosed() noexcept;

    ComPtr<Site> site_;
    ComPtr<IOleObject> object_;
    ComPtr<IStorage> storage_;     // the object's own storage, in memory
    ComPtr<ILockBytes> bytes_;     // the memory under storage_
    ComPtr<BorrowedLockBytes> borrowed_;  // the same, when it is borrowed memory
    ComPtr<IOleInPlaceObject> inPlace_;
    DWORD aspect_ = DVASPECT_CONTENT;
    DWORD adviseConnection_ = 0;
    SIZEL lastExtent_{};           // the extent the container was last fitted to
    bool inPlaceActive_ = false;
    bool uiActive_ = false;
    bool open_ = false;
    bool placing_ = false;
    OleSizeMode sizeMode_ = OleSizeMode::Clip;
    OleBorderStyle border_;
};

}  // namespace orvo
