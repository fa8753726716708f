// The bitmap button window class.
#include "controls/bitmap_button.h"

#include <commctrl.h>

#include <cstdlib>

#include "base/scoped_handle.h"
#include "controls/window_region.h"

namespace {

constexpr uint32_t kDefaultKey = 0xFF0000;  // pure red until the creator sets a key

BitmapButtonData* ButtonData(HWND button) {
  return button ? static_cast<BitmapButtonData*>(GetPropA(button, kBitmapButtonProp)) : nullptr;
}

void Repaint(HWND button) {
  InvalidateRect(button, nullptr, FALSE);
  UpdateWindow(button);
}

// Gives the window the shape and size of `bitmap`.
void ShapeToBitmap(HWND button, BitmapButtonData* data, HBITMAP bitmap) {
  data->region = RegionFromBitmap(bitmap, data->keyColour);
  SetWindowRgn(button, data->region, TRUE);  // the window system owns the region now
  BITMAP info = {};
  if (bitmap) {
    GetObjectA(bitmap, sizeof info, &info);
  }
  MoveWindow(button, data->x, data->y, info.bmWidth, info.bmHeight, TRUE);
}

// The bitmap that shows the current state.
HBITMAP BitmapForState(const BitmapButtonData* data) {
  switch (data->state) {
    case BtnDisabled:
      return data->bitmaps[3];
    case BtnPressed:
    case BtnSelected:
      return data->bitmaps[2];
    default:
      return data->bitmaps[data->hover ? 1 : 0];
  }
}

void PaintButton(HWND button, const BitmapButtonData* data) {
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(button, &paint);
  if (HBITMAP bitmap = BitmapForState(data)) {
    BITMAP info = {};
    GetObjectA(bitmap, sizeof info, &info);
    ScopedMemoryDc memory(CreateCompatibleDC(dc));
    ScopedSelect select(memory.get(), bitmap);
    BitBlt(dc, 0, 0, info.bmWidth, info.bmHeight, memory.get(), 0, 0, SRCCOPY);
  }
  EndPaint(button, &paint);
}

void PostClick(HWND button, const BitmapButtonData* data) {
  PostMessageA(GetParent(button), WM_COMMAND, static_cast<WPARAM>(static_cast<uint16_t>(data->id)), 0);
}

LRESULT OnCreate(HWND button, const CREATESTRUCTA* create) {
  auto* data = static_cast<BitmapButtonData*>(std::calloc(1, sizeof(BitmapButtonData)));
  if (!data) {
    return -1;
  }
  data->id = static_cast<int32_t>(reinterpret_cast<INT_PTR>(create->hMenu));
  data->x = create->x;
  data->y = create->y;
  data->keyColour = kDefaultKey;
  auto* normal = static_cast<HBITMAP>(create->lpCreateParams);
  for (HBITMAP& bitmap : data->bitmaps) {
    bitmap = normal;
  }
  ShapeToBitmap(button, data, normal);
  SetPropA(button, kBitmapButtonProp, data);
  return 0;
}

LRESULT CALLBACK BitmapButtonProc(HWND button, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_CREATE) {
    return OnCreate(button, reinterpret_cast<CREATESTRUCTA*>(lParam));
  }
  BitmapButtonData* data = ButtonData(button);
  if (!data) {
    return DefWindowProcA(button, message, wParam, lParam);
  }
  switch (message) {
    case WM_DESTROY:
      RemovePropA(button, kBitmapButtonProp);
      std::free(data);
      return 0;
    case WM_MOVE:
      data->x = static_cast<int16_t>(LOWORD(lParam));
      data->y = static_cast<int16_t>(HIWORD(lParam));
      return 0;
    case WM_PAINT:
      PaintButton(button, data);
      return 0;
    case WM_MOUSEMOVE:
      if (!data->hover) {
        data->hover = 1;
        TRACKMOUSEEVENT track = {sizeof track, TME_LEAVE, button, 0};
        _TrackMouseEvent(&track);
        Repaint(button);
      }
      break;
    case WM_MOUSELEAVE:
      data->hover = 0;
      if (data->state == BtnPressed) {
        data->state = BtnNormal;
      }
      Repaint(button);
      break;
    case WM_LBUTTONDOWN:
      if (data->state == BtnNormal) {
        SetBitmapButtonState(button, BtnPressed, 1);
      }
      break;
    case WM_LBUTTONUP:
      if (data->state == BtnPressed) {
        SetBitmapButtonState(button, BtnNormal, 1);
        PostClick(button, data);
      } else if (data->state == BtnSelected) {
        PostClick(button, data);
      }
      break;
    default:
      break;
  }
  return DefWindowProcA(button, message, wParam, lParam);
}

}  // namespace

