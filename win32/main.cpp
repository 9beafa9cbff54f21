// korva-updater.exe: the KORVA firmware updater's window program on Windows.
#include "win32/updater_app.h"

int main() { return korva::win32::RunUpdater(); }
