// Tests of the control host under Wine: host windows of the class
// "NavoHostWin" embed a test control, which reports what it sees of its
// container.
#include <windows.h>

#include <mshtmhst.h>
#include <mshtml.h>
#include <ocidl.h>
#include <olectl.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "test_control.h"
#include "test_document.h"
#include "webview/ambient_table.h"
#include "webview/host_interfaces.h"
#include "webview/host_rules.h"
#include "webview/navo.h"
#include "webview_test_util.h"

namespace {

constexpr char kTestControlText[] = "{5A1B7C3E-2D4F-4E6A-9B8C-7D6E5F403122}";
constexpr char kWindowlessControlText[] = "{5A1B7C3F-2D4F-4E6A-9B8C-7D6E5F403122}";

UINT GetHostMessage() { return RegisterWindowMessageA("WM_NAVOGETHOST"); }
UINT GetControlMessage() { return RegisterWindowMessageA("WM_NAVOGETCONTROL"); }

// One parent for the suite; each test gets a fresh log and factories that
// make test controls for the test's own class identifier and for the browser
// class, so that no test reaches Wine's browser.
class ControlHostTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    OleInitialize(nullptr);
    parent_ = CreateTestParent("ControlHostTestParent");
    // The host class is registered by the library's one export.
    ControlLog log;
    TestControlFactory browser(&log, ControlKind::kBrowser);
    browser.Register(kClsidWebBrowser);
    DestroyWindow(jNAVO_Create(parent_, nullptr, 0));
    browser.Revoke();
  }

  static void TearDownTestSuite() {
    DestroyWindow(parent_);
    OleUninitialize();
  }

  void SetUp() override {
    ASSERT_NE(parent_, nullptr);
    ASSERT_NE(NavoInstance(), nullptr);
    ASSERT_TRUE(controls_.Register(kTestControlClsid));
    ASSERT_TRUE(windowless_.Register(kWindowlessControlClsid));
    ASSERT_TRUE(browsers_.Register(kClsidWebBrowser));
  }

  void TearDown() override {
    if (host_ != nullptr && IsWindow(host_)) {
      DestroyWindow(host_);
    }
    controls_.Revoke();
    windowless_.Revoke();
    browsers_.Revoke();
    if (log_.site != nullptr) {
      log_.site->Release();
      log_.site = nullptr;
    }
  }

  // A host window of `width` × `height` whose text names its control.
  HWND CreateHost(const char* text, int width = 360, int height = 135,
                  DWORD style = WS_CHILD | WS_VISIBLE, HWND parent = nullptr) {
    host_ = CreateWindowExA(0, kHostWindowClass, text, style, 0, 0, width, height,
                            parent != nullptr ? parent : parent_, nullptr, NavoInstance(), nullptr);
    return host_;
  }

  // The host of `window`, through "WM_NAVOGETHOST".
  template <typename T>
  HRESULT HostInterface(HWND window, REFIID iid, ComPtr<T>& out) {
    ComPtr<IUnknown> unknown(
        reinterpret_cast<IUnknown*>(SendMessageA(window, GetHostMessage(), 0, 0)));
    if (!unknown) {
      return E_FAIL;
    }
    return unknown->QueryInterface(iid, out.PutVoid());
  }

  // The site the control was given, as `iid`.
  template <typename T>
  HRESULT SiteInterface(REFIID iid, ComPtr<T>& out) {
    if (log_.site == nullptr) {
      return E_FAIL;
    }
    return log_.site->QueryInterface(iid, out.PutVoid());
  }

  static HWND parent_;
  HWND host_ = nullptr;
  ControlLog log_;
  TestControlFactory controls_{&log_, ControlKind::kWindowed};
  TestControlFactory windowless_{&log_, ControlKind::kWindowless};
  TestControlFactory browsers_{&log_, ControlKind::kBrowser};
};

HWND ControlHostTest::parent_ = nullptr;

// ---- creation and activation ----

TEST_F(ControlHostTest, CreatesTheControlNamedByClassIdentifierAndActivatesIt) {
  ASSERT_NE(CreateHost(kTestControlText), nullptr);
  EXPECT_EQ(WindowText(host_), "");  // the name is taken and cleared
  EXPECT_EQ(log_.live, 1);
  EXPECT_EQ(log_.setClientSiteCalls, 1);
  EXPECT_EQ(log_.initNewCalls, 1);  // a new control without saved state
  ASSERT_FALSE(log_.verbs.empty());
  EXPECT_EQ(log_.verbs.front(), OLEIVERB_INPLACEACTIVATE);
  EXPECT_EQ(log_.setSiteCalls, 1);

  // The object site is the host itself.
  ComPtr<IUnknown> host;
  ASSERT_EQ(HostInterface(host_, IID_IUnknown, host), S_OK);
  EXPECT_EQ(log_.objectSite, host.get());

  // The control the host hands out is the one that was made.
  ComPtr<IUnknown> control(
      reinterpret_cast<IUnknown*>(SendMessageA(host_, GetControlMessage(), 0, 0)));
  ASSERT_TRUE(control);
  ComPtr<IOleObject> object;
  EXPECT_EQ(control->QueryInterface(IID_IOleObject, object.PutVoid()), S_OK);
  CLSID clsid = {};
  object->GetUserClassID(&clsid);
  EXPECT_TRUE(IsEqualCLSID(clsid, kTestControlClsid));
}

TEST_F(ControlHostTest, EmptyTextGivesNoControlAndCreationSucceeds) {
  ASSERT_NE(CreateHost(""), nullptr);
  EXPECT_EQ(log_.live, 0);
  EXPECT_EQ(SendMessageA(host_, GetControlMessage(), 0, 0), 0);

  ComPtr<IHostWindow> host;
  ASSERT_EQ(HostInterface(host_, IID_IHostWindow, host), S_OK);
  ComPtr<IUnknown> none;
  EXPECT_EQ(host->QueryHostedControl(IID_IUnknown, none.PutVoid()), OLE_E_NOCONNECTION);
  EXPECT_FALSE(none);
  EXPECT_EQ(host->QueryHostedControl(IID_IUnknown, nullptr), E_POINTER);
}

