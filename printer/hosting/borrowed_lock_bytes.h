#pragma once
// An ILockBytes over memory that someone else owns: structured storage reads
// the document where it already lies instead of in a copy of its own. The
// first write (or resize) copies the bytes into memory of its own, so the
// owner's bytes are never changed. forget() drops the borrowed view; the
// container calls it when it lets the object go, so a server that keeps the
// storage longer reads nothing instead of memory that may be gone.
#include <windows.h>
#include <objidl.h>

#include <cstdint>
#include <span>
#include <vector>

#include "support/win32/com_object.h"

namespace orvo {

class BorrowedLockBytes final : public ComObject<ILockBytes> {
public:
    explicit BorrowedLockBytes(std::span<const std::uint8_t> borrowed) noexcept : borrowed_(borrowed) {}

    void forget() noexcept;
    // Whether the bytes were copied because something was written.

    HRESULT STDMETHODCALLTYPE ReadAt(ULARGE_INTEGER offset, void* buffer, ULONG count, ULONG* read) override;
    HRESULT STDMETHODCALLTYPE WriteAt(ULARGE_INTEGER offset, const void* buffer, ULONG count,
                                      ULONG* written) override;
    HRESULT STDMETHODCALLTYPE Flush() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE SetSize(ULARGE_INTEGER size) override;
    HRESULT STDMETHODCALLTYPE LockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override {
        return STG_E_INVALIDFUNCTION;
    }
    HRESULT STDMETHODCALLTYPE UnlockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override {
        return STG_E_INVALIDFUNCTION;
    }
    HRESULT STDMETHODCALLTYPE Stat(STATSTG* stat, DWORD flags) override;

private:
    std::span<const std::uint8_t> bytes() const noexcept {
        return copied_ ? std::span<const std::uint8_t>(own_) : borrowed_;
    }
    // Makes the bytes our own before the first change; false when out of memory.
    bool copyOnWrite() noexcept;

    std::span<const std::uint8_t> borrowed_;
    std::vector<std::uint8_t> own_;
    bool copied_ = false;
    bool forgotten_ = false;
};

}  // namespace orvo
