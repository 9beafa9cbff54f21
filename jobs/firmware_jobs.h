// The two jobs of the main road. Each is a thread routine without argument that finds its
// image in the image stores and reports through the current job owner; the value returned
// (1 success, 0 failure) is read by nobody.
#pragma once

namespace korva {

int McuTransferJob();
int DspTransferJob();

}  // namespace korva
