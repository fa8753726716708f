// Helpers shared by the web view tests: the library's module, a test parent
// window and variant comparison; interface references are held in ComPtr.
#pragma once

#include <windows.h>

#include <oleauto.h>

#include <string>

#include "base/com_ptr.h"

inline HINSTANCE NavoInstance() { return GetModuleHandleA("navo.dll"); }

// A visible top-level window of class `className` (registered here, default
// procedure) for the windows under test.
inline HWND CreateTestParent(const char* className, int width = 900, int height = 700) {
  WNDCLASSA windowClass = {};
  windowClass.lpfnWndProc = DefWindowProcA;
  windowClass.hInstance = GetModuleHandleA(nullptr);
  windowClass.lpszClassName = className;
  RegisterClassA(&windowClass);
  return CreateWindowExA(0, className, "parent", WS_POPUP | WS_VISIBLE, 20, 20, width, height,
                         nullptr, nullptr, windowClass.hInstance, nullptr);
}

inline std::string WindowText(HWND window) {
  char text[256] = {};
  GetWindowTextA(window, text, sizeof text);
  return text;
}

inline std::string ClassName(HWND window) {
  char name[256] = {};
  GetClassNameA(window, name, sizeof name);
  return name;
}
