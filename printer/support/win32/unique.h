#pragma once
// One RAII owner for every kind of handle, in the spirit of wil::unique_any.
// A Traits type names the handle type, its invalid value and how to close it.
#include <windows.h>
#include <oleauto.h>
#include <utility>

namespace orvo {

template <typename Traits>
class Unique {
public:
    using Handle = typename Traits::Handle;

    Unique() noexcept = default;
    explicit Unique(Handle h) noexcept : handle_(h) {}
    ~Unique() { reset(); }
    Unique(const Unique&) = delete;
    Unique& operator=(const Unique&) = delete;
    Unique(Unique&& other) noexcept : handle_(other.release()) {}
    Unique& operator=(Unique&& other) noexcept {
        if (this != &other) reset(other.release());
        return *this;
    }

    Handle get() const noexcept { return handle_; }
    explicit operator bool() const noexcept { return handle_ != Traits::invalid(); }
    Handle release() noexcept { return std::exchange(handle_, Traits::invalid()); }
    void reset(Handle h = Traits::invalid()) noexcept {
        Handle old = std::exchange(handle_, h);
        if (old != Traits::invalid()) Traits::close(old);
    }
    // For out-parameters: frees what is held and hands out the slot.
    Handle* put() noexcept {
        reset();
        return &handle_;
    }

private:
    Handle handle_ = Traits::invalid();
};

// Traits of a handle that is null when invalid and closed by one function.
template <typename H, auto closeFunction>
struct NullHandleTraits {
    using Handle = H;
    static Handle invalid() noexcept { return nullptr; }
    static void close(Handle h) noexcept { closeFunction(h); }
};
// CreateFile: INVALID_HANDLE_VALUE when invalid.
struct FileHandleTraits {
    using Handle = HANDLE;
    static Handle invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static void close(Handle h) noexcept { ::CloseHandle(h); }
};

using UniqueHandle = Unique<NullHandleTraits<HANDLE, ::CloseHandle>>;  // CreateThread, CreateEvent, OpenProcess...
using UniqueFile = Unique<FileHandleTraits>;
using UniqueModule = Unique<NullHandleTraits<HMODULE, ::FreeLibrary>>;
using UniqueRegKey = Unique<NullHandleTraits<HKEY, ::RegCloseKey>>;
using UniqueGdiObject = Unique<NullHandleTraits<HGDIOBJ, ::DeleteObject>>;
using UniqueFont = Unique<NullHandleTraits<HFONT, ::DeleteObject>>;
using UniqueBitmap = Unique<NullHandleTraits<HBITMAP, ::DeleteObject>>;
using UniqueBrush = Unique<NullHandleTraits<HBRUSH, ::DeleteObject>>;
using UniqueMemoryDc = Unique<NullHandleTraits<HDC, ::DeleteDC>>;  // CreateCompatibleDC

// GetDC/ReleaseDC pairs need the window too.
class WindowDc {
public:
    explicit WindowDc(HWND hwnd) noexcept : hwnd_(hwnd), dc_(::GetDC(hwnd)) {}
    ~WindowDc() {
        if (dc_) ::ReleaseDC(hwnd_, dc_);
    }
    WindowDc(const WindowDc&) = delete;
    WindowDc& operator=(const WindowDc&) = delete;
    HDC get() const noexcept { return dc_; }

private:
    HWND hwnd_;
    HDC dc_;
};

// Restores the previously selected object when it goes out of scope.
class SelectObjectScope {
public:
    SelectObjectScope(HDC dc, HGDIOBJ obj) noexcept : dc_(dc), old_(::SelectObject(dc, obj)) {}
    ~SelectObjectScope() { ::SelectObject(dc_, old_); }
    SelectObjectScope(const SelectObjectScope&) = delete;
    SelectObjectScope& operator=(const SelectObjectScope&) = delete;

private:
    HDC dc_;
    HGDIOBJ old_;
};

class UniqueVariant {
public:
    UniqueVariant() noexcept { ::VariantInit(&v_); }
    ~UniqueVariant() { ::VariantClear(&v_); }
    UniqueVariant(const UniqueVariant&) = delete;
    UniqueVariant& operator=(const UniqueVariant&) = delete;
    UniqueVariant(UniqueVariant&& other) noexcept : v_(other.v_) { ::VariantInit(&other.v_); }
    UniqueVariant& operator=(UniqueVariant&& other) noexcept {
        if (this != &other) {
            ::VariantClear(&v_);
            v_ = other.v_;
            ::VariantInit(&other.v_);
        }
        return *this;
    }
    VARIANT* get() noexcept { return &v_; }
    const VARIANT* get() const noexcept { return &v_; }
    VARIANT* put() noexcept {
        ::VariantClear(&v_);
        return &v_;
    }

private:
    VARIANT v_;
};

// OleInitialize/OleUninitialize for the user-interface thread's apartment.
class OleScope {
public:
    OleScope() noexcept : hr_(::OleInitialize(nullptr)) {}
    ~OleScope() {
        if (SUCCEEDED(hr_)) ::OleUninitialize();
    }
    OleScope(const OleScope&) = delete;
    OleScope& operator=(const OleScope&) = delete;
    HRESULT result() const noexcept { return hr_; }

private:
    HRESULT hr_;
};

}  // namespace orvo
