// The scripted Bluetooth module.
#include "emulator/virtual_bluetooth_module.h"

#include "device/hid_dfu.h"
#include "device/protocol.h"

namespace korva {

void VirtualBluetoothModule::SetScript(const Script& script) {
  std::lock_guard lock(mutex_);
  script_ = script;
  connectAttempts_ = 0;
  progressLeft_.assign(script.progress.begin(), script.progress.end());
  disconnectsLeft_.assign(script.disconnectResults.begin(), script.disconnectResults.end());
}

void VirtualBluetoothModule::SetPresent(bool present) {
  std::lock_guard lock(mutex_);
  present_ = present;
  if (!present) connected_ = false;
}

bool VirtualBluetoothModule::Present() const {
  std::lock_guard lock(mutex_);
  return present_;
}

void VirtualBluetoothModule::SetResetHandler(std::function<void()> handler) {
  std::lock_guard lock(mutex_);
  resetHandler_ = std::move(handler);
}

void VirtualBluetoothModule::SetProgressHandler(std::function<void(int)> handler) {
  std::lock_guard lock(mutex_);
  progressHandler_ = std::move(handler);
}

std::vector<std::string> VirtualBluetoothModule::Calls() const {
  std::lock_guard lock(mutex_);
  return calls_;
}

std::string VirtualBluetoothModule::UpgradedFile() const {
  std::lock_guard lock(mutex_);
  return upgradedFile_;
}

bool VirtualBluetoothModule::Connected() const {
  std::lock_guard lock(mutex_);
  return connected_;
}

int VirtualBluetoothModule::Connect(std::uint16_t vendorId, std::uint16_t productId, int, int,
                                    int* handleOut) {
  std::lock_guard lock(mutex_);
  calls_.push_back("connect");
  if (handleOut) *handleOut = 0;
  if (vendorId != kBluetoothVendorId || productId != kBluetoothProductId) {
    lastError_ = "No device with these IDs";
    return 1;
  }
  if (!present_) {
    lastError_ = "Device not found";
    return 1;
  }
  if (connected_ || script_.alreadyConnected) {
    connected_ = true;
    lastError_ = kDfuAlreadyConnected;
    return 1;
  }
  const int attempt = connectAttempts_++;
  if (script_.failedConnects < 0 || attempt < script_.failedConnects) {
    lastError_ = script_.connectError;
    return 1;
  }
  connected_ = true;
  lastError_.clear();
  return 0;
}

std::string VirtualBluetoothModule::LastError() {
  std::lock_guard lock(mutex_);
  calls_.push_back("lasterror");
  return lastError_;
}

int VirtualBluetoothModule::Upgrade(const std::string& filePath, int) {
  std::lock_guard lock(mutex_);
  calls_.push_back("upgrade");
  if (!connected_) return 1;
  upgradedFile_ = filePath;
  // Every update that starts runs the scripted progress afresh, also without a SetScript call.
  if (script_.upgradeResult == 0) {
    progressLeft_.assign(script_.progress.begin(), script_.progress.end());
    lastProgress_ = 0;
  }
  return script_.upgradeResult;
}

int VirtualBluetoothModule::Progress() {
  std::function<void(int)> handler;
  int value;
  {
    std::lock_guard lock(mutex_);
    calls_.push_back("progress");
    // Once the script has run out, the last value stays.
    if (!progressLeft_.empty()) {
      lastProgress_ = progressLeft_.front();
      progressLeft_.pop_front();
    }
    value = lastProgress_;
    handler = progressHandler_;
  }
  if (handler) handler(value);
  return value;
}

int VirtualBluetoothModule::Result() {
  std::lock_guard lock(mutex_);
  calls_.push_back("result");
  return script_.result;
}

int VirtualBluetoothModule::ResetDevice() {
  std::function<void()> handler;
  int result;
  {
    std::lock_guard lock(mutex_);
    calls_.push_back("reset");
    result = connected_ ? script_.resetResult : 1;
    if (result == 0) {
      present_ = false;
      handler = resetHandler_;
    }
  }
  if (handler) handler();
  return result;
}

int VirtualBluetoothModule::Disconnect() {
  std::lock_guard lock(mutex_);
  calls_.push_back("disconnect");
  int result = 0;
  if (!disconnectsLeft_.empty()) {
    result = disconnectsLeft_.front();
    disconnectsLeft_.pop_front();
  }
  if (result == 0) connected_ = false;
  return result;
}

}  // namespace korva