TEST_F(ControlHostTest, BackgroundIsTheWindowColourOrButtonFaceUnderADialog) {
  ASSERT_NE(CreateHost(""), nullptr);
  ComPtr<IHostAmbient> ambient;
  ASSERT_EQ(HostInterface(host_, IID_IHostAmbient, ambient), S_OK);
  OLE_COLOR colour = 0;
  ambient->get_BackColor(&colour);
  EXPECT_EQ(colour, GetSysColor(COLOR_WINDOW));

  HWND dialog = CreateWindowExA(0, "#32770", "", WS_CHILD | WS_VISIBLE, 0, 0, 400, 200, parent_,
                                nullptr, nullptr, nullptr);
  ASSERT_NE(dialog, nullptr);
  HWND first = host_;
  ASSERT_NE(CreateHost("", 360, 135, WS_CHILD | WS_VISIBLE, dialog), nullptr);
  ComPtr<IHostAmbient> dialogAmbient;
  ASSERT_EQ(HostInterface(host_, IID_IHostAmbient, dialogAmbient), S_OK);
  dialogAmbient->get_BackColor(&colour);
  EXPECT_EQ(colour, GetSysColor(COLOR_BTNFACE));
  ASSERT_NE(GetSysColor(COLOR_BTNFACE), GetSysColor(COLOR_WINDOW));
  DestroyWindow(dialog);
  DestroyWindow(first);
}

TEST_F(ControlHostTest, ProgrammaticIdentifierCreatesTheBrowserWithoutNavigating) {
  ASSERT_NE(CreateHost("Shell.Explorer.2"), nullptr);
  EXPECT_EQ(log_.live, 1);
  EXPECT_EQ(log_.browser.navigateCount, 0);
  EXPECT_EQ(log_.browser.visibleCalls, 0);
  ComPtr<IDocHostUIHandler> handler;
  ASSERT_EQ(SiteInterface(IID_IDocHostUIHandler, handler), S_OK);
  DOCHOSTUIINFO info = {};
  info.cbSize = sizeof info;
  handler->GetHostInfo(&info);
  EXPECT_EQ(info.dwFlags, 4u);
}

// A text that names no class ends with the browser, shown and sent there.
TEST_F(ControlHostTest, UrlTextIsNavigatedByTheBrowser) {
  const struct {
    const char* label;
    const char* text;
    const wchar_t* url;
  } cases[] = {
      {"URL", "http://127.0.0.1:8750/admin/norvalisk/help_page.php?page=info",
       L"http://127.0.0.1:8750/admin/norvalisk/help_page.php?page=info"},
      {"unknown class identifier", "{00000000-0000-0000-0000-0000000000AB}",
       L"{00000000-0000-0000-0000-0000000000AB}"},
  };
  for (const auto& c : cases) {
    log_.browser = {};
    ASSERT_NE(CreateHost(c.text), nullptr) << c.label;
    EXPECT_EQ(log_.browser.visibleCalls, 1) << c.label;
    EXPECT_EQ(log_.browser.visible, VARIANT_TRUE) << c.label;
    EXPECT_EQ(log_.browser.navigateCount, 1) << c.label;
    EXPECT_EQ(log_.browser.urlType, VT_BSTR) << c.label;
    EXPECT_STREQ(log_.browser.url, c.url) << c.label;
    EXPECT_TRUE(log_.browser.othersShareOneEmpty) << c.label;

    // Without scroll-bar styles the document shows no scroll bars either.
    ComPtr<IDocHostUIHandler> handler;
    ASSERT_EQ(SiteInterface(IID_IDocHostUIHandler, handler), S_OK);
    DOCHOSTUIINFO info = {};
    info.cbSize = sizeof info;
    handler->GetHostInfo(&info);
    EXPECT_EQ(info.dwFlags, 4u | 8u) << c.label;
    handler.Reset();
    DestroyWindow(host_);
  }
}

TEST_F(ControlHostTest, UrlInAWindowWithScrollBarsLosesTheScrollBarStyles) {
  ASSERT_NE(CreateHost("http://example.invalid/", 360, 135, WS_CHILD | WS_VISIBLE | WS_VSCROLL),
            nullptr);
  EXPECT_EQ(GetWindowLongPtrA(host_, GWL_STYLE) & (WS_VSCROLL | WS_HSCROLL), 0);
  ComPtr<IDocHostUIHandler> handler;
  ASSERT_EQ(SiteInterface(IID_IDocHostUIHandler, handler), S_OK);
  DOCHOSTUIINFO info = {};
  info.cbSize = sizeof info;
  handler->GetHostInfo(&info);
  EXPECT_EQ(info.dwFlags, 4u);
}

TEST_F(ControlHostTest, ControlThatCannotBeMadeAbortsWindowCreation) {
  TestControlFactory failing(&log_, ControlKind::kWindowed, E_OUTOFMEMORY);
  controls_.Revoke();
  browsers_.Revoke();
  ASSERT_TRUE(failing.Register(kTestControlClsid));
  TestControlFactory failingBrowser(&log_, ControlKind::kBrowser, E_OUTOFMEMORY);
  ASSERT_TRUE(failingBrowser.Register(kClsidWebBrowser));
  EXPECT_EQ(CreateHost(kTestControlText), nullptr);
  failing.Revoke();
  failingBrowser.Revoke();
  EXPECT_EQ(log_.live, 0);
}

// ---- the site's interfaces ----

