// Owners for Win32 handles: each handle is closed exactly once, by the owner
// that holds it last. Closing keeps the caller's last-error value.
#pragma once

#include <windows.h>

#include <wininet.h>

#include <utility>

// One owner for every kind of handle; Traits says what null is and how to close.
template <typename Traits>
class ScopedHandle {
 public:
  using Handle = typename Traits::Handle;

  ScopedHandle() = default;
  explicit ScopedHandle(Handle handle) : handle_(handle) {}
  ScopedHandle(const ScopedHandle&) = delete;
  ScopedHandle& operator=(const ScopedHandle&) = delete;
  ScopedHandle(ScopedHandle&& other) noexcept : handle_(other.release()) {}
  ScopedHandle& operator=(ScopedHandle&& other) noexcept {
    reset(other.release());
    return *this;
  }
  ~ScopedHandle() { reset(); }

  Handle get() const { return handle_; }
  bool valid() const { return Traits::IsValid(handle_); }
  explicit operator bool() const { return valid(); }

  // Gives the handle up without closing it, for when the system takes it over.
  Handle release() { return std::exchange(handle_, Traits::Null()); }

  void reset(Handle handle = Traits::Null()) {
    if (Traits::IsValid(handle_)) {
      const DWORD lastError = GetLastError();
      Traits::Close(handle_);
      SetLastError(lastError);
    }
    handle_ = handle;
  }

 private:
  Handle handle_ = Traits::Null();
};

// Kernel objects whose failure value is INVALID_HANDLE_VALUE (files, change notifications).
struct FileHandleTraits {
  using Handle = HANDLE;
  static Handle Null() { return INVALID_HANDLE_VALUE; }
  static bool IsValid(Handle h) { return h != INVALID_HANDLE_VALUE && h != nullptr; }
  static void Close(Handle h) { CloseHandle(h); }
};

// Kernel objects whose failure value is null (events, threads, processes).
struct KernelHandleTraits {
  using Handle = HANDLE;
  static Handle Null() { return nullptr; }
  static bool IsValid(Handle h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }
  static void Close(Handle h) { CloseHandle(h); }
};

// Directory change notifications from FindFirstChangeNotification.
struct ChangeNotificationTraits {
  using Handle = HANDLE;
  static Handle Null() { return nullptr; }
  static bool IsValid(Handle h) { return h != INVALID_HANDLE_VALUE && h != nullptr; }
  static void Close(Handle h) { FindCloseChangeNotification(h); }
};

// GDI objects: pens, brushes, fonts, bitmaps, regions.
template <typename T>
struct GdiObjectTraits {
  using Handle = T;
  static Handle Null() { return nullptr; }
  static bool IsValid(Handle h) { return h != nullptr; }
  static void Close(Handle h) { DeleteObject(h); }
};

// Memory device contexts made with CreateCompatibleDC.
struct MemoryDcTraits {
  using Handle = HDC;
  static Handle Null() { return nullptr; }
  static bool IsValid(Handle h) { return h != nullptr; }
  static void Close(Handle h) { DeleteDC(h); }
};

// WinINet handles: sessions, connections and requests.
struct InternetHandleTraits {
  using Handle = HINTERNET;
  static Handle Null() { return nullptr; }
  static bool IsValid(Handle h) { return h != nullptr; }
  static void Close(Handle h) { InternetCloseHandle(h); }
};

using ScopedFile = ScopedHandle<FileHandleTraits>;
using ScopedKernelHandle = ScopedHandle<KernelHandleTraits>;
using ScopedChangeNotification = ScopedHandle<ChangeNotificationTraits>;
using ScopedBitmap = ScopedHandle<GdiObjectTraits<HBITMAP>>;
using ScopedBrush = ScopedHandle<GdiObjectTraits<HBRUSH>>;
using ScopedPen = ScopedHandle<GdiObjectTraits<HPEN>>;
using ScopedFont = ScopedHandle<GdiObjectTraits<HFONT>>;
using ScopedRegion = ScopedHandle<GdiObjectTraits<HRGN>>;
using ScopedMemoryDc = ScopedHandle<MemoryDcTraits>;
using ScopedInternet = ScopedHandle<InternetHandleTraits>;

// A window's device context from GetDC, given back with ReleaseDC at the end
// of the scope. A null window means the screen.
class ScopedGetDc {
 public:
  explicit ScopedGetDc(HWND window) : window_(window), dc_(::GetDC(window)) {}
  ScopedGetDc(const ScopedGetDc&) = delete;
  ScopedGetDc& operator=(const ScopedGetDc&) = delete;
  ~ScopedGetDc() {
    if (dc_) {
      ::ReleaseDC(window_, dc_);
    }
  }

  HDC get() const { return dc_; }
  explicit operator bool() const { return dc_ != nullptr; }

 private:
  HWND window_;
  HDC dc_;
};

// Selects an object into a device context for one scope and restores the previous one.
class ScopedSelect {
 public:
  ScopedSelect(HDC dc, HGDIOBJ object) : dc_(dc), previous_(SelectObject(dc, object)) {}
  ScopedSelect(const ScopedSelect&) = delete;
  ScopedSelect& operator=(const ScopedSelect&) = delete;
  ~ScopedSelect() {
    if (previous_ && previous_ != HGDI_ERROR) {
      SelectObject(dc_, previous_);
    }
  }

 private:
  HDC dc_;
  HGDIOBJ previous_;
};
