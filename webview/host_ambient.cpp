// The ambient properties of the control host, its dispatch interface, and the
// document-host handler it answers for the browser control.
//
// The dispatch interface answers from the host's own member table
// (ambient_table.h): names map to member identifiers there, and Invoke turns
// an identifier into the matching put or get method. So it works the same
// whether or not the system has a type library for IHostAmbient; only
// GetTypeInfo depends on one being registered.
#include <windows.h>

#include <oleauto.h>

#include "webview/com_table.h"
#include "webview/control_host.h"
#include "webview/navo_module.h"

namespace {

// The type information of IHostAmbient, loaded on first demand and released
// when the library is detached.
ITypeInfo* ambientTypeInfo = nullptr;
bool ambientTermRegistered = false;

void ReleaseAmbientTypeInfo(void*) { ReleaseReference(ambientTypeInfo); }

HRESULT LoadAmbientTypeInfo(LCID locale) {
  EnterCriticalSection(&NavoLibrary.typeInfoLock);
  HRESULT hr = S_OK;
  if (ambientTypeInfo == nullptr) {
    ITypeLib* library = nullptr;
    hr = LoadRegTypeLib(kHostAmbientTypeLibrary, 1, 0, locale, &library);
    if (SUCCEEDED(hr)) {
      ITypeInfo* info = nullptr;
      hr = library->GetTypeInfoOfGuid(IID_IHostAmbient, &info);
      if (SUCCEEDED(hr)) {
        ITypeInfo2* info2 = nullptr;
        if (SUCCEEDED(info->QueryInterface(IID_ITypeInfo2, reinterpret_cast<void**>(&info2)))) {
          info->Release();
          info = info2;
        }
        ambientTypeInfo = info;
        if (!ambientTermRegistered) {
          ambientTermRegistered = NavoAddTermFunc(ReleaseAmbientTypeInfo, nullptr);
        }
      }
      library->Release();
    }
  }
  LeaveCriticalSection(&NavoLibrary.typeInfoLock);
  return hr;
}

VARIANT_BOOL ToVariantBool(bool value) { return value ? VARIANT_TRUE : VARIANT_FALSE; }

// A 32-bit number from a variant: signed and unsigned integers keep their
// bits (colours such as 0x80000005 are negative as VT_I4); anything else is
// converted.
HRESULT VariantToDword(VARIANT* value, DWORD* out) {
  VARIANT* source = value;
  if (V_VT(value) == (VT_BYREF | VT_VARIANT)) {
    source = V_VARIANTREF(value);
  }
  switch (V_VT(source)) {
    case VT_I4:
      *out = static_cast<DWORD>(V_I4(source));
      return S_OK;
    case VT_UI4:
      *out = V_UI4(source);
      return S_OK;
    case VT_INT:
      *out = static_cast<DWORD>(V_INT(source));
      return S_OK;
    case VT_UINT:
      *out = V_UINT(source);
      return S_OK;
    default:
      break;
  }
  VARIANT converted;
  VariantInit(&converted);
  HRESULT hr = VariantChangeType(&converted, source, 0, VT_I4);
  if (FAILED(hr)) {
    hr = VariantChangeType(&converted, source, 0, VT_UI4);
  }
  if (SUCCEEDED(hr)) {
    *out = V_VT(&converted) == VT_I4 ? static_cast<DWORD>(V_I4(&converted)) : V_UI4(&converted);
  }
  VariantClear(&converted);
  return hr;
}

}  // namespace

// ---- IDispatch ----

STDMETHODIMP ControlHost::GetTypeInfoCount(UINT* count) {
  if (count == nullptr) {
    return E_POINTER;
  }
  *count = 1;
  return S_OK;
}

STDMETHODIMP ControlHost::GetTypeInfo(UINT index, LCID locale, ITypeInfo** info) {
  if (info == nullptr) {
    return E_POINTER;
  }
  *info = nullptr;
  if (index != 0) {
    return DISP_E_BADINDEX;
  }
  const HRESULT hr = LoadAmbientTypeInfo(locale);
  if (FAILED(hr)) {
    return hr;
  }
  *info = ambientTypeInfo;
  ambientTypeInfo->AddRef();
  return S_OK;
}

STDMETHODIMP ControlHost::GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID,
                                        DISPID* ids) {
  if (names == nullptr || ids == nullptr) {
    return E_POINTER;
  }
  HRESULT hr = S_OK;
  for (UINT i = 0; i < count; ++i) {
    // Only the first name is a member; the others would name its parameters,
    // which the put and get methods do not publish.
    const AmbientMember* member = i == 0 ? FindAmbientMember(names[i]) : nullptr;
    ids[i] = member != nullptr ? member->dispId : DISPID_UNKNOWN;
    if (member == nullptr) {
      hr = DISP_E_UNKNOWNNAME;
    }
  }
  return hr;
}

