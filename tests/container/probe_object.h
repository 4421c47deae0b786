#pragma once
// A minimal embeddable object, registered in this process only
// (CoRegisterClassObject), that records what a container does to it and keeps
// the client site it was given, as a server that lets go late would. It
// serves whatever class the test registers it under.
#include <windows.h>
#include <ole2.h>

#include <string>
#include <vector>

#include "support/com_ptr.h"

namespace orvo::test {

struct ProbeRecord {
    int created = 0;
    std::vector<std::string> calls;
    ComPtr<IOleClientSite> lastSite;  // outlives the container on purpose
    HWND verbWindow = nullptr;
    RECT verbRect{};
    bool dirty = false;
    bool failSave = false;

    bool called(const std::string& call) const {
        for (const auto& c : calls)
            if (c == call) return true;
        return false;
    }
};

class ProbeObject final : public IOleObject, public IPersistStorage {
public:
    ProbeObject(ProbeRecord& record, const CLSID& clsid) : record_(record), clsid_(clsid) { ++record_.created; }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        *out = nullptr;
        if (::IsEqualIID(iid, IID_IUnknown) || ::IsEqualIID(iid, IID_IOleObject))
            *out = static_cast<IOleObject*>(this);
        else if (::IsEqualIID(iid, IID_IPersist) || ::IsEqualIID(iid, IID_IPersistStorage))
            *out = static_cast<IPersistStorage*>(this);
        else
            return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
    ULONG STDMETHODCALLTYPE Release() override {
        ULONG left = --refs_;
        if (left == 0) delete this;
        return left;
    }

    // IOleObject
    HRESULT STDMETHODCALLTYPE SetClientSite(IOleClientSite* site) override {
        record_.calls.push_back(site ? "SetClientSite" : "SetClientSite(null)");
        site_ = ComPtr<IOleClientSite>(site);
        if (site) record_.lastSite = site_;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetClientSite(IOleClientSite** site) override {
        *site = ComPtr<IOleClientSite>(site_).detach();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE SetHostNames(LPCOLESTR, LPCOLESTR) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE Close(DWORD option) override {
        record_.calls.push_back("Close(" + std::to_string(option) + ")");
        if (option == OLECLOSE_SAVEIFDIRTY && record_.dirty && site_) site_->SaveObject();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE SetMoniker(DWORD, IMoniker*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetMoniker(DWORD, DWORD, IMoniker**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE InitFromData(IDataObject*, BOOL, DWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetClipboardData(DWORD, IDataObject**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE DoVerb(LONG verb, LPMSG, IOleClientSite*, LONG, HWND parent, LPCRECT rect) override {
        record_.calls.push_back("DoVerb(" + std::to_string(verb) + ")");
        record_.verbWindow = parent;
        if (rect) record_.verbRect = *rect;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE EnumVerbs(IEnumOLEVERB**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Update() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE IsUpToDate() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE GetUserClassID(CLSID* clsid) override {
        *clsid = clsid_;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetUserType(DWORD, LPOLESTR*) override { return OLE_S_USEREG; }
    HRESULT STDMETHODCALLTYPE SetExtent(DWORD, SIZEL*) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE GetExtent(DWORD, SIZEL*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Advise(IAdviseSink*, DWORD* connection) override {
        *connection = 1;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Unadvise(DWORD) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE EnumAdvise(IEnumSTATDATA**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetMiscStatus(DWORD, DWORD* status) override {
        *status = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE SetColorScheme(LOGPALETTE*) override { return E_NOTIMPL; }

    // IPersistStorage
    HRESULT STDMETHODCALLTYPE GetClassID(CLSID* clsid) override {
        *clsid = clsid_;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE IsDirty() override { return record_.dirty ? S_OK : S_FALSE; }
    HRESULT STDMETHODCALLTYPE InitNew(IStorage*) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE Load(IStorage*) override {
        record_.calls.push_back("Load");
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Save(IStorage* storage, BOOL sameAsLoad) override {
        record_.calls.push_back(sameAsLoad ? "Save(same)" : "Save(other)");
        if (record_.failSave) return STG_E_MEDIUMFULL;
        ComPtr<IStream> stream;
        if (FAILED(storage->CreateStream(L"Contents", STGM_CREATE | STGM_READWRITE | STGM_SHARE_EXCLUSIVE, 0, 0,
                                         stream.put())))
            return STG_E_WRITEFAULT;
        static const char text[] = "probe";
        stream->Write(text, sizeof text - 1, nullptr);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE SaveCompleted(IStorage* storage) override {
        record_.calls.push_back(storage ? "SaveCompleted(new)" : "SaveCompleted(null)");
        record_.dirty = false;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE HandsOffStorage() override { return S_OK; }

private:
    ~ProbeObject() = default;
    ULONG refs_ = 1;
    ProbeRecord& record_;
    CLSID clsid_;
    ComPtr<IOleClientSite> site_;
};

class ProbeFactory final : public IClassFactory {
public:
    ProbeFactory(ProbeRecord& record, const CLSID& clsid) : record_(record), clsid_(clsid) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        *out = nullptr;
        if (!::IsEqualIID(iid, IID_IUnknown) && !::IsEqualIID(iid, IID_IClassFactory)) return E_NOINTERFACE;
        *out = static_cast<IClassFactory*>(this);
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }  // lives on the test's stack
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
        *out = nullptr;
        if (outer) return CLASS_E_NOAGGREGATION;
        auto* object = new ProbeObject(record_, clsid_);
        HRESULT hr = static_cast<IOleObject*>(object)->QueryInterface(iid, out);
        object->Release();
        return hr;
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }

private:
    ProbeRecord& record_;
    CLSID clsid_;
};

// Serves clsid with probe objects for as long as it lives.
class ProbeRegistration {
public:
    ProbeRegistration(ProbeRecord& record, const CLSID& clsid) : factory_(record, clsid) {
        result_ = ::CoRegisterClassObject(clsid, &factory_, CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE, &cookie_);
    }
    ~ProbeRegistration() {
        if (SUCCEEDED(result_)) ::CoRevokeClassObject(cookie_);
    }
    ProbeRegistration(const ProbeRegistration&) = delete;
    ProbeRegistration& operator=(const ProbeRegistration&) = delete;
    HRESULT result() const { return result_; }

private:
    ProbeFactory factory_;
    DWORD cookie_ = 0;
    HRESULT result_;
};

}  // namespace orvo::test
