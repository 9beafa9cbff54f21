// What stands behind the Bluetooth update library: the module that takes the firmware once
// the amp has handed its USB link to it. Results follow the library's convention: 0 is success.
#pragma once

#include <cstdint>
#include <string>

namespace korva {

class DfuBackend {
 public:
  virtual ~DfuBackend() = default;
  virtual int Connect(std::uint16_t vendorId, std::uint16_t productId, int reserved1,
                      int reserved2, int* handleOut) = 0;
  virtual std::string LastError() = 0;
  virtual int Upgrade(const std::string& filePath, int reserved) = 0;
  virtual int Progress() = 0;
  virtual int Result() = 0;
  virtual int ResetDevice() = 0;
  virtual int Disconnect() = 0;
};

// No module can be reached on this platform: connecting fails with an explanatory text.
class NoDfuBackend final : public DfuBackend {
 public:
  int Connect(std::uint16_t, std::uint16_t, int, int, int*) override { return 1; }
  std::string LastError() override;
  int Upgrade(const std::string&, int) override { return 1; }
  int Progress() override { return 0; }
  int Result() override { return 1; }
  int ResetDevice() override { return 1; }
  int Disconnect() override { return 0; }
};

}  // namespace korva
