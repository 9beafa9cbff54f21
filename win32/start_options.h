// The window program's command line on Windows: the same options as on Linux.
#pragma once

#include <string>
#include <vector>

namespace korva::win32 {

struct StartOptions {
  bool simulate = false;
  bool service = false;  // the welcome window opens with the service pages
  bool help = false;
  bool version = false;
  std::string dfuLibrary;  // --dfu-library=PATH (empty: not given)
  std::string logFile;     // --log: the support log's file instead of the default one
  std::string error;       // set when an argument is not understood
};

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

// Reads the program's arguments (without the program's own name), as UTF-8.
StartOptions ParseStartOptions(const std::vector<std::string>& arguments);

// This process's arguments as UTF-8, without the program's name.
std::vector<std::string> CommandLineArguments();

}  // namespace korva::win32
