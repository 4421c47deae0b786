#pragma once
// A class factory registered in this process only (CoRegisterClassObject)
// that counts how often OLE asks it for an object: the server a document of
// its class would start. It never makes one.
#include <windows.h>
#include <ole2.h>

namespace orvo::test {

class CountingFactory final : public IClassFactory {
public:
    explicit CountingFactory(const CLSID& clsid) {
        result_ = ::CoRegisterClassObject(clsid, this, CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE, &cookie_);
    }
    ~CountingFactory() {
        if (SUCCEEDED(result_)) ::CoRevokeClassObject(cookie_);
    }
    CountingFactory(const CountingFactory&) = delete;
    CountingFactory& operator=(const CountingFactory&) = delete;

    HRESULT registration() const { return result_; }
    int started = 0;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        *out = nullptr;
        if (!::IsEqualIID(iid, IID_IUnknown) && !::IsEqualIID(iid, IID_IClassFactory)) return E_NOINTERFACE;
        *out = static_cast<IClassFactory*>(this);
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }  // lives on the test's stack
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown*, REFIID, void** out) override {
        *out = nullptr;
        ++started;
        return E_ACCESSDENIED;
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }

private:
    DWORD cookie_ = 0;
    HRESULT result_;
};

}  // namespace orvo::test
