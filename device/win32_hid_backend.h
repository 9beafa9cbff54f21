// The Windows HID backend: SetupAPI enumeration of the HID interface class, the IDs from
// hid.dll, overlapped reads and writes with a time limit. Made on the system's calls for the
// program, on stand-ins for tests.
#pragma once

#include <memory>

#include "device/hid_backend.h"

namespace korva::win32 {

class HidCalls;

// `calls` must outlive the backend and every handle it opens.
std::unique_ptr<HidBackend> MakeHidBackend(HidCalls& calls);

}  // namespace korva::win32
