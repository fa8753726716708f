// The control host's own interfaces: IHostWindow (create, attach and query the
// hosted control), IHostAmbient (the ambient properties as a dispatch
// interface) and IHostUIHandlerDispatch (an outside document-host handler).
// Shared with the tests, which drive a host through them.
#pragma once

#include <windows.h>

#include <ole2.h>
#include <olectl.h>

inline constexpr IID IID_IHostWindow = {
    0xB6EA2050, 0x048A, 0x11D1, {0x82, 0xB9, 0x00, 0xC0, 0x4F, 0xB9, 0x94, 0x2E}};
inline constexpr IID IID_IHostAmbient = {
    0xB6EA2051, 0x048A, 0x11D1, {0x82, 0xB9, 0x00, 0xC0, 0x4F, 0xB9, 0x94, 0x2E}};
// The type library that describes IHostAmbient on systems that have it.
inline constexpr GUID kHostAmbientTypeLibrary = {
    0x44EC0535, 0x400F, 0x11D0, {0x9D, 0xCD, 0x00, 0xA0, 0xC9, 0x03, 0x91, 0xD3}};
// The browser control and the HTML document object.
inline constexpr CLSID kClsidWebBrowser = {
    0x8856F961, 0x340A, 0x11D0, {0xA9, 0x6B, 0x00, 0xC0, 0x4F, 0xD7, 0x05, 0xA2}};
inline constexpr CLSID kClsidHtmlDocument = {
    0x25336920, 0x03F9, 0x11CF, {0x8F, 0xD0, 0x00, 0xAA, 0x00, 0x68, 0x6F, 0x13}};

// A document-host handler reached through automation types: flags as
// VARIANT_BOOL, points and rectangles as separate numbers, strings as BSTRs.
struct IHostUIHandlerDispatch : public IDispatch {
  virtual HRESULT STDMETHODCALLTYPE ShowContextMenu(DWORD id, DWORD x, DWORD y, IUnknown* target,
                                                    IDispatch* reserved, HRESULT* result) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetHostInfo(DWORD* flags, DWORD* doubleClick) = 0;
  virtual HRESULT STDMETHODCALLTYPE ShowUI(DWORD id, IUnknown* activeObject,
                                           IUnknown* commandTarget, IUnknown* frame,
                                           IUnknown* document, HRESULT* result) = 0;
  virtual HRESULT STDMETHODCALLTYPE HideUI() = 0;
  virtual HRESULT STDMETHODCALLTYPE UpdateUI() = 0;
  virtual HRESULT STDMETHODCALLTYPE EnableModeless(VARIANT_BOOL enable) = 0;
  virtual HRESULT STDMETHODCALLTYPE OnDocWindowActivate(VARIANT_BOOL activate) = 0;
  virtual HRESULT STDMETHODCALLTYPE OnFrameWindowActivate(VARIANT_BOOL activate) = 0;
  virtual HRESULT STDMETHODCALLTYPE ResizeBorder(long left, long top, long right, long bottom,
                                                 IUnknown* window, VARIANT_BOOL frameWindow) = 0;
  virtual HRESULT STDMETHODCALLTYPE TranslateAccelerator(DWORD_PTR window, DWORD message,
                                                         DWORD_PTR wParam, DWORD_PTR lParam,
                                                         BSTR commandGroup, DWORD commandId,
                                                         HRESULT* result) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetOptionKeyPath(BSTR* key, DWORD reserved) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetDropTarget(IUnknown* target, IUnknown** replacement) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetExternal(IDispatch** external) = 0;
  virtual HRESULT STDMETHODCALLTYPE TranslateUrl(DWORD translate, BSTR in, BSTR* out) = 0;
  virtual HRESULT STDMETHODCALLTYPE FilterDataObject(IUnknown* object, IUnknown** replacement) = 0;
};

// The host's own interface: makes, attaches and hands out its control.
struct IHostWindow : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE CreateHostedControl(LPCOLESTR name, HWND window,
                                                        IStream* stream) = 0;
  virtual HRESULT STDMETHODCALLTYPE CreateHostedControlWithSink(LPCOLESTR name, HWND window,
                                                                IStream* stream,
                                                                IUnknown** control,
                                                                REFIID sinkInterface,
                                                                IUnknown* sink) = 0;
  virtual HRESULT STDMETHODCALLTYPE AttachHostedControl(IUnknown* control, HWND window) = 0;
  virtual HRESULT STDMETHODCALLTYPE QueryHostedControl(REFIID iid, void** out) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetHostExternalDispatch(IDispatch* dispatch) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetHostUIHandler(IHostUIHandlerDispatch* handler) = 0;
};

// The ambient properties, each as a put and a get method.
struct IHostAmbient : public IDispatch {
  virtual HRESULT STDMETHODCALLTYPE put_WindowlessActivationAllowed(VARIANT_BOOL value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_WindowlessActivationAllowed(VARIANT_BOOL* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_BackColor(OLE_COLOR value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_BackColor(OLE_COLOR* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_ForeColor(OLE_COLOR value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_ForeColor(OLE_COLOR* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_LocaleID(LCID value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_LocaleID(LCID* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_UserMode(VARIANT_BOOL value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_UserMode(VARIANT_BOOL* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_DisplayAsDefault(VARIANT_BOOL value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_DisplayAsDefault(VARIANT_BOOL* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_Font(IFontDisp* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Font(IFontDisp** value) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_MessageReflect(VARIANT_BOOL value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_MessageReflect(VARIANT_BOOL* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_ShowGrabHandles(VARIANT_BOOL* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_ShowHatching(VARIANT_BOOL* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_HostInfoFlags(DWORD value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_HostInfoFlags(DWORD* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_HostInfoDoubleClick(DWORD value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_HostInfoDoubleClick(DWORD* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_ContextMenuAllowed(VARIANT_BOOL value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_ContextMenuAllowed(VARIANT_BOOL* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_BrowserUIAllowed(VARIANT_BOOL value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_BrowserUIAllowed(VARIANT_BOOL* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_OptionsKey(BSTR value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_OptionsKey(BSTR* value) = 0;
};

// Names of the host's registered messages.
inline constexpr char kGetHostMessageName[] = "WM_NAVOGETHOST";
inline constexpr char kGetControlMessageName[] = "WM_NAVOGETCONTROL";
// The host window class.
inline constexpr char kHostWindowClass[] = "NavoHostWin";
