// One base for the COM objects we implement, in the spirit of WRL's and
// wil's RuntimeClass: an interlocked reference count, `delete this` on the
// last release, and QueryInterface answered from the list of interfaces.
//
//   class Site final : public ComObject<IOleClientSite, IOleInPlaceSiteEx, IAdviseSink> {
//       // base interfaces it answers too, through the listed ones:
//       void* queryMore(REFIID iid) override { return answerAs<IOleWindow, IOleInPlaceSite>(iid); }
//   };
//   ComPtr<IOleClientSite> site = ComPtr<IOleClientSite>::attach(new Site(...));
//
// `new` gives one reference, owned by the creator.
#pragma once

#include <windows.h>
#include <unknwn.h>

#include <type_traits>

namespace orvo {

template <typename... Interfaces>
class ComObject : public Interfaces... {
public:
    ComObject() = default;
    ComObject(const ComObject&) = delete;
    ComObject& operator=(const ComObject&) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (::IsEqualIID(iid, IID_IUnknown))
            *out = unknown();
        else
            ((*out == nullptr && ::IsEqualIID(iid, __uuidof(Interfaces)) && (*out = static_cast<Interfaces*>(this))), ...);
        if (!*out) *out = queryMore(iid);
        if (!*out) return E_NOINTERFACE;
        static_cast<IUnknown*>(*out)->AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(::InterlockedIncrement(&refs_)); }
    ULONG STDMETHODCALLTYPE Release() override {
        LONG left = ::InterlockedDecrement(&refs_);
        if (left == 0) delete this;
        return static_cast<ULONG>(left);
    }

protected:
    virtual ~ComObject() = default;

    // Further interface ids the object answers, such as the bases of the
    // listed interfaces; nullptr for none.
    virtual void* queryMore(REFIID) { return nullptr; }

    // The object as one of the listed interfaces' bases, when iid names it.
    template <typename... Bases>
    void* answerAs(REFIID iid) {
        void* found = nullptr;
        ((found == nullptr && ::IsEqualIID(iid, __uuidof(Bases)) && (found = as<Bases>())), ...);
        return found;
    }

    IUnknown* unknown() { return static_cast<IUnknown*>(static_cast<First*>(this)); }

private:
    template <typename T, typename...>
    struct Head {
        using type = T;
    };
    using First = typename Head<Interfaces...>::type;

    template <typename Base, typename Candidate, typename... Rest>
    Base* via() {
        if constexpr (std::is_base_of_v<Base, Candidate>)
            return static_cast<Base*>(static_cast<Candidate*>(this));
        else {
            static_assert(sizeof...(Rest) > 0, "no listed interface derives from this base");
            return via<Base, Rest...>();
        }
    }
    template <typename Base>
    Base* as() {
        return via<Base, Interfaces...>();
    }

    LONG refs_ = 1;
};

}  // namespace orvo
