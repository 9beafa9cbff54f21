// What stands behind the Bluetooth update library: the module that takes the firmware once
// the amp has handed its USB link to it. Results follow the library's convention: 0 is success.
#pragma once

#include <cstdint>
#include <string>
#include <utility>

namespace korva {

class DfuBackend {
 public:
  virtual ~DfuBackend() = default;
  virtual int Connect(std::uint16_t vendorId, std::uint16_t productId, int reserved1, int reserved2,
                      int* handleOut) = 0;
  virtual std::string LastError() = 0;
  virtual int Upgrade(const std::string& filePath, int reserved) = 0;
  virtual int Progress() = 0;
  virtual int Result() = 0;
  virtual int ResetDevice() = 0;
  virtual int Disconnect() = 0;
  // True for code the program does not know (a loaded library), whose calls may never return.
  virtual bool MayHang() const { return false; }
};

// Stands in while no update library is loaded: nothing connects, nothing starts, and the last
// error says why there is no library.
class NoDfuBackend final : public DfuBackend {
 public:
  explicit NoDfuBackend(std::string reason) : reason_(std::move(reason)) {}
  const std::string& Reason() const { return reason_; }

  int Connect(std::uint16_t, std::uint16_t, int, int, int*) override { return 1; }
  std::string LastError() override { return reason_; }
  int Upgrade(const std::string&, int) override { return 1; }
  int Progress() override { return 0; }
  int Result() override { return 1; }
  int ResetDevice() override { return 1; }
  int Disconnect() override { return 0; }

 private:
  std::string reason_;
};

}  // namespace korva