ATOM RegisterBitmapButtonClass() {
  WNDCLASSEXA windowClass = {};
  windowClass.cbSize = sizeof windowClass;
  windowClass.lpfnWndProc = BitmapButtonProc;
  windowClass.hInstance = GetModuleHandleA(nullptr);
  windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  windowClass.lpszClassName = kBitmapButtonClass;
  return RegisterClassExA(&windowClass);
}

HWND CreateBitmapButton(HWND parent, int id, int x, int y, const void* normal, const void* hover,
                        const void* selected, const void* disabled, uint32_t flags) {
  RegisterBitmapButtonClass();
  const void* names[4] = {normal, hover, selected, disabled};
  HBITMAP bitmaps[4];
  const bool loaded = (flags & kBitmapButtonLoadNamed) != 0;
  HINSTANCE module = GetModuleHandleA(nullptr);
  for (int i = 0; i < 4; ++i) {
    bitmaps[i] = loaded ? LoadBitmapA(module, static_cast<const char*>(names[i]))
                        : static_cast<HBITMAP>(const_cast<void*>(names[i]));
  }
  HWND button = CreateWindowExA(WS_EX_APPWINDOW, kBitmapButtonClass, nullptr, WS_CHILD | WS_VISIBLE,
                                x, y, 0, 0, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                module, bitmaps[0]);
  if (!button) {
    if (loaded) {
      for (HBITMAP bitmap : bitmaps) {
        DeleteObject(bitmap);
      }
    }
    return nullptr;
  }
  SetBitmapButtonKey(button, flags);
  for (int i = 1; i < 4; ++i) {
    SetBitmapButtonImage(button, i, bitmaps[i]);
  }
  if (loaded) {
    ButtonData(button)->ownsBitmaps = 1;
  }
  UpdateWindow(button);
  ShowWindow(button, SW_SHOW);
  return button;
}

int DestroyBitmapButton(HWND button) {
  if (!button) {
    return 1;
  }
  if (BitmapButtonData* data = ButtonData(button); data && data->ownsBitmaps) {
    for (HBITMAP& bitmap : data->bitmaps) {
      DeleteObject(bitmap);
      bitmap = nullptr;
    }
  }
  DestroyWindow(button);
  return 1;
}

int SetBitmapButtonState(HWND button, int state, int redraw) {
  BitmapButtonData* data = ButtonData(button);
  if (!data) {
    return -1;
  }
  const int previous = data->state;
  if (state >= 0) {
    data->state = state;
  }
  if (redraw == 1) {
    Repaint(button);
  }
  return previous;
}

int SetBitmapButtonImage(HWND button, int index, HBITMAP bitmap) {
  BitmapButtonData* data = ButtonData(button);
  if (!data || index < 0 || index > 3) {
    return 0;
  }
  data->bitmaps[index] = bitmap;
  if (index == 0) {
    ShapeToBitmap(button, data, bitmap);
  }
  Repaint(button);
  return 1;
}

int SetBitmapButtonKey(HWND button, uint32_t colour) {
  BitmapButtonData* data = ButtonData(button);
  if (!data) {
    return 0;
  }
  data->keyColour = colour & 0x00FFFFFF;
  return SetBitmapButtonImage(button, 0, data->bitmaps[0]);
}
