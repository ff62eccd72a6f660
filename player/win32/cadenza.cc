#include "player/win32/cadenza.h"

#include "player/win32/module.h"
#include "player/win32/player_views.h"
#include "player/win32/sync_controller.h"
#include "win32kit/boundary.h"

namespace tunewell {

namespace {

SyncController& Controller() {
  // Never destroyed, like the controller and the view that keep it.
  static PlayerViews* const views = new PlayerViews(module::Handle());
  return SyncController::Instance(module::Handle(), *views);
}

}  // namespace

CCadenza::CCadenza() { module::AddObject(); }

CCadenza::~CCadenza() {
  // A player that forgot SetCore(null) must not leave its core held by the controller. Release
  // answers a count, not an error: a failure here has no one to go to.
  if (has_core_) ProcedureEntry([this] { Controller().Detach(this); }, [] {});
  module::RemoveObject();
}

HRESULT CCadenza::QueryInterface(REFIID iid, void** object) {
  return ComEntry([&] {
    if (object == nullptr) return E_POINTER;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, kIidWmpPluginUI)) {
      *object = static_cast<IWMPPluginUI*>(this);
      AddRef();
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  });
}

ULONG CCadenza::AddRef() noexcept { return static_cast<ULONG>(::InterlockedIncrement(&refs_)); }

ULONG CCadenza::Release() noexcept {
  const LONG refs = ::InterlockedDecrement(&refs_);
  if (refs == 0) delete this;
  return static_cast<ULONG>(refs);
}

HRESULT CCadenza::SetCore(IWMPCore* core) {
  return ComEntry([&] {
    if (core == nullptr) {
      if (has_core_) Controller().Detach(this);
      has_core_ = false;
      return S_OK;
    }
    // A second core replaces the first; the hook keeps pointing at the same, live controller.
    Controller().Attach(core, this);
    has_core_ = true;
    return S_OK;
  });
}

HRESULT CCadenza::Create(HWND, HWND*) noexcept { return E_NOTIMPL; }
HRESULT CCadenza::Destroy() noexcept { return E_NOTIMPL; }

HRESULT CCadenza::DisplayPropertyPage(HWND parent) {
  return ComEntry([&] {
    ShowAboutDialog(parent);
    return S_OK;
  });
}

HRESULT CCadenza::GetProperty(const WCHAR*, VARIANT* value) noexcept {
  return value == nullptr ? E_POINTER : E_NOTIMPL;
}

HRESULT CCadenza::SetProperty(const WCHAR*, const VARIANT*) noexcept { return E_NOTIMPL; }
HRESULT CCadenza::TranslateAccelerator(MSG*) noexcept { return E_NOTIMPL; }

}  // namespace tunewell
