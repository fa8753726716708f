// What the parts of the control host share among their files; not for use
// outside the host.
#pragma once

#include <windows.h>

#include <oleauto.h>

// The event-sink cookie when no sink is connected.
inline constexpr DWORD kNoSinkCookie = 0xCDCDCDCD;

// A size in pixels of the screen as HIMETRIC units, and back (host_paint.cpp).
SIZEL SizeToHimetric(SIZE pixels);
SIZE SizeToPixels(SIZEL himetric);

// True for the notifications the host passes back to the child they came
// from (host_reflect.cpp).
bool IsReflectedMessage(UINT message, LPARAM lParam);

inline VARIANT_BOOL ToVariantBool(bool value) { return value ? VARIANT_TRUE : VARIANT_FALSE; }