STDMETHODIMP ControlHost::Invoke(DISPID id, REFIID iid, LCID, WORD flags, DISPPARAMS* params,
                                 VARIANT* result, EXCEPINFO*, UINT* argError) {
  if (!IsEqualIID(iid, IID_NULL)) {
    return DISP_E_UNKNOWNINTERFACE;
  }
  const AmbientMember* member = FindAmbientMember(static_cast<int32_t>(id));
  if (member == nullptr) {
    return DISP_E_MEMBERNOTFOUND;
  }
  const UINT argCount = params != nullptr ? params->cArgs : 0;
  if (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) {
    if (!member->canPut) {
      return DISP_E_MEMBERNOTFOUND;
    }
    if (argCount != 1) {
      return DISP_E_BADPARAMCOUNT;
    }
    const HRESULT hr = InvokePut(*member, &params->rgvarg[0]);
    if (hr == DISP_E_TYPEMISMATCH && argError != nullptr) {
      *argError = 0;
    }
    return hr;
  }
  if (flags & (DISPATCH_PROPERTYGET | DISPATCH_METHOD)) {
    if (argCount != 0) {
      return DISP_E_BADPARAMCOUNT;
    }
    VARIANT discarded;
    VariantInit(&discarded);
    VARIANT* target = result != nullptr ? result : &discarded;
    VariantInit(target);
    const HRESULT hr = InvokeGet(*member, target);
    VariantClear(&discarded);
    return hr;
  }
  return DISP_E_MEMBERNOTFOUND;
}

HRESULT ControlHost::InvokeGet(const AmbientMember& member, VARIANT* result) {
  switch (member.kind) {
    case AmbientKind::kFlag:
    case AmbientKind::kAlwaysFalse:
      V_VT(result) = VT_BOOL;
      V_BOOL(result) = member.kind == AmbientKind::kFlag ? GetFlag(member.flag) : VARIANT_FALSE;
      return S_OK;
    case AmbientKind::kColor:
      V_VT(result) = VT_UI4;
      return member.dispId == kDispIdBackColor ? get_BackColor(&V_UI4(result))
                                               : get_ForeColor(&V_UI4(result));
    case AmbientKind::kLocale:
      V_VT(result) = VT_I4;
      return get_LocaleID(reinterpret_cast<LCID*>(&V_I4(result)));
    case AmbientKind::kDword:
      V_VT(result) = VT_UI4;
      return member.dispId == kDispIdHostInfoFlags ? get_HostInfoFlags(&V_UI4(result))
                                                   : get_HostInfoDoubleClick(&V_UI4(result));
    case AmbientKind::kFont: {
      IFontDisp* font = nullptr;
      const HRESULT hr = get_Font(&font);
      if (SUCCEEDED(hr)) {
        V_VT(result) = VT_DISPATCH;
        V_DISPATCH(result) = font;
      }
      return hr;
    }
    case AmbientKind::kString:
      V_VT(result) = VT_BSTR;
      return get_OptionsKey(&V_BSTR(result));
  }
  return DISP_E_MEMBERNOTFOUND;
}

HRESULT ControlHost::InvokePut(const AmbientMember& member, VARIANT* value) {
  switch (member.kind) {
    case AmbientKind::kFlag: {
      VARIANT converted;
      VariantInit(&converted);
      if (FAILED(VariantChangeType(&converted, value, 0, VT_BOOL))) {
        return DISP_E_TYPEMISMATCH;
      }
      const VARIANT_BOOL flag = V_BOOL(&converted);
      switch (member.dispId) {
        case kDispIdWindowlessActivationAllowed:
          return put_WindowlessActivationAllowed(flag);
        case kDispIdUserMode:
          return put_UserMode(flag);
        case kDispIdDisplayAsDefault:
          return put_DisplayAsDefault(flag);
        case kDispIdMessageReflect:
          return put_MessageReflect(flag);
        case kDispIdContextMenuAllowed:
          return put_ContextMenuAllowed(flag);
        default:
          return put_BrowserUIAllowed(flag);
      }
    }
    case AmbientKind::kColor:
    case AmbientKind::kLocale:
    case AmbientKind::kDword: {
      DWORD number = 0;
      if (FAILED(VariantToDword(value, &number))) {
        return DISP_E_TYPEMISMATCH;
      }
      switch (member.dispId) {
        case kDispIdBackColor:
          return put_BackColor(number);
        case kDispIdForeColor:
          return put_ForeColor(number);
        case kDispIdLocaleId:
          return put_LocaleID(number);
        case kDispIdHostInfoFlags:
          return put_HostInfoFlags(number);
        default:
          return put_HostInfoDoubleClick(number);
      }
    }
    case AmbientKind::kFont: {
      VARIANT converted;
      VariantInit(&converted);
      if (FAILED(VariantChangeType(&converted, value, 0, VT_UNKNOWN))) {
        return DISP_E_TYPEMISMATCH;
      }
      IFontDisp* font = nullptr;
      HRESULT hr = S_OK;
      if (V_UNKNOWN(&converted) != nullptr) {
        hr = V_UNKNOWN(&converted)->QueryInterface(IID_IFontDisp, reinterpret_cast<void**>(&font));
      }
      VariantClear(&converted);
      if (FAILED(hr)) {
        return DISP_E_TYPEMISMATCH;
      }
      hr = put_Font(font);
      ReleaseReference(font);
      return hr;
    }
    case AmbientKind::kString: {
      VARIANT converted;
      VariantInit(&converted);
      if (FAILED(VariantChangeType(&converted, value, 0, VT_BSTR))) {
        return DISP_E_TYPEMISMATCH;
      }
      const HRESULT hr = put_OptionsKey(V_BSTR(&converted));
      VariantClear(&converted);
      return hr;
    }
    case AmbientKind::kAlwaysFalse:
      break;
  }
  return DISP_E_MEMBERNOTFOUND;
}