TEST_F(ControlHostTest, InPlaceSiteInterfacesShareOnePointer) {
  ASSERT_NE(CreateHost(kTestControlText), nullptr);
  const IID* iids[] = {&IID_IOleInPlaceSite, &IID_IOleInPlaceSiteEx, &IID_IOleWindow,
                       &IID_IOleInPlaceSiteWindowless};
  ComPtr<IUnknown> first;
  ASSERT_EQ(SiteInterface(*iids[0], first), S_OK);
  for (const IID* iid : iids) {
    ComPtr<IUnknown> other;
    ASSERT_EQ(SiteInterface(*iid, other), S_OK);
    EXPECT_EQ(other.get(), first.get());
  }

  // Every interface leads back to one controlling unknown.
  ComPtr<IUnknown> identity;
  ASSERT_EQ(SiteInterface(IID_IUnknown, identity), S_OK);
  const IID* others[] = {&IID_IDispatch, &IID_IOleControlSite, &IID_IOleContainer,
                         &IID_IObjectWithSite, &IID_IServiceProvider, &IID_IDocHostUIHandler,
                         &IID_IAdviseSink, &IID_IHostWindow, &IID_IHostAmbient};
  for (const IID* iid : others) {
    ComPtr<IUnknown> face;
    ASSERT_EQ(SiteInterface(*iid, face), S_OK);
    ComPtr<IUnknown> back;
    ASSERT_EQ(face->QueryInterface(IID_IUnknown, back.PutVoid()), S_OK);
    EXPECT_EQ(back.get(), identity.get());
  }

  IUnknown* none = reinterpret_cast<IUnknown*>(1);
  EXPECT_EQ(log_.site->QueryInterface(IID_IOleInPlaceFrame, reinterpret_cast<void**>(&none)),
            E_NOINTERFACE);
  EXPECT_EQ(none, nullptr);
  EXPECT_EQ(log_.site->QueryInterface(IID_IOleWindow, nullptr), E_POINTER);

  ComPtr<IOleWindow> window;
  ASSERT_EQ(SiteInterface(IID_IOleWindow, window), S_OK);
  HWND answer = nullptr;
  EXPECT_EQ(window->GetWindow(&answer), S_OK);
  EXPECT_EQ(answer, host_);
}

TEST_F(ControlHostTest, WindowlessActivationFollowsTheAmbientProperty) {
  ASSERT_NE(CreateHost(kTestControlText), nullptr);
  ComPtr<IOleInPlaceSiteWindowless> site;
  ASSERT_EQ(SiteInterface(IID_IOleInPlaceSiteWindowless, site), S_OK);
  EXPECT_EQ(site->CanWindowlessActivate(), S_OK);

  // Turned off through the ambient dispatch interface, by name.
  ComPtr<IDispatch> ambient;
  ASSERT_EQ(SiteInterface(IID_IDispatch, ambient), S_OK);
  LPOLESTR name = const_cast<LPOLESTR>(L"WindowlessActivationAllowed");
  DISPID id = 0;
  ASSERT_EQ(ambient->GetIDsOfNames(IID_NULL, &name, 1, LOCALE_USER_DEFAULT, &id), S_OK);
  VARIANT value;
  VariantInit(&value);
  V_VT(&value) = VT_BOOL;
  V_BOOL(&value) = VARIANT_FALSE;
  DISPID putId = DISPID_PROPERTYPUT;
  DISPPARAMS params = {&value, &putId, 1, 1};
  ASSERT_EQ(ambient->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYPUT, &params,
                            nullptr, nullptr, nullptr),
            S_OK);
  EXPECT_EQ(site->CanWindowlessActivate(), S_FALSE);
}

TEST_F(ControlHostTest, DocumentHostDefaults) {
  ASSERT_NE(CreateHost(kTestControlText), nullptr);
  ComPtr<IDocHostUIHandler> handler;
  ASSERT_EQ(SiteInterface(IID_IDocHostUIHandler, handler), S_OK);
  POINT at = {5, 5};
  EXPECT_EQ(handler->ShowContextMenu(0, &at, nullptr, nullptr), S_FALSE);
  EXPECT_EQ(handler->ShowUI(0, nullptr, nullptr, nullptr, nullptr), S_OK);
  DOCHOSTUIINFO info = {};
  info.cbSize = sizeof info;
  info.dwFlags = 0xFFFF;
  info.dwDoubleClick = 0xFFFF;
  EXPECT_EQ(handler->GetHostInfo(&info), S_OK);
  EXPECT_EQ(info.dwFlags, 4u);
  EXPECT_EQ(info.dwDoubleClick, 0u);
  EXPECT_EQ(handler->GetHostInfo(nullptr), E_POINTER);
  EXPECT_EQ(handler->TranslateAccelerator(nullptr, nullptr, 0), S_FALSE);
  LPOLESTR key = reinterpret_cast<LPOLESTR>(1);
  EXPECT_EQ(handler->GetOptionKeyPath(&key, 0), S_FALSE);
  EXPECT_EQ(key, nullptr);
  IDropTarget* target = reinterpret_cast<IDropTarget*>(1);
  EXPECT_EQ(handler->GetDropTarget(nullptr, &target), E_NOTIMPL);
  EXPECT_EQ(target, nullptr);
  IDispatch* external = reinterpret_cast<IDispatch*>(1);
  EXPECT_EQ(handler->GetExternal(&external), S_OK);
  EXPECT_EQ(external, nullptr);

  // The two answers follow their ambient properties.
  ComPtr<IHostAmbient> ambient;
  ASSERT_EQ(SiteInterface(IID_IHostAmbient, ambient), S_OK);
  ambient->put_ContextMenuAllowed(VARIANT_FALSE);
  ambient->put_BrowserUIAllowed(VARIANT_TRUE);
  EXPECT_EQ(handler->ShowContextMenu(0, &at, nullptr, nullptr), S_OK);
  EXPECT_EQ(handler->ShowUI(0, nullptr, nullptr, nullptr, nullptr), S_FALSE);

  // An option key path is handed out as a task-memory copy.
  BSTR path = SysAllocString(L"Software\\Norvalisk");
  ambient->put_OptionsKey(path);
  SysFreeString(path);
  ASSERT_EQ(handler->GetOptionKeyPath(&key, 0), S_OK);
  EXPECT_STREQ(key, L"Software\\Norvalisk");
  CoTaskMemFree(key);
}

