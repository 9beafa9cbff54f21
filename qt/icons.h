// The program's own icons, drawn in code so that they scale cleanly and need no image files:
// 128 the About box picture, 135 the red USB lamp, 138 the green USB lamp, 179 the window
// icon. The build also writes the window icon out as the desktop entry's PNG.
#pragma once

#include <QImage>

namespace korva::qt {

inline constexpr int kIconAbout = 128;
inline constexpr int kIconLampRed = 135;
inline constexpr int kIconLampGreen = 138;
inline constexpr int kIconWindow = 179;

// Sizes in which the templates use them.
inline constexpr int kLampIconSize = 96;
inline constexpr int kWindowIconSize = 32;

// Paints icon `id` into a square ARGB image of `size` pixels; a null image for an unknown id.
// Needs no application object, so the build tool can use it too.
QImage PaintIcon(int id, int size);

}  // namespace korva::qt
