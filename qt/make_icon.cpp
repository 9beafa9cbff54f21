// Build-time tool: writes the window icon as a PNG for the desktop entry.
//
//   make_icon SIZE OUTPUT.png
#include <cstdio>
#include <cstdlib>

#include "qt/icons.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: make_icon SIZE OUTPUT.png\n");
    return 2;
  }
  const int size = std::atoi(argv[1]);
  if (size <= 0 || !korva::qt::PaintIcon(korva::qt::kIconWindow, size).save(argv[2], "PNG")) {
    std::fprintf(stderr, "make_icon: cannot write %s\n", argv[2]);
    return 1;
  }
  return 0;
}
