#include "player/win32/cadenza.h"

#include "player/win32/module.h"
#include "player/win32/player_views.h"
#include "player/win32/sync_controller.h"

namespace tunewell {

namespace {

SyncController& Controller() {
  static PlayerViews views(module::Handle());
  return SyncController::Instance(module::Handle(), views);
}

}  // namespace

CCadenza::CCadenza() { module::AddObject(); }

CCadenza::~CCadenza() {
  // A player that forgot SetCore(null) must not leave its core held by the controller.
  if (has_core_) Controller().Detach(this);
  module::RemoveObject();
}

HRESULT CCadenza::QueryInterface(REFIID iid, void** object) {
  if (object == nullptr) return E_POINTER;
  if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, kIidWmpPluginUI)) {
    *object = static_cast<IWMPPluginUI*>(this);
    AddRef();
    return S_OK;
  }
  *object = nullptr;
  return E_NOINTERFACE;
}

ULONG CCadenza::AddRef() { return static_cast<ULONG>(::InterlockedIncrement(&refs_)); }

ULONG CCadenza::Release() {
  const LONG refs = ::InterlockedDecrement(&refs_);
  if (refs == 0) delete this;
  return static_cast<ULONG>(refs);
}

HRESULT CCadenza::SetCore(IWMPCore* core) {
  try {
    if (core == nullptr) {
      if (has_core_) Controller().Detach(this);
      has_core_ = false;
      return S_OK;
    }
    // A second core replaces the first; the hook keeps pointing at the same, live controller.
    Controller().Attach(core, this);
    has_core_ = true;
    return S_OK;
  } catch (...) {
    return E_OUTOFMEMORY;
  }
}

HRESULT CCadenza::Create(HWND, HWND*) { return E_NOTIMPL; }
HRESULT CCadenza::Destroy() { return E_NOTIMPL; }

HRESULT CCadenza::DisplayPropertyPage(HWND parent) {
  try {
    ShowAboutDialog(parent);
    return S_OK;
  } catch (...) {
    return E_FAIL;
  }
}

HRESULT CCadenza::GetProperty(const WCHAR*, VARIANT* value) {
  return value == nullptr ? E_POINTER : E_NOTIMPL;
}

HRESULT CCadenza::SetProperty(const WCHAR*, const VARIANT*) { return E_NOTIMPL; }
HRESULT CCadenza::TranslateAccelerator(MSG*) { return E_NOTIMPL; }

}  // namespace tunewell