TEST_F(ControlHostTest, BackColorPutNotifiesTheControlAndContextMenuPutDoesNot) {
  ASSERT_NE(CreateHost(kTestControlText), nullptr);
  ComPtr<IHostAmbient> ambient;
  ASSERT_EQ(HostInterface(host_, IID_IHostAmbient, ambient), S_OK);
  log_.ambientChanges.clear();
  EXPECT_EQ(ambient->put_BackColor(RGB(10, 20, 30)), S_OK);
  ASSERT_EQ(log_.ambientChanges.size(), 1u);
  EXPECT_EQ(log_.ambientChanges[0], -701);
  log_.ambientChanges.clear();
  EXPECT_EQ(ambient->put_ContextMenuAllowed(VARIANT_FALSE), S_OK);
  EXPECT_TRUE(log_.ambientChanges.empty());
}

// Every ambient property through the dispatch interface by name: the put is
// seen by a get, and notifies the control when it should.
TEST_F(ControlHostTest, AmbientDispatchPutsAndGetsEveryProperty) {
  ASSERT_NE(CreateHost(kTestControlText), nullptr);
  ComPtr<IDispatch> ambient;
  ASSERT_EQ(SiteInterface(IID_IDispatch, ambient), S_OK);
  UINT count = 0;
  EXPECT_EQ(ambient->GetTypeInfoCount(&count), S_OK);
  EXPECT_EQ(count, 1u);

  const struct {
    const wchar_t* name;
    VARTYPE type;
    LONG number;            // for the numeric and Boolean cases
    const wchar_t* text;    // for the string case
    DISPID notified;        // 0: no notification
  } cases[] = {
      {L"BackColor", VT_I4, 0x123456, nullptr, -701},
      {L"ForeColor", VT_I4, 0x654321, nullptr, -704},
      {L"LocaleID", VT_I4, 0x411, nullptr, -705},
      {L"UserMode", VT_BOOL, VARIANT_FALSE, nullptr, -709},
      {L"DisplayAsDefault", VT_BOOL, VARIANT_TRUE, nullptr, -713},
      {L"MessageReflect", VT_BOOL, VARIANT_FALSE, nullptr, -706},
      {L"HostInfoFlags", VT_I4, 0x14, nullptr, -1},
      {L"HostInfoDoubleClick", VT_I4, 2, nullptr, 0},
      {L"ContextMenuAllowed", VT_BOOL, VARIANT_FALSE, nullptr, 0},
      {L"BrowserUIAllowed", VT_BOOL, VARIANT_TRUE, nullptr, 0},
      {L"WindowlessActivationAllowed", VT_BOOL, VARIANT_FALSE, nullptr, 0},
      {L"OptionsKey", VT_BSTR, 0, L"Software\\Norvalisk\\Browser", 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.name, c.name + lstrlenW(c.name)));
    LPOLESTR name = const_cast<LPOLESTR>(c.name);
    DISPID id = 0;
    ASSERT_EQ(ambient->GetIDsOfNames(IID_NULL, &name, 1, LOCALE_USER_DEFAULT, &id), S_OK);

    VARIANT value;
    VariantInit(&value);
    V_VT(&value) = c.type;
    if (c.type == VT_BSTR) {
      V_BSTR(&value) = SysAllocString(c.text);
    } else if (c.type == VT_BOOL) {
      V_BOOL(&value) = static_cast<VARIANT_BOOL>(c.number);
    } else {
      V_I4(&value) = c.number;
    }
    DISPID putId = DISPID_PROPERTYPUT;
    DISPPARAMS put = {&value, &putId, 1, 1};
    log_.ambientChanges.clear();
    EXPECT_EQ(ambient->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYPUT, &put,
                              nullptr, nullptr, nullptr),
              S_OK);
    if (c.notified != 0) {
      ASSERT_EQ(log_.ambientChanges.size(), 1u);
      EXPECT_EQ(log_.ambientChanges[0], c.notified);
    } else {
      EXPECT_TRUE(log_.ambientChanges.empty());
    }

    // Read twice: what a get hands out belongs to the caller.
    for (int round = 0; round < 2; ++round) {
      VARIANT got;
      VariantInit(&got);
      DISPPARAMS none = {};
      ASSERT_EQ(ambient->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none,
                                &got, nullptr, nullptr),
                S_OK);
      // Colours and flags come back as unsigned numbers: compare as put.
      VARIANT same;
      VariantInit(&same);
      ASSERT_EQ(VariantChangeType(&same, &got, 0, c.type), S_OK);
      EXPECT_EQ(VarCmp(&same, &value, LOCALE_USER_DEFAULT, 0), static_cast<HRESULT>(VARCMP_EQ));
      VariantClear(&same);
      VariantClear(&got);
    }
    VariantClear(&value);
  }
}

