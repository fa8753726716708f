// The control host's dispatch interface over its ambient properties.
//
// The dispatch interface answers from the host's own member table
// (ambient_table.h): names map to member identifiers there, and Invoke turns
// an identifier into the matching put or get method. So it works the same
// whether or not the system has a type library for IHostAmbient; only
// GetTypeInfo depends on one being registered.
#include <windows.h>

#include <oleauto.h>

#include "base/com_ptr.h"
#include "webview/com_table.h"
#include "webview/control_host.h"
#include "webview/host_internal.h"
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
    ComPtr<ITypeLib> library;
    hr = LoadRegTypeLib(kHostAmbientTypeLibrary, 1, 0, locale, library.Put());
    if (SUCCEEDED(hr)) {
      ComPtr<ITypeInfo> info;
      hr = library->GetTypeInfoOfGuid(IID_IHostAmbient, info.Put());
      if (SUCCEEDED(hr)) {
        ITypeInfo2* info2 = nullptr;
        if (SUCCEEDED(info->QueryInterface(IID_ITypeInfo2, reinterpret_cast<void**>(&info2)))) {
          info.Reset(info2);
        }
        // Kept until the library is detached (ReleaseAmbientTypeInfo).
        ambientTypeInfo = info.Detach();
        if (!ambientTermRegistered) {
          ambientTermRegistered = NavoAddTermFunc(ReleaseAmbientTypeInfo, nullptr);
        }
      }
    }
  }
  LeaveCriticalSection(&NavoLibrary.typeInfoLock);
  return hr;
}

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
