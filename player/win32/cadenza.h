#pragma once

// The plug-in object the player creates: hands the player core to the process's
// SyncController and shows the properties dialog. It has no window of its own.

#include "player/win32/plugin_ui.h"

namespace tunewell {

class CCadenza final : public IWMPPluginUI {
 public:
  CCadenza();
  ~CCadenza();
  CCadenza(const CCadenza&) = delete;
  CCadenza& operator=(const CCadenza&) = delete;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;

  HRESULT STDMETHODCALLTYPE SetCore(IWMPCore* core) override;
  HRESULT STDMETHODCALLTYPE Create(HWND parent, HWND* window) override;
  HRESULT STDMETHODCALLTYPE Destroy() override;
  HRESULT STDMETHODCALLTYPE DisplayPropertyPage(HWND parent) override;
  HRESULT STDMETHODCALLTYPE GetProperty(const WCHAR* name, VARIANT* value) override;
  HRESULT STDMETHODCALLTYPE SetProperty(const WCHAR* name, const VARIANT* value) override;
  HRESULT STDMETHODCALLTYPE TranslateAccelerator(MSG* message) override;

 private:
  LONG refs_ = 0;
  bool has_core_ = false;
};

// Shows the properties dialog (resource 104) modally over `parent`.
void ShowAboutDialog(HWND parent);

}  // namespace tunewell
