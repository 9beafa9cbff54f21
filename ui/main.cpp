// korva-updater: the KORVA firmware updater.
#include "ui/updater_app.h"

int main(int argc, char** argv) { return korva::ui::CUpdaterApp().Run(argc, argv); }
