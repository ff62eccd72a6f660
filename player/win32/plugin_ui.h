#pragma once

// IWMPPluginUI, the interface the player calls on a UI plug-in. mingw-w64 ships no header for
// it, so it is declared here with the player SDK's slot order and signatures.

#include <windows.h>
#include <wmp.h>

namespace tunewell {

// {4C5E8F9F-AD3E-4BF9-9753-FCD30D6D38DD}
inline constexpr IID kIidWmpPluginUI = {
    0x4C5E8F9F, 0xAD3E, 0x4BF9, {0x97, 0x53, 0xFC, 0xD3, 0x0D, 0x6D, 0x38, 0xDD}};
// {DAE3EFF7-DE72-47E7-943B-941D7C20878C}, the plug-in's class.
inline constexpr CLSID kClsidCadenza = {
    0xDAE3EFF7, 0xDE72, 0x47E7, {0x94, 0x3B, 0x94, 0x1D, 0x7C, 0x20, 0x87, 0x8C}};
inline constexpr wchar_t kClsidCadenzaText[] = L"{DAE3EFF7-DE72-47E7-943B-941D7C20878C}";

struct IWMPPluginUI : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE SetCore(IWMPCore* core) = 0;
  virtual HRESULT STDMETHODCALLTYPE Create(HWND parent, HWND* window) = 0;
  virtual HRESULT STDMETHODCALLTYPE Destroy() = 0;
  virtual HRESULT STDMETHODCALLTYPE DisplayPropertyPage(HWND parent) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetProperty(const WCHAR* name, VARIANT* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetProperty(const WCHAR* name, const VARIANT* value) = 0;
  // (<windows.h> renames this slot to TranslateAcceleratorA or W; the slot is what counts.)
  virtual HRESULT STDMETHODCALLTYPE TranslateAccelerator(MSG* message) = 0;
};

}  // namespace tunewell
