// Icons from the program's resources.
#include "win32/icons.h"

#include <utility>

#include "resources/windows/resource.h"

namespace korva::win32 {
namespace {

// The sizes drawn into lamp-red.ico and lamp-green.ico (resources/windows/make_icons.cpp).
constexpr int kLampSides[] = {48, 72, 96, 144, 192};

}  // namespace

Icon::Icon(int id, int side)
    : icon_(static_cast<HICON>(LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(id),
                                          IMAGE_ICON, side, side, LR_DEFAULTCOLOR))) {}

Icon::~Icon() {
  if (icon_) DestroyIcon(icon_);
}

Icon::Icon(Icon&& other) noexcept : icon_(std::exchange(other.icon_, nullptr)) {}

Icon& Icon::operator=(Icon&& other) noexcept {
  if (this != &other) {
    if (icon_) DestroyIcon(icon_);
    icon_ = std::exchange(other.icon_, nullptr);
  }
  return *this;
}

void SetWindowIcons(HWND window, Icon& largeIcon, Icon& smallIcon) {
  largeIcon = Icon(IDI_WINDOW, GetSystemMetrics(SM_CXICON));
  smallIcon = Icon(IDI_WINDOW, GetSystemMetrics(SM_CXSMICON));
  SendMessageW(window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(largeIcon.Handle()));
  SendMessageW(window, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon.Handle()));
}

int LampSide(int width, int height) {
  const int room = width < height ? width : height;
  int side = kLampSides[0];
  for (int candidate : kLampSides) {
    if (candidate <= room) side = candidate;
  }
  return side;
}

}  // namespace korva::win32
