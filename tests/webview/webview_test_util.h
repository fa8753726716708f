// Helpers shared by the web view tests: an owning interface pointer, the
// library's module, a test parent window and variant comparison.
#pragma once

#include <windows.h>

#include <oleauto.h>

#include <string>

// Owns one reference to an interface.
template <typename T>
class ComRef {
 public:
  ComRef() = default;
  explicit ComRef(T* adopted) : p_(adopted) {}
  ComRef(const ComRef&) = delete;
  ComRef& operator=(const ComRef&) = delete;
  ~ComRef() { Reset(); }

  void Reset() {
    if (p_ != nullptr) {
      p_->Release();
      p_ = nullptr;
    }
  }
  T* get() const { return p_; }
  T* operator->() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }
  // The out-pointer for a call that hands out a reference.
  T** Put() {
    Reset();
    return &p_;
  }
  void** PutVoid() { return reinterpret_cast<void**>(Put()); }

 private:
  T* p_ = nullptr;
};

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
