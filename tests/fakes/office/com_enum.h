#pragma once
// One enumerator for the IEnumXxx interfaces the objects hand out
// (connection points, connections, data formats) over a fixed list.
// Traits::copy makes the caller's copy of an item (adding a reference where
// the item holds one) and Traits::release drops the list's own.
#include <windows.h>
#include <objbase.h>
#include <utility>
#include <vector>

#include "support/win32/com_object.h"

namespace orvo::fake {

template <typename Enum, typename Item, typename Traits>
class VectorEnum final : public ComObject<Enum> {
public:
    // Takes over the items, with the references they already hold.
    static Enum* make(const IID& iid, std::vector<Item> items) { return new VectorEnum(iid, std::move(items), 0); }

    STDMETHODIMP Next(ULONG count, Item* out, ULONG* fetched) override {
        if (!out || (count > 1 && !fetched)) return E_POINTER;
        ULONG n = 0;
        while (n < count && at_ < items_.size()) out[n++] = Traits::copy(items_[at_++]);
        if (fetched) *fetched = n;
        return n == count ? S_OK : S_FALSE;
    }
    STDMETHODIMP Skip(ULONG count) override {
        at_ += count;
        if (at_ > items_.size()) {
            at_ = items_.size();
            return S_FALSE;
        }
        return S_OK;
    }
    STDMETHODIMP Reset() override {
        at_ = 0;
        return S_OK;
    }
    STDMETHODIMP Clone(Enum** out) override {
        if (!out) return E_POINTER;
        std::vector<Item> copies;
        for (auto& item : items_) copies.push_back(Traits::copy(item));
        *out = new VectorEnum(iid_, std::move(copies), at_);
        return S_OK;
    }

private:
    void* queryMore(REFIID iid) override { return ::IsEqualIID(iid, iid_) ? static_cast<Enum*>(this) : nullptr; }

    VectorEnum(const IID& iid, std::vector<Item> items, size_t at) : iid_(iid), items_(std::move(items)), at_(at) {}
    ~VectorEnum() override {
        for (auto& item : items_) Traits::release(item);
    }

    IID iid_;
    std::vector<Item> items_;
    size_t at_;
};

}  // namespace orvo::fake