TEST_F(ControlHostTest, AmbientDispatchRefusesWhatItDoesNotOffer) {
  ASSERT_NE(CreateHost(kTestControlText), nullptr);
  ComPtr<IDispatch> ambient;
  ASSERT_EQ(SiteInterface(IID_IDispatch, ambient), S_OK);

  LPOLESTR names[] = {const_cast<LPOLESTR>(L"backcolor")};
  DISPID id = 0;
  EXPECT_EQ(ambient->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id),
            DISP_E_UNKNOWNNAME);
  EXPECT_EQ(id, DISPID_UNKNOWN);

  VARIANT got;
  VariantInit(&got);
  DISPPARAMS none = {};
  EXPECT_EQ(ambient->Invoke(-702, IID_NULL, 0, DISPATCH_PROPERTYGET, &none, &got, nullptr,
                            nullptr),
            DISP_E_MEMBERNOTFOUND);

  // Grab handles and hatching are read-only and always false.
  EXPECT_EQ(ambient->Invoke(-711, IID_NULL, 0, DISPATCH_PROPERTYGET, &none, &got, nullptr,
                            nullptr),
            S_OK);
  EXPECT_EQ(V_VT(&got), VT_BOOL);
  EXPECT_EQ(V_BOOL(&got), VARIANT_FALSE);
  VARIANT value;
  VariantInit(&value);
  V_VT(&value) = VT_BOOL;
  V_BOOL(&value) = VARIANT_TRUE;
  DISPID putId = DISPID_PROPERTYPUT;
  DISPPARAMS put = {&value, &putId, 1, 1};
  EXPECT_EQ(ambient->Invoke(-712, IID_NULL, 0, DISPATCH_PROPERTYPUT, &put, nullptr, nullptr,
                            nullptr),
            DISP_E_MEMBERNOTFOUND);

  // A colour that is not a number.
  V_VT(&value) = VT_BSTR;
  V_BSTR(&value) = SysAllocString(L"blue");
  UINT argError = 99;
  EXPECT_EQ(ambient->Invoke(-701, IID_NULL, 0, DISPATCH_PROPERTYPUT, &put, nullptr, nullptr,
                            &argError),
            DISP_E_TYPEMISMATCH);
  EXPECT_EQ(argError, 0u);
  VariantClear(&value);
}

TEST_F(ControlHostTest, DefaultAmbientFontFollowsTheDefaultGuiFont) {
  ASSERT_NE(CreateHost(kTestControlText), nullptr);
  ComPtr<IDispatch> ambient;
  ASSERT_EQ(SiteInterface(IID_IDispatch, ambient), S_OK);
  VARIANT got;
  VariantInit(&got);
  DISPPARAMS none = {};
  ASSERT_EQ(ambient->Invoke(DISPID_AMBIENT_FONT, IID_NULL, 0, DISPATCH_PROPERTYGET, &none, &got,
                            nullptr, nullptr),
            S_OK);
  ASSERT_EQ(V_VT(&got), VT_DISPATCH);
  ComPtr<IFont> font;
  ASSERT_EQ(V_DISPATCH(&got)->QueryInterface(IID_IFont, font.PutVoid()), S_OK);
  VariantClear(&got);
  CY size = {};
  ASSERT_EQ(font->get_Size(&size), S_OK);

  LOGFONTA logFont = {};
  GetObjectA(GetStockObject(DEFAULT_GUI_FONT), sizeof logFont, &logFont);
  HDC dc = GetDC(host_);
  const int dpi = GetDeviceCaps(dc, LOGPIXELSY);
  ReleaseDC(host_, dc);
  EXPECT_EQ(size.int64, AmbientFontHeight(logFont.lfHeight, dpi));
  if (logFont.lfHeight == -11 && dpi == 96) {
    EXPECT_EQ(size.int64, 82500);
  }
  std::printf("default GUI font height %ld at %d dpi\n", logFont.lfHeight, dpi);

  // The same font object on the next read.
  ComPtr<IHostAmbient> direct;
  ASSERT_EQ(SiteInterface(IID_IHostAmbient, direct), S_OK);
  ComPtr<IFontDisp> again;
  ASSERT_EQ(direct->get_Font(again.Put()), S_OK);
  ComPtr<IFont> againFont;
  ASSERT_EQ(again->QueryInterface(IID_IFont, againFont.PutVoid()), S_OK);
  EXPECT_EQ(againFont.get(), font.get());
  EXPECT_EQ(direct->get_Font(nullptr), E_POINTER);
}

