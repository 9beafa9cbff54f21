// korva-updater: the KORVA firmware updater.
#include <QByteArray>
#include <QtGlobal>
#include <string_view>

#include "qt/updater_app.h"

namespace {

// --help and --version only print, so they must work where there is no display (a terminal over
// ssh, a packaging check): the toolkit gets its platform without a screen for them.
bool OnlyPrints(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    const std::string_view argument = argv[i];
    if (argument == "--help" || argument == "-h" || argument == "--version") return true;
  }
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  if (OnlyPrints(argc, argv)) qputenv("QT_QPA_PLATFORM", QByteArray("offscreen"));
  return korva::qt::CUpdaterApp().Run(argc, argv);
}
