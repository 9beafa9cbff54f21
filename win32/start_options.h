// The window program's command line on Windows: its help text, and its arguments as UTF-8
// (dialogs/start_options reads them).
#pragma once

#include <string>
#include <vector>

namespace korva::win32 {

inline constexpr const char* kUsage =
    "usage: korva-updater [--device=usb | --simulate] [--dfu-library=PATH] [--log FILE]\n"
    "                     [--service]\n"
    "  --device=usb        update the KORVA on the USB cable (the default)\n"
    "  --simulate          update a virtual KORVA inside the program, in real time\n"
    "  --dfu-library=PATH  the Bluetooth update library (else %KORVA_DFU_LIBRARY%,\n"
    "                      else korva-dfu.dll beside the program)\n"
    "  --log FILE          append the support log to FILE instead of\n"
    "                      %LOCALAPPDATA%\\korva-updater\\korva-updater.log\n"
    "  --version           show the program's version and the carried firmware's\n"
    "  --service           open with the service pages: MCU, DSP and battery firmware\n"
    "                      from files, WAV files into audio slots, the Bluetooth module\n";

// This process's arguments as UTF-8, without the program's name.
std::vector<std::string> CommandLineArguments();

}  // namespace korva::win32
