// Owners for the component object model: one reference to an interface, and
// one OLE initialisation of the calling thread.
#pragma once

#include <windows.h>

#include <ole2.h>

#include <utility>

// Owns one reference to an interface; releases it when reset or destroyed.
template <typename T>
class ComPtr {
 public:
  ComPtr() = default;
  // Takes over a reference the caller already holds.
  explicit ComPtr(T* adopted) : p_(adopted) {}
  ComPtr(const ComPtr&) = delete;
  ComPtr& operator=(const ComPtr&) = delete;
  ComPtr(ComPtr&& other) noexcept : p_(other.Detach()) {}
  ComPtr& operator=(ComPtr&& other) noexcept {
    Reset(other.Detach());
    return *this;
  }
  ~ComPtr() { Reset(); }

  // Releases the held reference and takes over `adopted`.
  void Reset(T* adopted = nullptr) {
    T* old = std::exchange(p_, adopted);
    if (old != nullptr) {
      old->Release();
    }
  }
  // Gives the reference up to the caller without releasing it.
  T* Detach() { return std::exchange(p_, nullptr); }

  T* get() const { return p_; }
  T* operator->() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }

  // The out pointer for a call that hands out a reference; releases the old one.
  T** Put() {
    Reset();
    return &p_;
  }
  void** PutVoid() { return reinterpret_cast<void**>(Put()); }

 private:
  T* p_ = nullptr;
};

// Initialises OLE for the calling thread for one scope; uninitialises only
// when the initialisation succeeded (S_OK or S_FALSE), as OLE asks.
class ScopedOleInitialize {
 public:
  ScopedOleInitialize() : result_(OleInitialize(nullptr)) {}
  ScopedOleInitialize(const ScopedOleInitialize&) = delete;
  ScopedOleInitialize& operator=(const ScopedOleInitialize&) = delete;
  ~ScopedOleInitialize() {
    if (SUCCEEDED(result_)) {
      OleUninitialize();
    }
  }

  HRESULT result() const { return result_; }

 private:
  HRESULT result_;
};
