// A Bluetooth update library loaded at run time (the contract is korva_dfu.h), as the backend
// of the library layer. Loading checks that the library exports all seven functions; one that
// lacks any of them is refused with the name of the missing function.
#pragma once

#include <memory>
#include <string>

#include "device/dfu_backend.h"
#include "device/shared_library.h"

namespace korva {

class DfuLibrary final : public DfuBackend {
 public:
  enum class Failure { None, NoFile, CannotLoad, MissingFunction };
  struct Loaded {
    std::unique_ptr<DfuLibrary> library;  // null on failure
    Failure failure = Failure::None;
    std::string problem;  // on failure: the path and what failed (the loader's reason, a name)
  };
  static Loaded Load(const std::string& path);

  ~DfuLibrary() override;
  DfuLibrary(const DfuLibrary&) = delete;
  DfuLibrary& operator=(const DfuLibrary&) = delete;

  int Connect(std::uint16_t vendorId, std::uint16_t productId, int reserved1, int reserved2,
              int* handleOut) override;
  std::string LastError() override;
  int Upgrade(const std::string& filePath, int reserved) override;
  int Progress() override;
  int Result() override;
  int ResetDevice() override;
  int Disconnect() override;
  bool MayHang() const override { return true; }

 private:
  struct Functions;
  DfuLibrary(std::unique_ptr<SharedLibrary> library, std::unique_ptr<Functions> functions);

  std::unique_ptr<SharedLibrary> library_;
  std::unique_ptr<Functions> functions_;
};

}  // namespace korva
