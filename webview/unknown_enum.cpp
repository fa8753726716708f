// The container's object enumerator.
#include "webview/unknown_enum.h"

#include <new>

#include "webview/com_table.h"
#include "webview/navo_module.h"

UnknownEnum::UnknownEnum(IUnknown* owner, IUnknown* const* items, ULONG count, ULONG position)
    : owner_(owner), count_(count), position_(position) {
  NavoModuleLock();
  if (owner_ != nullptr) {
    owner_->AddRef();
  }
  for (ULONG i = 0; i < count_; ++i) {
    items_[i] = items[i];
    if (items_[i] != nullptr) {
      items_[i]->AddRef();
    }
  }
}

UnknownEnum::~UnknownEnum() {
  for (ULONG i = 0; i < count_; ++i) {
    ReleaseReference(items_[i]);
  }
  ReleaseReference(owner_);
  NavoModuleUnlock();
}

UnknownEnum* UnknownEnum::Create(IUnknown* owner, IUnknown* const* items, ULONG count,
                                 ULONG position) {
  if (count > kMaxItems || position > count) {
    return nullptr;
  }
  return new (std::nothrow) UnknownEnum(owner, items, count, position);
}

STDMETHODIMP UnknownEnum::QueryInterface(REFIID iid, void** out) {
  static const QiEntry kTable[] = {{&IID_IEnumUnknown, 0}};
  return QueryThroughTable(this, kTable, 1, iid, out);
}

STDMETHODIMP_(ULONG) UnknownEnum::AddRef() { return InterlockedIncrement(&refs_); }

STDMETHODIMP_(ULONG) UnknownEnum::Release() {
  const LONG refs = InterlockedDecrement(&refs_);
  if (refs == 0) {
    delete this;
  }
  return refs;
}

STDMETHODIMP UnknownEnum::Next(ULONG count, IUnknown** items, ULONG* fetched) {
  if (fetched != nullptr) {
    *fetched = 0;
  }
  if (items == nullptr || (count != 1 && fetched == nullptr)) {
    return E_POINTER;
  }
  ULONG given = 0;
  while (given < count && position_ < count_) {
    items[given] = items_[position_++];
    if (items[given] != nullptr) {
      items[given]->AddRef();
    }
    ++given;
  }
  if (fetched != nullptr) {
    *fetched = given;
  }
  return given == count ? S_OK : S_FALSE;
}

STDMETHODIMP UnknownEnum::Skip(ULONG count) {
  if (count > count_ - position_) {
    position_ = count_;
    return S_FALSE;
  }
  position_ += count;
  return S_OK;
}

STDMETHODIMP UnknownEnum::Reset() {
  position_ = 0;
  return S_OK;
}

STDMETHODIMP UnknownEnum::Clone(IEnumUnknown** copy) {
  if (copy == nullptr) {
    return E_POINTER;
  }
  *copy = Create(owner_, items_, count_, position_);
  return *copy != nullptr ? S_OK : E_OUTOFMEMORY;
}
