#pragma once
// Event sources: one connection point per event interface, living inside
// the object that fires it (its reference count is the owner's).
#include <windows.h>
#include <ocidl.h>
#include <olectl.h>
#include <string>
#include <utility>
#include <vector>
#include "support/win32/com_ptr.h"

namespace orvo::fake {

class ConnectionPoint final : public IConnectionPoint {
public:
    ConnectionPoint(IConnectionPointContainer* owner, const IID& iid) : owner_(owner), iid_(iid) {}
    ConnectionPoint(const ConnectionPoint&) = delete;
    ConnectionPoint& operator=(const ConnectionPoint&) = delete;

    const IID& iid() const noexcept { return iid_; }
    size_t sinkCount() const noexcept { return sinks_.size(); }

    // Calls every advised sink's Invoke with the DISPID and no arguments, on
    // the calling thread. Sinks may advise, unadvise or release the owner
    // while this runs.
    void fire(DISPID id);
    void unadviseAll() { sinks_.clear(); }

    STDMETHODIMP QueryInterface(REFIID iid, void** out) override;
    STDMETHODIMP_(ULONG) AddRef() override { return owner_->AddRef(); }
    STDMETHODIMP_(ULONG) Release() override { return owner_->Release(); }
    STDMETHODIMP GetConnectionInterface(IID* iid) override;
    STDMETHODIMP GetConnectionPointContainer(IConnectionPointContainer** container) override;
    STDMETHODIMP Advise(IUnknown* sink, DWORD* cookie) override;
    STDMETHODIMP Unadvise(DWORD cookie) override;
    STDMETHODIMP EnumConnections(IEnumConnections** out) override;

private:
    IConnectionPointContainer* owner_;
    IID iid_;
    DWORD nextCookie_ = 1;
    std::vector<std::pair<DWORD, ComPtr<IDispatch>>> sinks_;
};

// IConnectionPointContainer::EnumConnectionPoints over a fixed list.
HRESULT enumerateConnectionPoints(std::vector<IConnectionPoint*> points, IEnumConnectionPoints** out);

}  // namespace orvo::fake
