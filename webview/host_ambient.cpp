// The ambient properties of the control host (IHostAmbient): the values a
// control reads from its container, and the default font.
#include <windows.h>

#include <oleauto.h>

#include "base/com_ptr.h"
#include "base/scoped_handle.h"
#include "webview/com_table.h"
#include "webview/control_host.h"
#include "webview/host_internal.h"
#include "webview/navo_module.h"

// ---- IHostAmbient ----

void ControlHost::NotifyAmbientChange(DISPID dispId) {
  if (control_ == nullptr) {
    return;
  }
  ComPtr<IOleControl> control;
  if (SUCCEEDED(control_->QueryInterface(IID_IOleControl, control.PutVoid()))) {
    control->OnAmbientPropertyChange(dispId);
  }
}

void ControlHost::SetFlag(uint32_t flag, VARIANT_BOOL value) {
  if (value != VARIANT_FALSE) {
    ambientFlags_ |= flag;
  } else {
    ambientFlags_ &= ~flag;
  }
}

VARIANT_BOOL ControlHost::GetFlag(uint32_t flag) const {
  return ToVariantBool((ambientFlags_ & flag) != 0);
}

STDMETHODIMP ControlHost::put_WindowlessActivationAllowed(VARIANT_BOOL value) {
  SetFlag(kAmbientWindowless, value);
  return S_OK;
}

STDMETHODIMP ControlHost::get_WindowlessActivationAllowed(VARIANT_BOOL* value) {
  if (value == nullptr) {
    return E_POINTER;
  }
  *value = GetFlag(kAmbientWindowless);
  return S_OK;
}

STDMETHODIMP ControlHost::put_BackColor(OLE_COLOR value) {
  backColor_ = value;
  NotifyAmbientChange(kDispIdBackColor);
  return S_OK;
}

STDMETHODIMP ControlHost::get_BackColor(OLE_COLOR* value) {
  if (value == nullptr) {
    return E_POINTER;
  }
  *value = backColor_;
  return S_OK;
}

STDMETHODIMP ControlHost::put_ForeColor(OLE_COLOR value) {
  foreColor_ = value;
  NotifyAmbientChange(kDispIdForeColor);
  return S_OK;
}

STDMETHODIMP ControlHost::get_ForeColor(OLE_COLOR* value) {
  if (value == nullptr) {
    return E_POINTER;
  }
  *value = foreColor_;
  return S_OK;
}

STDMETHODIMP ControlHost::put_LocaleID(LCID value) {
  localeId_ = value;
  NotifyAmbientChange(kDispIdLocaleId);
  return S_OK;
}

STDMETHODIMP ControlHost::get_LocaleID(LCID* value) {
  if (value == nullptr) {
    return E_POINTER;
  }
  *value = localeId_;
  return S_OK;
}

STDMETHODIMP ControlHost::put_UserMode(VARIANT_BOOL value) {
  SetFlag(kAmbientUserMode, value);
  NotifyAmbientChange(kDispIdUserMode);
  return S_OK;
}

STDMETHODIMP ControlHost::get_UserMode(VARIANT_BOOL* value) {
  if (value == nullptr) {
    return E_POINTER;
  }
  *value = GetFlag(kAmbientUserMode);
  return S_OK;
}

STDMETHODIMP ControlHost::put_DisplayAsDefault(VARIANT_BOOL value) {
  SetFlag(kAmbientDisplayAsDefault, value);
  NotifyAmbientChange(kDispIdDisplayAsDefault);
  return S_OK;
}

STDMETHODIMP ControlHost::get_DisplayAsDefault(VARIANT_BOOL* value) {
  if (value == nullptr) {
    return E_POINTER;
  }
  *value = GetFlag(kAmbientDisplayAsDefault);
  return S_OK;
}

STDMETHODIMP ControlHost::put_Font(IFontDisp* value) {
  ReplaceReference(font_, value);
  NotifyAmbientChange(kDispIdFont);
  return S_OK;
}

STDMETHODIMP ControlHost::get_Font(IFontDisp** value) {
  if (value == nullptr) {
    return E_POINTER;
  }
  *value = nullptr;
  if (font_ == nullptr) {
    const HRESULT hr = DefaultFont(&font_);
    if (FAILED(hr)) {
      return hr;
    }
  }
  *value = font_;
  font_->AddRef();
  return S_OK;
}

