#include "hosting/borrowed_lock_bytes.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace orvo {

void BorrowedLockBytes::forget() noexcept {
    forgotten_ = true;
    borrowed_ = {};
    own_ = {};
    copied_ = false;
}

HRESULT BorrowedLockBytes::ReadAt(ULARGE_INTEGER offset, void* buffer, ULONG count, ULONG* read) {
    if (read) *read = 0;
    if (!buffer && count) return STG_E_INVALIDPOINTER;
    if (forgotten_) return STG_E_REVERTED;
    const auto data = bytes();
    if (offset.QuadPart >= data.size()) return S_OK;
    const size_t available = data.size() - static_cast<size_t>(offset.QuadPart);
    const size_t n = std::min<size_t>(count, available);
    std::memcpy(buffer, data.data() + offset.QuadPart, n);
    if (read) *read = static_cast<ULONG>(n);
    return S_OK;
}

bool BorrowedLockBytes::copyOnWrite() noexcept {
    if (copied_) return true;
    try {
        own_.assign(borrowed_.begin(), borrowed_.end());
    } catch (const std::bad_alloc&) {
        return false;
    }
    copied_ = true;
    borrowed_ = {};
    return true;
}

HRESULT BorrowedLockBytes::WriteAt(ULARGE_INTEGER offset, const void* buffer, ULONG count, ULONG* written) {
    if (written) *written = 0;
    if (!buffer && count) return STG_E_INVALIDPOINTER;
    if (forgotten_) return STG_E_REVERTED;
    if (!copyOnWrite()) return STG_E_MEDIUMFULL;
    const std::uint64_t end = offset.QuadPart + count;
    if (end > SIZE_MAX) return STG_E_MEDIUMFULL;
    try {
        if (end > own_.size()) own_.resize(static_cast<size_t>(end));
    } catch (const std::bad_alloc&) {
        return STG_E_MEDIUMFULL;
    }
    if (count) std::memcpy(own_.data() + offset.QuadPart, buffer, count);
    if (written) *written = count;
    return S_OK;
}

HRESULT BorrowedLockBytes::SetSize(ULARGE_INTEGER size) {
    if (forgotten_) return STG_E_REVERTED;
    if (size.QuadPart == bytes().size()) return S_OK;
    if (size.QuadPart > SIZE_MAX || !copyOnWrite()) return STG_E_MEDIUMFULL;
    try {
        own_.resize(static_cast<size_t>(size.QuadPart));
    } catch (const std::bad_alloc&) {
        return STG_E_MEDIUMFULL;
    }
    return S_OK;
}

HRESULT BorrowedLockBytes::Stat(STATSTG* stat, DWORD) {
    if (!stat) return STG_E_INVALIDPOINTER;
    *stat = {};
    stat->type = STGTY_LOCKBYTES;
    stat->cbSize.QuadPart = forgotten_ ? 0 : bytes().size();
    stat->grfMode = STGM_READWRITE | STGM_SHARE_EXCLUSIVE;
    return S_OK;
}

}  // namespace orvo
