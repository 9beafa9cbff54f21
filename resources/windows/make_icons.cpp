// Build-time tool of the Linux build: writes the Windows program's icon files from the same
// drawings as the Qt windows' icons (qt/icons.cpp), so both systems show one picture. The
// Windows build cannot draw them itself (Qt is not there), so the files are kept in the
// source tree beside korva-updater.rc; a test checks that they are what this tool writes.
//
//   make_icons FOLDER     writes korva-updater.ico, lamp-red.ico and lamp-green.ico there
//
// Each .ico holds the picture at several sizes, so that Windows picks a sharp one at every
// DPI: small ones as 32-bit bitmaps with alpha (what every Windows reads), the large ones as
// PNG, as Windows' own icons store them.
#include <QBuffer>
#include <QByteArray>
#include <QFile>
#include <QImage>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "qt/icons.h"

namespace {

// Sizes from this on are stored as PNG.
constexpr int kFirstPngSize = 128;
constexpr int kIcoHeaderBytes = 6;
constexpr int kIcoEntryBytes = 16;
constexpr int kBitmapHeaderBytes = 40;

void Put16(QByteArray& out, int value) {
  out.append(static_cast<char>(value & 0xFF));
  out.append(static_cast<char>((value >> 8) & 0xFF));
}

void Put32(QByteArray& out, std::uint32_t value) {
  for (int shift = 0; shift < 32; shift += 8)
    out.append(static_cast<char>((value >> shift) & 0xFF));
}

// One picture as an icon directory stores it: a bitmap header of twice the height (colour
// and mask), the colour rows bottom-up in BGRA, then the 1-bit mask rows (all 0: the alpha
// decides), each padded to 32 bits.
QByteArray BitmapEntry(const QImage& picture) {
  const QImage image = picture.convertToFormat(QImage::Format_ARGB32);
  const int size = image.width();
  QByteArray out;
  Put32(out, kBitmapHeaderBytes);
  Put32(out, static_cast<std::uint32_t>(size));
  Put32(out, static_cast<std::uint32_t>(2 * size));
  Put16(out, 1);                              // planes
  Put16(out, 32);                             // bits per pixel
  for (int i = 0; i < 6; ++i) Put32(out, 0);  // no compression, sizes and colours unused
  for (int y = size - 1; y >= 0; --y) {
    const auto* row = reinterpret_cast<const std::uint32_t*>(image.constScanLine(y));
    for (int x = 0; x < size; ++x) Put32(out, row[x]);  // 0xAARRGGBB, little-endian: B G R A
  }
  const int maskRowBytes = ((size + 31) / 32) * 4;
  out.append(QByteArray(maskRowBytes * size, '\0'));
  return out;
}

QByteArray PngEntry(const QImage& picture) {
  QByteArray png;
  QBuffer buffer(&png);
  buffer.open(QIODevice::WriteOnly);
  picture.save(&buffer, "PNG");
  return png;
}

bool WriteIco(int iconId, const std::vector<int>& sizes, const QString& path) {
  std::vector<QByteArray> images;
  for (int size : sizes) {
    const QImage picture = korva::qt::PaintIcon(iconId, size);
    images.push_back(size >= kFirstPngSize ? PngEntry(picture) : BitmapEntry(picture));
  }
  QByteArray out;
  Put16(out, 0);  // reserved
  Put16(out, 1);  // an icon, not a cursor
  Put16(out, static_cast<int>(sizes.size()));
  std::uint32_t offset =
      kIcoHeaderBytes + kIcoEntryBytes * static_cast<std::uint32_t>(sizes.size());
  for (std::size_t i = 0; i < sizes.size(); ++i) {
    const int side = sizes[i] >= 256 ? 0 : sizes[i];  // 0 stands for 256
    out.append(static_cast<char>(side));
    out.append(static_cast<char>(side));
    out.append('\0');  // no palette
    out.append('\0');  // reserved
    Put16(out, 1);     // planes
    Put16(out, 32);    // bits per pixel
    Put32(out, static_cast<std::uint32_t>(images[i].size()));
    Put32(out, offset);
    offset += static_cast<std::uint32_t>(images[i].size());
  }
  for (const QByteArray& image : images) out.append(image);
  QFile file(path);
  return file.open(QIODevice::WriteOnly) && file.write(out) == out.size();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_icons FOLDER\n");
    return 2;
  }
  const QString folder = QString::fromLocal8Bit(argv[1]);
  // The window icon in the title bar (16 to 24 at 100 % to 150 %), Alt+Tab and the task bar
  // (32 to 64), Explorer's large views (256). The lamps as the main window shows them: 96 at
  // 100 %, more on a denser screen.
  const bool written =
      WriteIco(korva::qt::kIconWindow, {16, 20, 24, 32, 40, 48, 64, 256},
               folder + "/korva-updater.ico") &&
      WriteIco(korva::qt::kIconLampRed, {48, 72, 96, 144, 192}, folder + "/lamp-red.ico") &&
      WriteIco(korva::qt::kIconLampGreen, {48, 72, 96, 144, 192}, folder + "/lamp-green.ico");
  if (!written) {
    std::fprintf(stderr, "make_icons: cannot write the icons into %s\n", argv[1]);
    return 1;
  }
  return 0;
}
