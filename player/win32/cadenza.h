#pragma once

// The plug-in object the player creates: hands the player core to the process's
// SyncController and shows the properties dialog. It has no window of its own. Methods that run
// code of ours answer through ComEntry; the others cannot throw.

#include "player/win32/plugin_ui.h"

namespace tunewell {

class CCadenza final : public IWMPPluginUI {
 public:
  CCadenza();
  ~CCadenza();
  CCadenza(const CCadenza&) = delete;
  CCadenza& operator=(const CCadenza&) = delete;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
  ULONG STDMETHODCALLTYPE AddRef() noexcept override;
  ULONG STDMETHODCALLTYPE Release() noexcept override;

  HRESULT STDMETHODCALLTYPE SetCore(IWMPCore* core) override;
  HRESULT STDMETHODCALLTYPE Create(HWND parent, HWND* window) noexcept override;
  HRESULT STDMETHODCALLTYPE Destroy() noexcept override;
  HRESULT STDMETHODCALLTYPE DisplayPropertyPage(HWND parent) override;
  HRESULT STDMETHODCALLTYPE GetProperty(const WCHAR* name, VARIANT* value) noexcept override;
  HRESULT STDMETHODCALLTYPE SetProperty(const WCHAR* name, const VARIANT* value) noexcept override;
  HRESULT STDMETHODCALLTYPE TranslateAccelerator(MSG* message) noexcept override;

 private:
  LONG refs_ = 0;
  bool has_core_ = false;
};

// Shows the properties dialog (resource 104) modally over `parent`.
void ShowAboutDialog(HWND parent);

}  // namespace tunewell
