// A small in-process control for the web view tests: it lets a control host
// embed it and records what it sees of its container. Optionally it also
// answers as a browser (IWebBrowser2) through TestBrowser.
#pragma once

#include <windows.h>

#include <ole2.h>
#include <olectl.h>

#include <vector>

#include "test_browser.h"

// The class identifier under which tests register the control's factory.
inline constexpr CLSID kTestControlClsid = {
    0x5A1B7C3E, 0x2D4F, 0x4E6A, {0x9B, 0x8C, 0x7D, 0x6E, 0x5F, 0x40, 0x31, 0x22}};
// A second class for controls that activate windowless when the site allows.
inline constexpr CLSID kWindowlessControlClsid = {
    0x5A1B7C3F, 0x2D4F, 0x4E6A, {0x9B, 0x8C, 0x7D, 0x6E, 0x5F, 0x40, 0x31, 0x22}};

// The kinds of test control.
enum class ControlKind { kWindowed, kBrowser, kWindowless };

// What one control saw and did; owned by the test, shared by its controls.
struct ControlLog {
  IOleClientSite* site = nullptr;  // the last client site given (held)
  int setClientSiteCalls = 0;
  int clearedClientSite = 0;       // SetClientSite(null) calls
  std::vector<DISPID> ambientChanges;
  SIZEL extent = {};
  int setExtentCalls = 0;
  RECT objectRects = {};
  int setObjectRectsCalls = 0;
  std::vector<LONG> verbs;
  int closeCalls = 0;
  DWORD closeOption = ~0u;
  int initNewCalls = 0;
  IUnknown* objectSite = nullptr;  // from IObjectWithSite::SetSite (not held)
  int setSiteCalls = 0;
  TestBrowserLog browser = {};
  // Windowless controls: drawing and the window messages passed to them.
  int drawCalls = 0;
  RECTL drawBounds = {};
  DWORD drawDcType = 0;
  std::vector<UINT> windowMessages;
  HRESULT messageAnswer = S_OK;  // from OnWindowMessage
  LRESULT messageResult = 0;     // its result
  bool activatedWindowless = false;
  int live = 0;                    // controls of this log alive
};

// Creates a control with one reference. A browser answers IWebBrowser2; a
// windowless control answers IOleInPlaceObjectWindowless and IViewObjectEx,
// hits in the left half of its rectangle.
IUnknown* CreateTestControl(ControlLog* log, ControlKind kind);

// A class factory that makes test controls for one log, or fails with `failure`.
class TestControlFactory final : public IClassFactory {
 public:
  TestControlFactory(ControlLog* log, ControlKind kind, HRESULT failure = S_OK)
      : log_(log), kind_(kind), failure_(failure) {}

  STDMETHODIMP QueryInterface(REFIID iid, void** out) override;
  STDMETHODIMP_(ULONG) AddRef() override { return 2; }
  STDMETHODIMP_(ULONG) Release() override { return 1; }
  STDMETHODIMP CreateInstance(IUnknown* outer, REFIID iid, void** out) override;
  STDMETHODIMP LockServer(BOOL) override { return S_OK; }

  // Registers the factory for `clsid` in this process; undone by Revoke.
  bool Register(const CLSID& clsid);
  void Revoke();

 private:
  ControlLog* log_;
  ControlKind kind_;
  HRESULT failure_;
  DWORD cookie_ = 0;
};
