// korva-updater: the KORVA firmware updater.
#include "qt/updater_app.h"

int main(int argc, char** argv) { return korva::qt::CUpdaterApp().Run(argc, argv); }
