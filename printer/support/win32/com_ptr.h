#pragma once
// A small COM pointer of our own: the mingw WRL ComPtr miscounts in Attach()
// and leaves its source set after a move.
#include <unknwn.h>
#include <utility>

namespace orvo {

template <typename T>
class ComPtr {
public:
    ComPtr() noexcept = default;
    ComPtr(std::nullptr_t) noexcept {}
    // Takes a new reference on p.
    explicit ComPtr(T* p) noexcept : p_(p) {
        if (p_) p_->AddRef();
    }
    ComPtr(const ComPtr& other) noexcept : ComPtr(other.p_) {}
    ComPtr(ComPtr&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
    ~ComPtr() { reset(); }

    ComPtr& operator=(const ComPtr& other) noexcept {
        ComPtr(other).swap(*this);
        return *this;
    }
    ComPtr& operator=(ComPtr&& other) noexcept {
        ComPtr(std::move(other)).swap(*this);
        return *this;
    }
    ComPtr& operator=(std::nullptr_t) noexcept {
        reset();
        return *this;
    }

    // Adopts a reference the caller already owns.
    static ComPtr attach(T* p) noexcept {
        ComPtr result;
        result.p_ = p;
        return result;
    }
    T* detach() noexcept { return std::exchange(p_, nullptr); }

    void reset() noexcept {
        if (T* old = std::exchange(p_, nullptr)) old->Release();
    }
    void swap(ComPtr& other) noexcept { std::swap(p_, other.p_); }

    T* get() const noexcept { return p_; }
    T* operator->() const noexcept { return p_; }
    T& operator*() const noexcept { return *p_; }
    explicit operator bool() const noexcept { return p_ != nullptr; }

    // For out-parameters such as QueryInterface: releases what is held first.
    T** put() noexcept {
        reset();
        return &p_;
    }
    void** putVoid() noexcept { return reinterpret_cast<void**>(put()); }

    // Null when the object does not answer U.
    template <typename U>
    ComPtr<U> tryQuery() const noexcept {
        ComPtr<U> result;
        if (p_) p_->QueryInterface(__uuidof(U), result.putVoid());
        return result;
    }
    template <typename U>
    HRESULT queryTo(ComPtr<U>& out) const noexcept {
        if (!p_) return E_POINTER;
        return p_->QueryInterface(__uuidof(U), out.putVoid());
    }

private:
    T* p_ = nullptr;
};

}  // namespace orvo