// The frame, the document window and the accelerator table belong to the
// host: every call hands out the same ones, and the table goes with the host.
TEST_F(ControlHostTest, WindowContextKeepsFrameDocumentAndOneAcceleratorTable) {
  ASSERT_NE(CreateHost(kTestControlText), nullptr);
  ComPtr<IOleInPlaceSite> site;
  ASSERT_EQ(SiteInterface(IID_IOleInPlaceSite, site), S_OK);

  ComPtr<IOleInPlaceFrame> frames[2];
  ComPtr<IOleInPlaceUIWindow> documents[2];
  OLEINPLACEFRAMEINFO infos[2] = {};
  for (int i = 0; i < 2; ++i) {
    RECT position = {}, clip = {};
    infos[i].cb = sizeof infos[i];
    ASSERT_EQ(site->GetWindowContext(frames[i].Put(), documents[i].Put(), &position, &clip,
                                     &infos[i]),
              S_OK);
    EXPECT_EQ(position.right, 360);
    EXPECT_EQ(position.bottom, 135);
    EXPECT_TRUE(EqualRect(&position, &clip));
    EXPECT_EQ(infos[i].hwndFrame, parent_);
    EXPECT_FALSE(infos[i].fMDIApp);
    EXPECT_EQ(infos[i].cAccelEntries, 1u);
    EXPECT_NE(infos[i].haccel, nullptr);
  }
  EXPECT_EQ(frames[0].get(), frames[1].get());
  EXPECT_EQ(documents[0].get(), documents[1].get());
  EXPECT_EQ(infos[0].haccel, infos[1].haccel);
  ACCEL entry = {1, 1, 1};
  EXPECT_EQ(CopyAcceleratorTableA(infos[0].haccel, &entry, 1), 1);
  EXPECT_EQ(entry.fVirt, 0);
  EXPECT_EQ(entry.key, 0);
  EXPECT_EQ(entry.cmd, 0);
  // Many more activations still share the one table.
  for (int i = 0; i < 50; ++i) {
    RECT position, clip;
    ComPtr<IOleInPlaceFrame> frame;
    ComPtr<IOleInPlaceUIWindow> document;
    OLEINPLACEFRAMEINFO info = {};
    info.cb = sizeof info;
    ASSERT_EQ(site->GetWindowContext(frame.Put(), document.Put(), &position, &clip, &info), S_OK);
    ASSERT_EQ(info.haccel, infos[0].haccel) << i;
  }

  RECT position, clip;
  IOleInPlaceUIWindow* document = nullptr;
  EXPECT_EQ(site->GetWindowContext(nullptr, &document, &position, &clip, nullptr), E_POINTER);

  // Each object stands for a hidden top-level window of its own class.
  HWND frameWindow = nullptr, documentWindow = nullptr, again = nullptr;
  ASSERT_EQ(frames[0]->GetWindow(&frameWindow), S_OK);
  ASSERT_EQ(documents[0]->GetWindow(&documentWindow), S_OK);
  ASSERT_EQ(frames[0]->GetWindow(&again), S_OK);
  ASSERT_NE(frameWindow, nullptr);
  ASSERT_NE(documentWindow, nullptr);
  EXPECT_EQ(again, frameWindow);
  EXPECT_EQ(WindowText(frameWindow), "NAVO Frame Window");
  EXPECT_EQ(WindowText(documentWindow), "NAVO UI Window");
  EXPECT_FALSE(IsWindowVisible(frameWindow));
  EXPECT_EQ(GetParent(frameWindow), nullptr);
  EXPECT_EQ(ClassName(frameWindow).rfind("NAVO:", 0), 0u);
  EXPECT_EQ(ClassName(frameWindow).size(), 13u);
  EXPECT_NE(ClassName(frameWindow), ClassName(documentWindow));
  EXPECT_EQ(reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(frameWindow, GWLP_HINSTANCE)),
            NavoInstance());

  EXPECT_EQ(frames[0]->RequestBorderSpace(nullptr), INPLACE_E_NOTOOLSPACE);
  EXPECT_EQ(frames[0]->TranslateAccelerator(nullptr, 0), S_FALSE);
  EXPECT_EQ(frames[0]->SetStatusText(L"x"), S_OK);
  ComPtr<IOleInPlaceFrame> notAFrame;
  EXPECT_EQ(documents[0]->QueryInterface(IID_IOleInPlaceFrame, notAFrame.PutVoid()),
            E_NOINTERFACE);

  // The host lets go of them when the control goes; the last reference takes
  // the hidden windows along. The table is destroyed with the host.
  DestroyWindow(host_);
  EXPECT_EQ(CopyAcceleratorTableA(infos[0].haccel, nullptr, 0), 0);
  EXPECT_TRUE(IsWindow(frameWindow));
  for (auto& frame : frames) {
    frame.Reset();
  }
  for (auto& doc : documents) {
    doc.Reset();
  }
  EXPECT_FALSE(IsWindow(frameWindow));
  EXPECT_FALSE(IsWindow(documentWindow));
}

TEST_F(ControlHostTest, ContainerEnumeratorHandsOutTheControl) {
  ASSERT_NE(CreateHost(kTestControlText), nullptr);
  ComPtr<IOleContainer> container;
  ASSERT_EQ(log_.site->GetContainer(container.Put()), S_OK);
  ComPtr<IEnumUnknown> objects;
  ASSERT_EQ(container->EnumObjects(OLECONTF_EMBEDDINGS, objects.Put()), S_OK);

  IUnknown* items[2] = {};
  ULONG fetched = 99;
  EXPECT_EQ(objects->Next(2, items, &fetched), S_FALSE);
  EXPECT_EQ(fetched, 1u);
  ComPtr<IUnknown> control(
      reinterpret_cast<IUnknown*>(SendMessageA(host_, GetControlMessage(), 0, 0)));
  EXPECT_EQ(items[0], control.get());
  ComPtr<IUnknown> item(items[0]);

  EXPECT_EQ(objects->Next(1, items, nullptr), S_FALSE);  // nothing left
  EXPECT_EQ(objects->Next(2, items, nullptr), E_POINTER);
  EXPECT_EQ(objects->Reset(), S_OK);
  ComPtr<IEnumUnknown> copy;
  ASSERT_EQ(objects->Clone(copy.Put()), S_OK);
  EXPECT_EQ(objects->Skip(2), S_FALSE);
  ASSERT_EQ(copy->Next(1, items, nullptr), S_OK);  // the copy kept its place
  ComPtr<IUnknown> copied(items[0]);
  EXPECT_EQ(copied.get(), control.get());
}

TEST_F(ControlHostTest, ResizingSetsTheHimetricExtentAndTheObjectRectangles) {
  HDC screen = GetDC(nullptr);
  const int dpiX = GetDeviceCaps(screen, LOGPIXELSX);
  const int dpiY = GetDeviceCaps(screen, LOGPIXELSY);
  ReleaseDC(nullptr, screen);
  ASSERT_EQ(dpiX, 96);
  ASSERT_EQ(dpiY, 96);

  ASSERT_NE(CreateHost(kTestControlText, 100, 50), nullptr);
  EXPECT_EQ(log_.extent.cx, PixelsToHimetric(100, 96));
  EXPECT_EQ(log_.extent.cy, PixelsToHimetric(50, 96));
  ASSERT_TRUE(SetWindowPos(host_, nullptr, 0, 0, 360, 135, SWP_NOMOVE | SWP_NOZORDER));
  EXPECT_EQ(log_.extent.cx, 9525);
  EXPECT_EQ(log_.extent.cy, 3572);
  EXPECT_EQ(log_.objectRects.left, 0);
  EXPECT_EQ(log_.objectRects.top, 0);
  EXPECT_EQ(log_.objectRects.right, 360);
  EXPECT_EQ(log_.objectRects.bottom, 135);
}

