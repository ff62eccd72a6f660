// The class object of CCadenza and the two COM server exports that hand it out and answer
// whether the module may go.

#include <new>

#include "player/win32/cadenza.h"
#include "player/win32/module.h"
#include "win32kit/boundary.h"

namespace tunewell {

namespace {

// One static class object; while the player holds it the module counts as locked.
class ClassFactory final : public IClassFactory {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
    return ComEntry([&] {
      if (object == nullptr) return E_POINTER;
      if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IClassFactory)) {
        *object = static_cast<IClassFactory*>(this);
        AddRef();
        return S_OK;
      }
      *object = nullptr;
      return E_NOINTERFACE;
    });
  }
  ULONG STDMETHODCALLTYPE AddRef() noexcept override {
    module::AddLock();
    return 2;
  }
  ULONG STDMETHODCALLTYPE Release() noexcept override {
    module::RemoveLock();
    return 1;
  }

  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** object) override {
    return ComEntry([&] {
      if (object == nullptr) return E_POINTER;
      *object = nullptr;
      if (outer != nullptr) return CLASS_E_NOAGGREGATION;
      auto* plugin = new (std::nothrow) CCadenza();
      if (plugin == nullptr) return E_OUTOFMEMORY;
      plugin->AddRef();
      const HRESULT result = plugin->QueryInterface(iid, object);
      plugin->Release();
      return result;
    });
  }
  HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) noexcept override {
    if (lock) {
      module::AddLock();
    } else {
      module::RemoveLock();
    }
    return S_OK;
  }
};

ClassFactory g_factory;

}  // namespace

}  // namespace tunewell

STDAPI DllGetClassObject(REFCLSID clsid, REFIID iid, void** object) {
  return tunewell::ComEntry([&] {
    if (object == nullptr) return E_POINTER;
    *object = nullptr;
    if (!IsEqualCLSID(clsid, tunewell::kClsidCadenza)) return CLASS_E_CLASSNOTAVAILABLE;
    return tunewell::g_factory.QueryInterface(iid, object);
  });
}

STDAPI DllCanUnloadNow() {
  return tunewell::ComEntry([] { return tunewell::module::CanUnload() ? S_OK : S_FALSE; });
}
