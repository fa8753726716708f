// The control host: turns a child window of the class "NavoHostWin" into the
// container of one embedded component control, named by the window's text, and
// answers the control's requests to its container.
#pragma once

#include <windows.h>

#include <mshtmhst.h>
#include <ocidl.h>
#include <ole2.h>
#include <servprov.h>

#include "webview/ambient_table.h"
#include "webview/host_interfaces.h"

// The registered messages "WM_NAVOGETHOST" and "WM_NAVOGETCONTROL".
extern UINT NavoGetHostMessage;
extern UINT NavoGetControlMessage;

// Registers the two messages, and the class "NavoHostWin" unless it exists,
// inside the window-creation lock. Returns false when the class is missing.
bool RegisterHostWindowClass();

// The class procedure of "NavoHostWin".
LRESULT CALLBACK HostWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Makes a host for `window` and in it the control called `name`. Hands out
// the host's and the control's IUnknown to the callers that ask for them.
HRESULT CreateControlHost(LPCOLESTR name, HWND window, IStream* stream, IUnknown** host,
                          IUnknown** control, REFIID sinkInterface, IUnknown* sink);

// One host per host window. The reference count is plain: the host, its
// window and its control all live on one thread.
class ControlHost final : public IHostAmbient,
                          public IHostWindow,
                          public IOleClientSite,
                          public IOleInPlaceSiteWindowless,
                          public IOleControlSite,
                          public IOleContainer,
                          public IObjectWithSite,
                          public IServiceProvider,
                          public IDocHostUIHandler,
                          public IAdviseSink {
 public:
  // A new host with one reference, or null when out of memory.
  static ControlHost* Create();

  // The controlling IUnknown.
  IUnknown* Unknown() { return static_cast<IHostAmbient*>(this); }

  // IUnknown (shared by every interface).
  STDMETHODIMP QueryInterface(REFIID iid, void** out) override;
  STDMETHODIMP_(ULONG) AddRef() override;
  STDMETHODIMP_(ULONG) Release() override;

  // IDispatch and IHostAmbient: the ambient properties.
  STDMETHODIMP GetTypeInfoCount(UINT* count) override;
  STDMETHODIMP GetTypeInfo(UINT index, LCID locale, ITypeInfo** info) override;
  STDMETHODIMP GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID locale,
                             DISPID* ids) override;
  STDMETHODIMP Invoke(DISPID id, REFIID iid, LCID locale, WORD flags, DISPPARAMS* params,
                      VARIANT* result, EXCEPINFO* exception, UINT* argError) override;
  STDMETHODIMP put_WindowlessActivationAllowed(VARIANT_BOOL value) override;
  STDMETHODIMP get_WindowlessActivationAllowed(VARIANT_BOOL* value) override;
  STDMETHODIMP put_BackColor(OLE_COLOR value) override;
  STDMETHODIMP get_BackColor(OLE_COLOR* value) override;
  STDMETHODIMP put_ForeColor(OLE_COLOR value) override;
  STDMETHODIMP get_ForeColor(OLE_COLOR* value) override;
  STDMETHODIMP put_LocaleID(LCID value) override;
  STDMETHODIMP get_LocaleID(LCID* value) override;
  STDMETHODIMP put_UserMode(VARIANT_BOOL value) override;
  STDMETHODIMP get_UserMode(VARIANT_BOOL* value) override;
  STDMETHODIMP put_DisplayAsDefault(VARIANT_BOOL value) override;
  STDMETHODIMP get_DisplayAsDefault(VARIANT_BOOL* value) override;
  STDMETHODIMP put_Font(IFontDisp* value) override;
  STDMETHODIMP get_Font(IFontDisp** value) override;
  STDMETHODIMP put_MessageReflect(VARIANT_BOOL value) override;
  STDMETHODIMP get_MessageReflect(VARIANT_BOOL* value) override;
  STDMETHODIMP get_ShowGrabHandles(VARIANT_BOOL* value) override;
  STDMETHODIMP get_ShowHatching(VARIANT_BOOL* value) override;
  STDMETHODIMP put_HostInfoFlags(DWORD value) override;
  STDMETHODIMP get_HostInfoFlags(DWORD* value) override;
  STDMETHODIMP put_HostInfoDoubleClick(DWORD value) override;
  STDMETHODIMP get_HostInfoDoubleClick(DWORD* value) override;
  STDMETHODIMP put_ContextMenuAllowed(VARIANT_BOOL value) override;
  STDMETHODIMP get_ContextMenuAllowed(VARIANT_BOOL* value) override;
  STDMETHODIMP put_BrowserUIAllowed(VARIANT_BOOL value) override;
  STDMETHODIMP get_BrowserUIAllowed(VARIANT_BOOL* value) override;
  STDMETHODIMP put_OptionsKey(BSTR value) override;
  STDMETHODIMP get_OptionsKey(BSTR* value) override;

  // IHostWindow.
  STDMETHODIMP CreateHostedControl(LPCOLESTR name, HWND window, IStream* stream) override;
  STDMETHODIMP CreateHostedControlWithSink(LPCOLESTR name, HWND window, IStream* stream,
                                           IUnknown** control, REFIID sinkInterface,
                                           IUnknown* sink) override;
  STDMETHODIMP AttachHostedControl(IUnknown* control, HWND window) override;
  STDMETHODIMP QueryHostedControl(REFIID iid, void** out) override;
  STDMETHODIMP SetHostExternalDispatch(IDispatch* dispatch) override;
  STDMETHODIMP SetHostUIHandler(IHostUIHandlerDispatch* handler) override;

  // IOleClientSite.
  STDMETHODIMP SaveObject() override;
  STDMETHODIMP GetMoniker(DWORD assign, DWORD which, IMoniker** moniker) override;
  STDMETHODIMP GetContainer(IOleContainer** container) override;
  STDMETHODIMP ShowObject() override;
  STDMETHODIMP OnShowWindow(BOOL show) override;
  STDMETHODIMP RequestNewObjectLayout() override;

  // IOleWindow, IOleInPlaceSite, IOleInPlaceSiteEx, IOleInPlaceSiteWindowless.
  STDMETHODIMP GetWindow(HWND* window) override;
  STDMETHODIMP ContextSensitiveHelp(BOOL enterMode) override;
  STDMETHODIMP CanInPlaceActivate() override;
  STDMETHODIMP OnInPlaceActivate() override;
  STDMETHODIMP OnUIActivate() override;
  STDMETHODIMP GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** document,
                                LPRECT position, LPRECT clip,
                                LPOLEINPLACEFRAMEINFO frameInfo) override;
  STDMETHODIMP Scroll(SIZE extent) override;
  STDMETHODIMP OnUIDeactivate(BOOL undoable) override;
  STDMETHODIMP OnInPlaceDeactivate() override;
  STDMETHODIMP DiscardUndoState() override;
  STDMETHODIMP DeactivateAndUndo() override;
  STDMETHODIMP OnPosRectChange(LPCRECT position) override;
  STDMETHODIMP OnInPlaceActivateEx(BOOL* noRedraw, DWORD flags) override;
  STDMETHODIMP OnInPlaceDeactivateEx(BOOL noRedraw) override;
  STDMETHODIMP RequestUIActivate() override;
  STDMETHODIMP CanWindowlessActivate() override;
  STDMETHODIMP GetCapture() override;
  STDMETHODIMP SetCapture(BOOL capture) override;
  STDMETHODIMP GetFocus() override;
  STDMETHODIMP SetFocus(BOOL focus) override;
  STDMETHODIMP GetDC(LPCRECT rect, DWORD flags, HDC* dc) override;
  STDMETHODIMP ReleaseDC(HDC dc) override;
  STDMETHODIMP InvalidateRect(LPCRECT rect, BOOL erase) override;
  STDMETHODIMP InvalidateRgn(HRGN region, BOOL erase) override;
  STDMETHODIMP ScrollRect(INT dx, INT dy, LPCRECT scroll, LPCRECT clip) override;
  STDMETHODIMP AdjustRect(LPRECT rect) override;
  STDMETHODIMP OnDefWindowMessage(UINT message, WPARAM wParam, LPARAM lParam,
                                  LRESULT* result) override;

  // IOleControlSite.
  STDMETHODIMP OnControlInfoChanged() override;
  STDMETHODIMP LockInPlaceActive(BOOL lock) override;
  STDMETHODIMP GetExtendedControl(IDispatch** control) override;
  STDMETHODIMP TransformCoords(POINTL* himetric, POINTF* container, DWORD flags) override;
  STDMETHODIMP TranslateAccelerator(MSG* message, DWORD modifiers) override;
  STDMETHODIMP OnFocus(BOOL gotFocus) override;
  STDMETHODIMP ShowPropertyFrame() override;

  // IOleContainer.
  STDMETHODIMP ParseDisplayName(IBindCtx* context, LPOLESTR name, ULONG* eaten,
                                IMoniker** moniker) override;
  STDMETHODIMP EnumObjects(DWORD flags, IEnumUnknown** objects) override;
  STDMETHODIMP LockContainer(BOOL lock) override;

  // IObjectWithSite.
  STDMETHODIMP SetSite(IUnknown* site) override;
  STDMETHODIMP GetSite(REFIID iid, void** site) override;

  // IServiceProvider.
  STDMETHODIMP QueryService(REFGUID service, REFIID iid, void** out) override;

  // IDocHostUIHandler.
  STDMETHODIMP ShowContextMenu(DWORD id, POINT* point, IUnknown* target,
                               IDispatch* reserved) override;
  STDMETHODIMP GetHostInfo(DOCHOSTUIINFO* info) override;
  STDMETHODIMP ShowUI(DWORD id, IOleInPlaceActiveObject* activeObject,
                      IOleCommandTarget* commandTarget, IOleInPlaceFrame* frame,
                      IOleInPlaceUIWindow* document) override;
  STDMETHODIMP HideUI() override;
  STDMETHODIMP UpdateUI() override;
  STDMETHODIMP EnableModeless(BOOL enable) override;
  STDMETHODIMP OnDocWindowActivate(BOOL activate) override;
  STDMETHODIMP OnFrameWindowActivate(BOOL activate) override;
  STDMETHODIMP ResizeBorder(LPCRECT border, IOleInPlaceUIWindow* window,
                            BOOL frameWindow) override;
  STDMETHODIMP TranslateAccelerator(LPMSG message, const GUID* commandGroup,
                                    DWORD commandId) override;
  STDMETHODIMP GetOptionKeyPath(LPOLESTR* key, DWORD reserved) override;
  STDMETHODIMP GetDropTarget(IDropTarget* target, IDropTarget** replacement) override;
  STDMETHODIMP GetExternal(IDispatch** external) override;
  STDMETHODIMP TranslateUrl(DWORD translate, LPWSTR in, LPWSTR* out) override;
  STDMETHODIMP FilterDataObject(IDataObject* object, IDataObject** replacement) override;

  // IAdviseSink.
  STDMETHODIMP_(void) OnDataChange(FORMATETC* format, STGMEDIUM* medium) override;
  STDMETHODIMP_(void) OnViewChange(DWORD aspect, LONG index) override;
  STDMETHODIMP_(void) OnRename(IMoniker* moniker) override;
  STDMETHODIMP_(void) OnSave() override;
  STDMETHODIMP_(void) OnClose() override;

 private:
  ControlHost();
  ~ControlHost();

  // The procedure the host installs on its window.
  static LRESULT CALLBACK SubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  // Handles `message` for the host window; sets `handled` when it answered it.
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled);
  LRESULT CallReplaced(UINT message, WPARAM wParam, LPARAM lParam);
  bool Subclass(HWND window);
  // Lets go of the control and the window held so far and takes over `window`;
  // false when `window` is no window.
  bool TakeWindow(HWND window);
  // Redraws the window held so far and lets go of it.
  void LetGoOfWindow();
  void Redraw();
  // Creates the object named by `name`; sets `htmlOrUrl` when the name was
  // taken as HTML or as a URL.
  HRESULT CreateNamedObject(LPCOLESTR name, IUnknown** object, bool& htmlOrUrl);
  // Embeds `object` in the window and activates it in place.
  HRESULT Activate(IUnknown* object, bool initialized, IStream* stream);
  // Shows HTML or navigates to a URL after creation from such a name.
  void LoadHtmlOrUrl(LPCOLESTR name);
  // Lets go of the control and every reference the host holds for it.
  void ReleaseAll();
  // Tells the control that ambient property `dispId` changed.
  void NotifyAmbientChange(DISPID dispId);
  void SetFlag(uint32_t flag, VARIANT_BOOL value);
  VARIANT_BOOL GetFlag(uint32_t flag) const;
  void OnSize(int width, int height);
  void OnSetFocus();
  void PaintWindow();
  bool HitsWindowlessControl(UINT message, LPARAM lParam);
  LRESULT Reflect(UINT message, WPARAM wParam, LPARAM lParam, bool& handled);
  IOleInPlaceObjectWindowless* WindowlessObject() const;
  HRESULT DefaultFont(IFontDisp** font);
  HRESULT InvokeGet(const AmbientMember& member, VARIANT* result);
  HRESULT InvokePut(const AmbientMember& member, VARIANT* value);

  ULONG refs_ = 1;
  bool destroyReferenceHeld_ = false;

  HWND window_ = nullptr;
  WNDPROC replacedProc_ = nullptr;

  IUnknown* control_ = nullptr;
  IOleObject* oleObject_ = nullptr;
  IOleInPlaceObject* inPlaceObject_ = nullptr;  // windowless kind when windowless_
  IViewObject* viewObject_ = nullptr;           // the kind says which interface
  int viewKind_ = 0;                            // 7 IViewObjectEx, 3 IViewObject2, 1 IViewObject

  IOleInPlaceFrame* frame_ = nullptr;
  IOleInPlaceUIWindow* document_ = nullptr;
  // The frame's accelerator table handed to the control with the window
  // context: one empty entry, made on first demand, destroyed on release.
  HACCEL accelerators_ = nullptr;
  IUnknown* outerSite_ = nullptr;
  IServiceProvider* serviceProvider_ = nullptr;
  IDispatch* externalDispatch_ = nullptr;
  IHostUIHandlerDispatch* uiHandler_ = nullptr;
  IFontDisp* font_ = nullptr;

  DWORD adviseCookie_ = 0;
  DWORD sinkCookie_;
  IID sinkInterface_ = IID_NULL;

  RECT position_ = {};
  SIZE pixelSize_ = {};
  SIZEL himetricSize_ = {};
  DWORD miscStatus_ = 0;

  bool inPlaceActive_ = false;
  bool uiActive_ = false;
  bool mdiApplication_ = false;
  bool windowless_ = false;
  bool captured_ = false;
  bool hasFocus_ = false;
  bool releasing_ = false;
  bool containerLocked_ = false;

  uint32_t ambientFlags_;
  COLORREF backColor_ = 0;
  COLORREF foreColor_;
  LCID localeId_;
  DWORD hostInfoFlags_;
  DWORD hostInfoDoubleClick_;
  BSTR optionsKey_ = nullptr;
};