TEST_F(ControlHostTest, AttachEmbedsAnExistingControl) {
  ASSERT_NE(CreateHost(""), nullptr);
  ComPtr<IHostWindow> host;
  ASSERT_EQ(HostInterface(host_, IID_IHostWindow, host), S_OK);
  ComPtr<IUnknown> control(CreateTestControl(&log_, ControlKind::kWindowed));
  EXPECT_EQ(host->AttachHostedControl(control.get(), nullptr), S_FALSE);
  ASSERT_EQ(host->AttachHostedControl(control.get(), host_), S_OK);
  EXPECT_EQ(log_.setClientSiteCalls, 1);
  EXPECT_EQ(log_.initNewCalls, 0);  // an attached control counts as initialised
  ASSERT_FALSE(log_.verbs.empty());
  EXPECT_EQ(log_.verbs.front(), OLEIVERB_INPLACEACTIVATE);

  ComPtr<IUnknown> answer(
      reinterpret_cast<IUnknown*>(SendMessageA(host_, GetControlMessage(), 0, 0)));
  EXPECT_EQ(answer.get(), control.get());
  ComPtr<IOleObject> queried;
  EXPECT_EQ(host->QueryHostedControl(IID_IOleObject, queried.PutVoid()), S_OK);
  EXPECT_TRUE(queried);
}

TEST_F(ControlHostTest, DestroyingTheWindowClosesAndReleasesTheControl) {
  ASSERT_NE(CreateHost(kTestControlText), nullptr);
  ASSERT_EQ(log_.live, 1);
  DestroyWindow(host_);
  EXPECT_EQ(log_.closeCalls, 1);
  EXPECT_EQ(log_.closeOption, static_cast<DWORD>(OLECLOSE_NOSAVE));
  EXPECT_EQ(log_.clearedClientSite, 1);
  EXPECT_EQ(log_.setSiteCalls, 2);
  EXPECT_EQ(log_.objectSite, nullptr);
  EXPECT_EQ(log_.live, 0);
}

TEST_F(ControlHostTest, ForwardedKeyMessageWithoutActiveObjectIsNotTranslated) {
  ASSERT_NE(CreateHost(kTestControlText), nullptr);
  MSG message = {};
  message.hwnd = host_;
  message.message = WM_KEYDOWN;
  message.wParam = VK_TAB;
  EXPECT_EQ(SendMessageA(host_, 0x037F, 0, reinterpret_cast<LPARAM>(&message)), 0);
}

// ---- HTML text ----

// Makes test documents for the HTML document class.
class TestDocumentFactory final : public IClassFactory {
 public:
  explicit TestDocumentFactory(TestDocumentLog* log) : log_(log) {}
  STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
    *out = iid == IID_IUnknown || iid == IID_IClassFactory ? this : nullptr;
    return *out != nullptr ? S_OK : E_NOINTERFACE;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return 2; }
  STDMETHODIMP_(ULONG) Release() override { return 1; }
  STDMETHODIMP CreateInstance(IUnknown*, REFIID iid, void** out) override {
    return CreateTestDocument(log_, iid, out);
  }
  STDMETHODIMP LockServer(BOOL) override { return S_OK; }

 private:
  TestDocumentLog* log_;
};

TEST_F(ControlHostTest, HtmlTextBecomesTheBodyOfANewDocument) {
  TestDocumentLog documentLog = {};
  TestDocumentFactory factory(&documentLog);
  DWORD cookie = 0;
  ASSERT_EQ(CoRegisterClassObject(kClsidHtmlDocument, &factory, CLSCTX_INPROC_SERVER,
                                  REGCLS_MULTIPLEUSE, &cookie),
            S_OK);
  ASSERT_NE(CreateHost("mshtml:<p>名刺</p>"), nullptr);
  EXPECT_EQ(documentLog.innerHtmlCalls, 1);
  EXPECT_STREQ(documentLog.innerHtml, L"<p>名刺</p>");
  // Once, before the HTML: without IOleObject, activation leaves it alone.
  EXPECT_EQ(documentLog.initNewCalls, 1);
  EXPECT_EQ(log_.live, 0);                 // neither the browser nor a test control
  {
    ComPtr<IUnknown> control(
        reinterpret_cast<IUnknown*>(SendMessageA(host_, GetControlMessage(), 0, 0)));
    ComPtr<IUnknown> document;
    ASSERT_TRUE(control);
    EXPECT_EQ(control->QueryInterface(IID_IHTMLDocument2, document.PutVoid()), S_OK);
  }
  DestroyWindow(host_);
  CoRevokeClassObject(cookie);
  EXPECT_EQ(documentLog.live, 0);
}

// ---- windowless controls ----

TEST_F(ControlHostTest, WindowlessControlIsPaintedOffScreen) {
  ASSERT_NE(CreateHost(kWindowlessControlText), nullptr);
  ASSERT_TRUE(log_.activatedWindowless);
  log_.drawCalls = 0;
  InvalidateRect(host_, nullptr, TRUE);
  UpdateWindow(host_);
  EXPECT_EQ(log_.drawCalls, 1);
  EXPECT_EQ(log_.drawDcType, static_cast<DWORD>(OBJ_MEMDC));
  EXPECT_EQ(log_.drawBounds.right, 360);
  EXPECT_EQ(log_.drawBounds.bottom, 135);
  EXPECT_EQ(SendMessageA(host_, WM_ERASEBKGND, 0, 0), 1);  // nothing erased
}

TEST_F(ControlHostTest, WindowlessControlGetsMouseMessagesThatHitIt) {
  ASSERT_NE(CreateHost(kWindowlessControlText), nullptr);
  ASSERT_TRUE(log_.activatedWindowless);
  // The test control is hit in the left half of its rectangle.
  SendMessageA(host_, WM_LBUTTONDOWN, 0, MAKELPARAM(20, 20));
  SendMessageA(host_, WM_MOUSEMOVE, 0, MAKELPARAM(300, 20));
  ASSERT_EQ(log_.windowMessages.size(), 1u);
  EXPECT_EQ(log_.windowMessages[0], static_cast<UINT>(WM_LBUTTONDOWN));

  // While it holds the capture, everything reaches it.
  ComPtr<IOleInPlaceSiteWindowless> site;
  ASSERT_EQ(SiteInterface(IID_IOleInPlaceSiteWindowless, site), S_OK);
  EXPECT_EQ(site->GetCapture(), S_FALSE);
  EXPECT_EQ(site->SetCapture(TRUE), S_OK);
  EXPECT_EQ(site->GetCapture(), S_OK);
  SendMessageA(host_, WM_MOUSEMOVE, 0, MAKELPARAM(300, 20));
  EXPECT_EQ(site->SetCapture(FALSE), S_OK);
  ASSERT_EQ(log_.windowMessages.size(), 2u);
  EXPECT_EQ(log_.windowMessages[1], static_cast<UINT>(WM_MOUSEMOVE));
}

