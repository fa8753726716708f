// The web view library navo.dll: one export that creates the web view window,
// and the window messages that drive it. The caller owns the URL text it sends;
// the library owns everything behind the window it returns.
#pragma once

#include <windows.h>

#ifdef NAVO_BUILDING
#define NAVO_API
#else
#define NAVO_API __declspec(dllimport)
#endif

// Creates a web view child window of `parent` holding the platform's web
// browser control; `id` becomes its child-window identifier. `instance` is
// ignored (the window belongs to the library). Returns null on failure.
extern "C" NAVO_API HWND WINAPI jNAVO_Create(HWND parent, HINSTANCE instance, UINT id);

// wParam: NUL-terminated narrow URL in the ANSI code page. Returns 1.
inline constexpr UINT WVM_NAVIGATE = 0x9101;
// Returns 1 when the browser went back, forward or home, else 0.
inline constexpr UINT WVM_GOBACK = 0x9102;
inline constexpr UINT WVM_GOFORWARD = 0x9103;
inline constexpr UINT WVM_GOHOME = 0x9104;
// wParam: refresh level 0 (normal), 1 (if expired) or 3 (completely); any
// other value refreshes normally. Returns 1 when the browser refreshed, else 0.
inline constexpr UINT WVM_REFRESH = 0x9105;
