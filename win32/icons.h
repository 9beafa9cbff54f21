// The program's icons from its resources, at the size a window needs on its monitor: the
// window icon (title bar and task bar) and the USB lamps, red and green.
#pragma once

#include <windows.h>

namespace korva::win32 {

// An icon loaded at one size, destroyed with this object.
class Icon {
 public:
  Icon() = default;
  // Icon `id` at `side` pixels (the resource's nearest picture, scaled by the system if none
  // has that size).
  Icon(int id, int side);
  ~Icon();
  Icon(Icon&& other) noexcept;
  Icon& operator=(Icon&& other) noexcept;

  HICON Handle() const { return icon_; }

 private:
  HICON icon_ = nullptr;
};

// The window icon (179), large and small, on `window`; kept in `largeIcon` and `smallIcon` for as
// long as the window shows them.
void SetWindowIcons(HWND window, Icon& largeIcon, Icon& smallIcon);

// The lamp's side for a control of `width` × `height` pixels: the largest picture that the
// lamp icons hold and the control takes.
int LampSide(int width, int height);

}  // namespace korva::win32
