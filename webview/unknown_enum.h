// An IEnumUnknown over a short fixed array of objects, as the control host's
// container hands out for EnumObjects. It keeps a reference to its owner.
#pragma once

#include <windows.h>

#include <objidl.h>

class UnknownEnum final : public IEnumUnknown {
 public:
  static constexpr ULONG kMaxItems = 4;

  // An enumerator over `count` items (nulls allowed) with one reference, or
  // null when out of memory. `owner` stays referenced while it lives.
  static UnknownEnum* Create(IUnknown* owner, IUnknown* const* items, ULONG count,
                             ULONG position = 0);

  STDMETHODIMP QueryInterface(REFIID iid, void** out) override;
  STDMETHODIMP_(ULONG) AddRef() override;
  STDMETHODIMP_(ULONG) Release() override;

  STDMETHODIMP Next(ULONG count, IUnknown** items, ULONG* fetched) override;
  STDMETHODIMP Skip(ULONG count) override;
  STDMETHODIMP Reset() override;
  STDMETHODIMP Clone(IEnumUnknown** copy) override;

 private:
  UnknownEnum(IUnknown* owner, IUnknown* const* items, ULONG count, ULONG position);
  ~UnknownEnum();

  LONG refs_ = 1;
  IUnknown* owner_;
  IUnknown* items_[kMaxItems] = {};
  ULONG count_;
  ULONG position_;
};