HRESULT ControlHost::DefaultFont(IFontDisp** font) {
  HGDIOBJ stock = GetStockObject(DEFAULT_GUI_FONT);
  if (stock == nullptr) {
    stock = GetStockObject(SYSTEM_FONT);
  }
  LOGFONTA logFont = {};
  GetObjectA(stock, sizeof logFont, &logFont);

  wchar_t face[LF_FACESIZE] = {};
  MultiByteToWideChar(CP_ACP, 0, logFont.lfFaceName, -1, face, LF_FACESIZE);
  FONTDESC description = {};
  description.cbSizeofstruct = sizeof description;
  description.lpstrName = face;
  description.sWeight = static_cast<SHORT>(logFont.lfWeight);
  description.sCharset = logFont.lfCharSet;
  description.fItalic = logFont.lfItalic;
  description.fUnderline = logFont.lfUnderline;
  description.fStrikethrough = logFont.lfStrikeOut;

  HWND window = window_ != nullptr ? window_ : GetDesktopWindow();
  int dpi = 96;
  if (ScopedGetDc dc(window); dc) {
    dpi = GetDeviceCaps(dc.get(), LOGPIXELSY);
  }
  description.cySize.Lo = static_cast<ULONG>(AmbientFontHeight(logFont.lfHeight, dpi));
  description.cySize.Hi = 0;
  return OleCreateFontIndirect(&description, IID_IFontDisp, reinterpret_cast<void**>(font));
}

STDMETHODIMP ControlHost::put_MessageReflect(VARIANT_BOOL value) {
  SetFlag(kAmbientMessageReflect, value);
  NotifyAmbientChange(kDispIdMessageReflect);
  return S_OK;
}

STDMETHODIMP ControlHost::get_MessageReflect(VARIANT_BOOL* value) {
  if (value == nullptr) {
    return E_POINTER;
  }
  *value = GetFlag(kAmbientMessageReflect);
  return S_OK;
}

STDMETHODIMP ControlHost::get_ShowGrabHandles(VARIANT_BOOL* value) {
  if (value == nullptr) {
    return E_POINTER;
  }
  *value = VARIANT_FALSE;
  return S_OK;
}

STDMETHODIMP ControlHost::get_ShowHatching(VARIANT_BOOL* value) {
  if (value == nullptr) {
    return E_POINTER;
  }
  *value = VARIANT_FALSE;
  return S_OK;
}

STDMETHODIMP ControlHost::put_HostInfoFlags(DWORD value) {
  hostInfoFlags_ = value;
  NotifyAmbientChange(kDispIdUnknown);
  return S_OK;
}

STDMETHODIMP ControlHost::get_HostInfoFlags(DWORD* value) {
  if (value == nullptr) {
    return E_POINTER;
  }
  *value = hostInfoFlags_;
  return S_OK;
}

STDMETHODIMP ControlHost::put_HostInfoDoubleClick(DWORD value) {
  hostInfoDoubleClick_ = value;
  return S_OK;
}

STDMETHODIMP ControlHost::get_HostInfoDoubleClick(DWORD* value) {
  if (value == nullptr) {
    return E_POINTER;
  }
  *value = hostInfoDoubleClick_;
  return S_OK;
}

STDMETHODIMP ControlHost::put_ContextMenuAllowed(VARIANT_BOOL value) {
  SetFlag(kAmbientContextMenu, value);
  return S_OK;
}

STDMETHODIMP ControlHost::get_ContextMenuAllowed(VARIANT_BOOL* value) {
  if (value == nullptr) {
    return E_POINTER;
  }
  *value = GetFlag(kAmbientContextMenu);
  return S_OK;
}

STDMETHODIMP ControlHost::put_BrowserUIAllowed(VARIANT_BOOL value) {
  SetFlag(kAmbientBrowserUI, value);
  return S_OK;
}

STDMETHODIMP ControlHost::get_BrowserUIAllowed(VARIANT_BOOL* value) {
  if (value == nullptr) {
    return E_POINTER;
  }
  *value = GetFlag(kAmbientBrowserUI);
  return S_OK;
}

STDMETHODIMP ControlHost::put_OptionsKey(BSTR value) {
  BSTR copy = nullptr;
  if (value != nullptr) {
    copy = SysAllocStringLen(value, SysStringLen(value));
    if (copy == nullptr) {
      return E_OUTOFMEMORY;
    }
  }
  SysFreeString(optionsKey_);
  optionsKey_ = copy;
  return S_OK;
}

STDMETHODIMP ControlHost::get_OptionsKey(BSTR* value) {
  if (value == nullptr) {
    return E_POINTER;
  }
  // The caller owns what it gets (a VARIANT result is cleared by its
  // receiver), so it gets a copy, never the stored string.
  *value = nullptr;
  if (optionsKey_ != nullptr) {
    *value = SysAllocStringLen(optionsKey_, SysStringLen(optionsKey_));
    if (*value == nullptr) {
      return E_OUTOFMEMORY;
    }
  }
  return S_OK;
}
