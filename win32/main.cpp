// korva-updater.exe: the KORVA firmware updater's window program on Windows.
#include <windows.h>

int main() { return 0; }
