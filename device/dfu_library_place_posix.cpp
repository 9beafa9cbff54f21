// The installed place of the Bluetooth update library on Linux: a path fixed by the build
// (KORVA_DFU_LIBRARY_PATH, under the library folder of the install prefix).
#include "device/dfu_library_setup.h"

namespace korva {

std::string InstalledDfuLibraryPath() { return KORVA_DFU_LIBRARY_PATH; }

}  // namespace korva
