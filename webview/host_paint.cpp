// The control host: keeping the control sized to the host window, passing
// the focus on, and painting the window behind and around the control.
#include "webview/control_host.h"

#include "base/scoped_handle.h"
#include "webview/host_internal.h"
#include "webview/host_rules.h"

namespace {

// Dots per inch of the screen, horizontally and vertically.
SIZE ScreenDpi() {
  ScopedGetDc screen(nullptr);
  return {GetDeviceCaps(screen.get(), LOGPIXELSX), GetDeviceCaps(screen.get(), LOGPIXELSY)};
}

}  // namespace

SIZEL SizeToHimetric(SIZE pixels) {
  const SIZE dpi = ScreenDpi();
  return {PixelsToHimetric(pixels.cx, dpi.cx), PixelsToHimetric(pixels.cy, dpi.cy)};
}

SIZE SizeToPixels(SIZEL himetric) {
  const SIZE dpi = ScreenDpi();
  return {HimetricToPixels(himetric.cx, dpi.cx), HimetricToPixels(himetric.cy, dpi.cy)};
}

IOleInPlaceObjectWindowless* ControlHost::WindowlessObject() const {
  // While windowless the in-place object was obtained as the windowless kind.
  return static_cast<IOleInPlaceObjectWindowless*>(inPlaceObject_);
}

void ControlHost::OnSize(int width, int height) {
  position_.right = position_.left + width;
  position_.bottom = position_.top + height;
  pixelSize_ = {width, height};
  himetricSize_ = SizeToHimetric(pixelSize_);
  if (oleObject_ != nullptr) {
    oleObject_->SetExtent(DVASPECT_CONTENT, &himetricSize_);
  }
  if (inPlaceObject_ != nullptr) {
    inPlaceObject_->SetObjectRects(&position_, &position_);
  }
  if (windowless_) {
    ::InvalidateRect(window_, nullptr, TRUE);
  }
}

void ControlHost::OnSetFocus() {
  hasFocus_ = true;
  if (releasing_) {
    return;
  }
  if (oleObject_ != nullptr && !inPlaceActive_) {
    oleObject_->DoVerb(OLEIVERB_UIACTIVATE, nullptr, static_cast<IOleClientSite*>(this), 0,
                       window_, &position_);
  }
  if (!windowless_) {
    // The host window itself is no descendant: the focus moves on to the
    // control's window, the host's first child.
    if (!IsChild(window_, ::GetFocus())) {
      if (HWND child = ::GetWindow(window_, GW_CHILD)) {
        ::SetFocus(child);
      }
    }
  }
}

void ControlHost::PaintWindow() {
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(window_, &paint);
  if (dc == nullptr) {
    return;
  }
  RECT client;
  GetClientRect(window_, &client);
  COLORREF background = 0;
  OleTranslateColor(backColor_, nullptr, &background);
  ScopedBrush brush(CreateSolidBrush(background));
  if (viewObject_ == nullptr) {
    FillRect(dc, &client, brush.get());
  } else {
    ScopedMemoryDc memory(CreateCompatibleDC(dc));
    ScopedBitmap bitmap(CreateCompatibleBitmap(dc, client.right, client.bottom));
    if (memory && bitmap) {
      ScopedSelect select(memory.get(), bitmap.get());
      FillRect(memory.get(), &client, brush.get());
      const RECTL bounds = {position_.left, position_.top, position_.right, position_.bottom};
      viewObject_->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, memory.get(), &bounds,
                        &bounds, nullptr, 0);
      BitBlt(dc, 0, 0, client.right, client.bottom, memory.get(), 0, 0, SRCCOPY);
    }
  }
  EndPaint(window_, &paint);
}
