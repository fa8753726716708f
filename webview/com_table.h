// QueryInterface through a table of interface identifiers and the offsets of
// the matching base classes in the object.
#pragma once

#include <windows.h>

#include <unknwn.h>

#include <cstddef>

struct QiEntry {
  const IID* iid;
  ptrdiff_t offset;  // of the interface's base class within the object
};

// The offset of base class `Base` within `Derived`.
template <typename Derived, typename Base>
ptrdiff_t QiOffset() {
  // Any suitably aligned non-null address works; the object is never touched.
  alignas(Derived) static char probe[sizeof(Derived)];
  Derived* object = reinterpret_cast<Derived*>(probe);
  return reinterpret_cast<char*>(static_cast<Base*>(object)) - reinterpret_cast<char*>(object);
}

// Looks `iid` up in `table` (count entries, searched in order). IUnknown
// answers with the first entry, the controlling interface. Adds a reference
// through the interface found.
inline HRESULT QueryThroughTable(void* object, const QiEntry* table, size_t count, REFIID iid,
                                 void** out) {
  if (out == nullptr) {
    return E_POINTER;
  }
  *out = nullptr;
  if (IsEqualIID(iid, IID_IUnknown)) {
    *out = static_cast<char*>(object) + table[0].offset;
  } else {
    for (size_t i = 0; i < count; ++i) {
      if (IsEqualIID(iid, *table[i].iid)) {
        *out = static_cast<char*>(object) + table[i].offset;
        break;
      }
    }
  }
  if (*out == nullptr) {
    return E_NOINTERFACE;
  }
  static_cast<IUnknown*>(*out)->AddRef();
  return S_OK;
}

// Replaces the reference held in `slot` by `value` (reference added to the new
// one, released from the old one).
template <typename T>
void ReplaceReference(T*& slot, T* value) {
  if (value != nullptr) {
    value->AddRef();
  }
  T* old = slot;
  slot = value;
  if (old != nullptr) {
    old->Release();
  }
}

// Releases the reference held in `slot` and clears it.
template <typename T>
void ReleaseReference(T*& slot) {
  if (T* old = slot) {
    slot = nullptr;
    old->Release();
  }
}
