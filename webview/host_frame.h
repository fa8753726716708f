// HostFrame and HostUIWindow: the in-place frame and the in-place document
// window that the control host hands its control. Each stands for a hidden
// top-level window of its own, made on first demand and never shown.
#pragma once

#include <windows.h>

#include <ole2.h>

// The in-place frame.
class HostFrame final : public IOleInPlaceFrame {
 public:
  // A new frame with one reference, or null when out of memory.
  static HostFrame* Create();

  STDMETHODIMP QueryInterface(REFIID iid, void** out) override;
  STDMETHODIMP_(ULONG) AddRef() override;
  STDMETHODIMP_(ULONG) Release() override;

  STDMETHODIMP GetWindow(HWND* window) override;
  STDMETHODIMP ContextSensitiveHelp(BOOL enterMode) override;
  STDMETHODIMP GetBorder(LPRECT border) override;
  STDMETHODIMP RequestBorderSpace(LPCBORDERWIDTHS widths) override;
  STDMETHODIMP SetBorderSpace(LPCBORDERWIDTHS widths) override;
  STDMETHODIMP SetActiveObject(IOleInPlaceActiveObject* object, LPCOLESTR name) override;
  STDMETHODIMP InsertMenus(HMENU shared, LPOLEMENUGROUPWIDTHS widths) override;
  STDMETHODIMP SetMenu(HMENU shared, HOLEMENU descriptor, HWND activeObject) override;
  STDMETHODIMP RemoveMenus(HMENU shared) override;
  STDMETHODIMP SetStatusText(LPCOLESTR text) override;
  STDMETHODIMP EnableModeless(BOOL enable) override;
  STDMETHODIMP TranslateAccelerator(LPMSG message, WORD id) override;

 private:
  HostFrame();
  ~HostFrame();

  LONG refs_ = 1;
  HWND window_ = nullptr;
  IOleInPlaceActiveObject* activeObject_ = nullptr;
};

// The in-place document window.
class HostUIWindow final : public IOleInPlaceUIWindow {
 public:
  // A new document window object with one reference, or null when out of memory.
  static HostUIWindow* Create();

  STDMETHODIMP QueryInterface(REFIID iid, void** out) override;
  STDMETHODIMP_(ULONG) AddRef() override;
  STDMETHODIMP_(ULONG) Release() override;

  STDMETHODIMP GetWindow(HWND* window) override;
  STDMETHODIMP ContextSensitiveHelp(BOOL enterMode) override;
  STDMETHODIMP GetBorder(LPRECT border) override;
  STDMETHODIMP RequestBorderSpace(LPCBORDERWIDTHS widths) override;
  STDMETHODIMP SetBorderSpace(LPCBORDERWIDTHS widths) override;
  STDMETHODIMP SetActiveObject(IOleInPlaceActiveObject* object, LPCOLESTR name) override;

 private:
  HostUIWindow();
  ~HostUIWindow();

  LONG refs_ = 1;
  HWND window_ = nullptr;
  IOleInPlaceActiveObject* activeObject_ = nullptr;
};