TEST_F(ControlHostTest, WindowlessControlWithFocusAnswersKeyMessages) {
  ASSERT_NE(CreateHost(kWindowlessControlText), nullptr);
  ASSERT_TRUE(log_.activatedWindowless);
  SendMessageA(host_, WM_KEYDOWN, VK_SPACE, 0);  // no focus yet
  EXPECT_TRUE(log_.windowMessages.empty());

  SendMessageA(host_, WM_SETFOCUS, 0, 0);
  log_.messageResult = 42;
  EXPECT_EQ(SendMessageA(host_, WM_KEYDOWN, VK_SPACE, 0), 42);
  // S_FALSE leaves the message to the window.
  log_.messageAnswer = S_FALSE;
  EXPECT_EQ(SendMessageA(host_, WM_CHAR, 'a', 0), 0);
  ASSERT_EQ(log_.windowMessages.size(), 2u);
  EXPECT_EQ(log_.windowMessages[1], static_cast<UINT>(WM_CHAR));

  SendMessageA(host_, WM_KILLFOCUS, 0, 0);
  SendMessageA(host_, WM_KEYUP, VK_SPACE, 0);
  EXPECT_EQ(log_.windowMessages.size(), 2u);
}

TEST_F(ControlHostTest, WindowlessActivationRefusedGivesAWindowedControl) {
  ASSERT_NE(CreateHost(""), nullptr);
  ComPtr<IHostAmbient> ambient;
  ASSERT_EQ(HostInterface(host_, IID_IHostAmbient, ambient), S_OK);
  ambient->put_WindowlessActivationAllowed(VARIANT_FALSE);
  ComPtr<IHostWindow> host;
  ASSERT_EQ(HostInterface(host_, IID_IHostWindow, host), S_OK);
  ComPtr<IUnknown> control(CreateTestControl(&log_, ControlKind::kWindowless));
  ASSERT_EQ(host->AttachHostedControl(control.get(), host_), S_OK);
  EXPECT_FALSE(log_.activatedWindowless);
  SendMessageA(host_, WM_SETFOCUS, 0, 0);
  SendMessageA(host_, WM_KEYDOWN, VK_SPACE, 0);
  EXPECT_TRUE(log_.windowMessages.empty());
}

// ---- focus ----

TEST_F(ControlHostTest, FocusOnTheHostMovesToTheControlWindow) {
  ASSERT_NE(CreateHost(kTestControlText), nullptr);
  HWND child = CreateWindowExA(0, "BUTTON", "b", WS_CHILD | WS_VISIBLE, 0, 0, 20, 20, host_,
                               nullptr, nullptr, nullptr);
  ASSERT_NE(child, nullptr);
  SetForegroundWindow(parent_);
  SetFocus(host_);
  EXPECT_EQ(GetFocus(), child);
  // The control was already in-place active: no further verb.
  EXPECT_EQ(log_.verbs.size(), 1u);
}

// ---- reflection ----

// Messages at or above the reflection base that reached the child.
std::vector<UINT> g_reflected;
WNDPROC g_buttonProc;

LRESULT CALLBACK RecordingButtonProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message >= 0x2000 && message < 0x3000) {
    g_reflected.push_back(message);
    return 77;
  }
  return CallWindowProcA(g_buttonProc, window, message, wParam, lParam);
}

TEST_F(ControlHostTest, NotificationsAreReflectedToTheChildTheyCameFrom) {
  ASSERT_NE(CreateHost(kTestControlText), nullptr);
  HWND button = CreateWindowExA(0, "BUTTON", "b", WS_CHILD | WS_VISIBLE, 0, 0, 20, 20, host_,
                                reinterpret_cast<HMENU>(7), nullptr, nullptr);
  ASSERT_NE(button, nullptr);
  g_buttonProc = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrA(button, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(RecordingButtonProc)));
  g_reflected.clear();

  const LPARAM fromButton = reinterpret_cast<LPARAM>(button);
  EXPECT_EQ(SendMessageA(host_, WM_COMMAND, MAKEWPARAM(7, BN_CLICKED), fromButton), 77);
  NMHDR header = {};
  header.hwndFrom = button;
  header.idFrom = 7;
  EXPECT_EQ(SendMessageA(host_, WM_NOTIFY, 7, reinterpret_cast<LPARAM>(&header)), 77);
  EXPECT_EQ(SendMessageA(host_, WM_CTLCOLORBTN, 0, fromButton), 77);
  EXPECT_EQ(SendMessageA(host_, WM_PARENTNOTIFY, MAKEWPARAM(WM_LBUTTONDOWN, 7), 0), 77);
  const std::vector<UINT> expected = {WM_COMMAND + 0x2000, WM_NOTIFY + 0x2000,
                                      WM_CTLCOLORBTN + 0x2000, WM_PARENTNOTIFY + 0x2000};
  EXPECT_EQ(g_reflected, expected);

  // A menu command has no child to go to; with reflection off nothing goes.
  g_reflected.clear();
  SendMessageA(host_, WM_COMMAND, MAKEWPARAM(7, 0), 0);
  ComPtr<IHostAmbient> ambient;
  ASSERT_EQ(HostInterface(host_, IID_IHostAmbient, ambient), S_OK);
  ambient->put_MessageReflect(VARIANT_FALSE);
  SendMessageA(host_, WM_COMMAND, MAKEWPARAM(7, BN_CLICKED), fromButton);
  EXPECT_TRUE(g_reflected.empty());
}

}  // namespace