// ---- IHostAmbient ----

void ControlHost::NotifyAmbientChange(DISPID dispId) {
  if (control_ == nullptr) {
    return;
  }
  IOleControl* control = nullptr;
  if (SUCCEEDED(control_->QueryInterface(IID_IOleControl, reinterpret_cast<void**>(&control)))) {
    control->OnAmbientPropertyChange(dispId);
    control->Release();
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
  HDC dc = ::GetDC(window);
  const int dpi = dc != nullptr ? GetDeviceCaps(dc, LOGPIXELSY) : 96;
  if (dc != nullptr) {
    ::ReleaseDC(window, dc);
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

// ---- IDocHostUIHandler ----

STDMETHODIMP ControlHost::ShowContextMenu(DWORD id, POINT* point, IUnknown* target,
                                          IDispatch* reserved) {
  // S_FALSE lets the browser show its own menu.
  HRESULT result = (ambientFlags_ & kAmbientContextMenu) ? S_FALSE : S_OK;
  if (uiHandler_ != nullptr) {
    const POINT at = point != nullptr ? *point : POINT{};
    uiHandler_->ShowContextMenu(id, at.x, at.y, target, reserved, &result);
  }
  return result;
}

STDMETHODIMP ControlHost::GetHostInfo(DOCHOSTUIINFO* info) {
  if (info == nullptr) {
    return E_POINTER;
  }
  if (uiHandler_ != nullptr) {
    return uiHandler_->GetHostInfo(&info->dwFlags, &info->dwDoubleClick);
  }
  info->dwFlags = hostInfoFlags_;
  info->dwDoubleClick = hostInfoDoubleClick_;
  return S_OK;
}

STDMETHODIMP ControlHost::ShowUI(DWORD id, IOleInPlaceActiveObject* activeObject,
                                 IOleCommandTarget* commandTarget, IOleInPlaceFrame* frame,
                                 IOleInPlaceUIWindow* document) {
  // S_FALSE lets the browser show its own menus and toolbars.
  HRESULT result = (ambientFlags_ & kAmbientBrowserUI) ? S_FALSE : S_OK;
  if (uiHandler_ != nullptr) {
    uiHandler_->ShowUI(id, activeObject, commandTarget, frame, document, &result);
  }
  return result;
}

STDMETHODIMP ControlHost::HideUI() { return uiHandler_ != nullptr ? uiHandler_->HideUI() : S_OK; }

STDMETHODIMP ControlHost::UpdateUI() {
  return uiHandler_ != nullptr ? uiHandler_->UpdateUI() : S_OK;
}

STDMETHODIMP ControlHost::EnableModeless(BOOL enable) {
  return uiHandler_ != nullptr ? uiHandler_->EnableModeless(ToVariantBool(enable != FALSE))
                               : S_OK;
}

STDMETHODIMP ControlHost::OnDocWindowActivate(BOOL activate) {
  return uiHandler_ != nullptr
             ? uiHandler_->OnDocWindowActivate(ToVariantBool(activate != FALSE))
             : S_OK;
}

STDMETHODIMP ControlHost::OnFrameWindowActivate(BOOL activate) {
  return uiHandler_ != nullptr
             ? uiHandler_->OnFrameWindowActivate(ToVariantBool(activate != FALSE))
             : S_OK;
}

STDMETHODIMP ControlHost::ResizeBorder(LPCRECT border, IOleInPlaceUIWindow* window,
                                       BOOL frameWindow) {
  if (uiHandler_ == nullptr) {
    return S_OK;
  }
  const RECT box = border != nullptr ? *border : RECT{};
  return uiHandler_->ResizeBorder(box.left, box.top, box.right, box.bottom, window,
                                  ToVariantBool(frameWindow != FALSE));
}

STDMETHODIMP ControlHost::TranslateAccelerator(LPMSG message, const GUID* commandGroup,
                                               DWORD commandId) {
  HRESULT result = S_FALSE;
  if (uiHandler_ != nullptr && message != nullptr) {
    wchar_t group[40] = {};
    if (commandGroup != nullptr) {
      StringFromGUID2(*commandGroup, group, 40);
    }
    BSTR groupText = SysAllocString(group);
    uiHandler_->TranslateAccelerator(reinterpret_cast<DWORD_PTR>(message->hwnd), message->message,
                                     message->wParam, message->lParam, groupText, commandId,
                                     &result);
    SysFreeString(groupText);
  }
  return result;
}

STDMETHODIMP ControlHost::GetOptionKeyPath(LPOLESTR* key, DWORD reserved) {
  if (key == nullptr) {
    return E_POINTER;
  }
  *key = nullptr;
  BSTR handlerKey = nullptr;
  const wchar_t* source = optionsKey_;
  if (uiHandler_ != nullptr) {
    if (FAILED(uiHandler_->GetOptionKeyPath(&handlerKey, reserved))) {
      SysFreeString(handlerKey);
      return S_FALSE;
    }
    source = handlerKey;
  }
  HRESULT hr = S_FALSE;
  if (source != nullptr) {
    const size_t bytes = (lstrlenW(source) + 1) * sizeof(wchar_t);
    *key = static_cast<LPOLESTR>(CoTaskMemAlloc(bytes));
    if (*key != nullptr) {
      CopyMemory(*key, source, bytes);
      hr = S_OK;
    } else {
      hr = E_OUTOFMEMORY;
    }
  }
  SysFreeString(handlerKey);
  return hr;
}

STDMETHODIMP ControlHost::GetDropTarget(IDropTarget* target, IDropTarget** replacement) {
  if (replacement == nullptr) {
    return E_POINTER;
  }
  *replacement = nullptr;
  if (uiHandler_ == nullptr) {
    return E_NOTIMPL;
  }
  IUnknown* object = nullptr;
  HRESULT hr = uiHandler_->GetDropTarget(target, &object);
  if (SUCCEEDED(hr) && object != nullptr) {
    hr = object->QueryInterface(IID_IDropTarget, reinterpret_cast<void**>(replacement));
  }
  if (object != nullptr) {
    object->Release();
  }
  return *replacement != nullptr ? S_OK : S_FALSE;
}

STDMETHODIMP ControlHost::GetExternal(IDispatch** external) {
  if (external == nullptr) {
    return E_POINTER;
  }
  *external = nullptr;
  if (uiHandler_ == nullptr) {
    *external = externalDispatch_;
    if (externalDispatch_ != nullptr) {
      externalDispatch_->AddRef();
    }
    return S_OK;
  }
  const HRESULT hr = uiHandler_->GetExternal(external);
  if (FAILED(hr) || *external == nullptr) {
    if (SUCCEEDED(hr)) {
      *external = nullptr;
    }
    return E_NOINTERFACE;
  }
  return S_OK;
}

STDMETHODIMP ControlHost::TranslateUrl(DWORD translate, LPWSTR in, LPWSTR* out) {
  if (out == nullptr) {
    return E_POINTER;
  }
  *out = nullptr;
  if (uiHandler_ == nullptr) {
    return S_FALSE;
  }
  BSTR inText = SysAllocString(in);
  BSTR outText = nullptr;
  const HRESULT hr = uiHandler_->TranslateUrl(translate, inText, &outText);
  SysFreeString(inText);
  HRESULT result = S_FALSE;
  if (SUCCEEDED(hr) && outText != nullptr) {
    const size_t bytes = 2 * SysStringLen(outText) + 2;
    *out = static_cast<LPWSTR>(CoTaskMemAlloc(bytes));
    if (*out != nullptr) {
      CopyMemory(*out, outText, bytes - 2);
      (*out)[SysStringLen(outText)] = 0;
      result = S_OK;
    } else {
      result = E_OUTOFMEMORY;
    }
  }
  SysFreeString(outText);
  return result;
}

STDMETHODIMP ControlHost::FilterDataObject(IDataObject* object, IDataObject** replacement) {
  if (replacement == nullptr) {
    return E_POINTER;
  }
  *replacement = nullptr;
  if (uiHandler_ == nullptr) {
    return S_FALSE;
  }
  IUnknown* filtered = nullptr;
  HRESULT hr = uiHandler_->FilterDataObject(object, &filtered);
  if (SUCCEEDED(hr) && filtered != nullptr) {
    hr = filtered->QueryInterface(IID_IDataObject, reinterpret_cast<void**>(replacement));
  }
  if (filtered != nullptr) {
    filtered->Release();
  }
  return *replacement != nullptr ? S_OK : S_FALSE;
}
