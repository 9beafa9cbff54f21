// The KORVA's Bluetooth module in its update mode, as the update library sees it. It can be
// reached only after the amp has handed its USB link over ("UB"); its connection attempts,
// progress sequence, result, restart and disconnection are scripted by tests.
#pragma once

#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "device/dfu_backend.h"

namespace korva {

class VirtualBluetoothModule final : public DfuBackend {
 public:
  struct Script {
    int failedConnects = 0;  // attempts that fail before one succeeds (-1: all fail)
    std::string connectError = "Device not found";
    bool alreadyConnected = false;  // connect fails with "Already connected"
    int upgradeResult = 0;
    std::vector<int> progress = {0, 25, 50, 75, 99, 100};  // what successive polls read
    int result = 0;
    int resetResult = 0;
    std::vector<int> disconnectResults = {};  // successive Disconnect results; then 0
  };

  void SetScript(const Script& script);
  // Present once the amp has switched its link over; absent again after a successful reset.
  void SetPresent(bool present);
  bool Present() const;
  // Called (outside the lock) after a successful restart: the amp comes back as HID device.
  void SetResetHandler(std::function<void()> handler);
  // Called (outside the lock, on the polling thread) with the value that each progress poll
  // reads: tests hold the update there.
  void SetProgressHandler(std::function<void(int)> handler);

  // Every library call, in order ("connect", "lasterror", "upgrade", "progress", "result",
  // "reset", "disconnect").
  std::vector<std::string> Calls() const;
  std::string UpgradedFile() const;
  bool Connected() const;

  int Connect(std::uint16_t vendorId, std::uint16_t productId, int reserved1, int reserved2,
              int* handleOut) override;
  std::string LastError() override;
  int Upgrade(const std::string& filePath, int reserved) override;
  int Progress() override;
  int Result() override;
  int ResetDevice() override;
  int Disconnect() override;

 private:
  mutable std::mutex mutex_;
  Script script_;
  bool present_ = false;
  bool connected_ = false;
  int connectAttempts_ = 0;
  std::string lastError_;
  std::deque<int> progressLeft_;
  int lastProgress_ = 0;
  std::deque<int> disconnectsLeft_;
  std::string upgradedFile_;
  std::vector<std::string> calls_;
  std::function<void()> resetHandler_;
  std::function<void(int)> progressHandler_;
};

}  // namespace korva
