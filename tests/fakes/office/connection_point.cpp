#include "connection_point.h"

#include "com_enum.h"

namespace orvo::fake {
namespace {

struct PointTraits {
    static IConnectionPoint* copy(IConnectionPoint* p) {
        p->AddRef();
        return p;
    }
    static void release(IConnectionPoint* p) { p->Release(); }
};

struct ConnectionTraits {
    static CONNECTDATA copy(const CONNECTDATA& d) {
        d.pUnk->AddRef();
        return d;
    }
    static void release(CONNECTDATA& d) { d.pUnk->Release(); }
};

}  // namespace

HRESULT enumerateConnectionPoints(std::vector<IConnectionPoint*> points, IEnumConnectionPoints** out) {
    if (!out) return E_POINTER;
    for (auto* p : points) p->AddRef();
    *out = VectorEnum<IEnumConnectionPoints, IConnectionPoint*, PointTraits>::make(IID_IEnumConnectionPoints,
                                                                                  std::move(points));
    return S_OK;
}

void ConnectionPoint::fire(DISPID id) {
    // A copy: a sink may unadvise, or drop the owner, from inside its call.
    ComPtr<IConnectionPointContainer> keep(owner_);
    auto sinks = sinks_;
    for (auto& [cookie, sink] : sinks) {
        DISPPARAMS none{};
        sink->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &none, nullptr, nullptr, nullptr);
    }
}

STDMETHODIMP ConnectionPoint::QueryInterface(REFIID iid, void** out) {
    if (!out) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IConnectionPoint) {
        *out = static_cast<IConnectionPoint*>(this);
        AddRef();
        return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP ConnectionPoint::GetConnectionInterface(IID* iid) {
    if (!iid) return E_POINTER;
    *iid = iid_;
    return S_OK;
}

STDMETHODIMP ConnectionPoint::GetConnectionPointContainer(IConnectionPointContainer** container) {
    if (!container) return E_POINTER;
    *container = owner_;
    owner_->AddRef();
    return S_OK;
}

STDMETHODIMP ConnectionPoint::Advise(IUnknown* sink, DWORD* cookie) {
    if (!cookie) return E_POINTER;
    *cookie = 0;
    if (!sink) return E_POINTER;
    // As the applications do: the sink must answer the event interface.
    ComPtr<IDispatch> events;
    if (FAILED(sink->QueryInterface(iid_, events.putVoid())) || !events) return CONNECT_E_CANNOTCONNECT;
    *cookie = nextCookie_++;
    sinks_.emplace_back(*cookie, std::move(events));
    return S_OK;
}

STDMETHODIMP ConnectionPoint::Unadvise(DWORD cookie) {
    for (auto it = sinks_.begin(); it != sinks_.end(); ++it) {
        if (it->first == cookie) {
            auto released = std::move(it->second);  // released after the list is consistent
            sinks_.erase(it);
            return S_OK;
        }
    }
    return CONNECT_E_NOCONNECTION;
}

STDMETHODIMP ConnectionPoint::EnumConnections(IEnumConnections** out) {
    if (!out) return E_POINTER;
    std::vector<CONNECTDATA> items;
    for (auto& [cookie, sink] : sinks_) {
        sink->AddRef();
        items.push_back(CONNECTDATA{sink.get(), cookie});
    }
    *out = VectorEnum<IEnumConnections, CONNECTDATA, ConnectionTraits>::make(IID_IEnumConnections, std::move(items));
    return S_OK;
}

}  // namespace orvo::fake
