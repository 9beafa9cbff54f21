// hidapi behind the HidBackend seam. hidapi promises no thread safety for enumerate, open
// and close, so those run behind one mutex; each open handle is used by one thread only.
#include <fcntl.h>
#include <hidapi/hidapi.h>
#include <unistd.h>

#include <cerrno>
#include <mutex>

#include "device/hid_backend.h"

namespace korva {
namespace {

std::mutex g_hidapiMutex;

class HidapiHandle final : public HidHandle {
 public:
  explicit HidapiHandle(hid_device* device) : device_(device) {}
  ~HidapiHandle() override {
    std::lock_guard lock(g_hidapiMutex);
    hid_close(device_);
  }
  HidapiHandle(const HidapiHandle&) = delete;
  HidapiHandle& operator=(const HidapiHandle&) = delete;

  int Write(const std::uint8_t* data, std::size_t length, int /*timeoutMs*/) override {
    // hid_write has no time limit of its own on Linux: hidraw's write blocks until the
    // kernel's usbhid driver has moved the report, and that driver bounds every output
    // transfer at USB_CTRL_SET_TIMEOUT (5 s). The transport then counts a write that took
    // longer than 3000 ms as failed.
    return hid_write(device_, data, length);
  }

  int Read(std::uint8_t* data, std::size_t length, int timeoutMs) override {
    return hid_read_timeout(device_, data, length, timeoutMs);
  }

 private:
  hid_device* device_;
};

class HidapiBackend final : public HidBackend {
 public:
  HidapiBackend() { hid_init(); }
  ~HidapiBackend() override { hid_exit(); }
  HidapiBackend(const HidapiBackend&) = delete;
  HidapiBackend& operator=(const HidapiBackend&) = delete;

  std::vector<HidInterfaceInfo> Enumerate() override {
    std::lock_guard lock(g_hidapiMutex);
    std::vector<HidInterfaceInfo> found;
    hid_device_info* list = hid_enumerate(0, 0);
    for (hid_device_info* it = list; it; it = it->next) {
      found.push_back({it->path ? it->path : "", it->vendor_id, it->product_id});
    }
    hid_free_enumeration(list);
    return found;
  }

  std::unique_ptr<HidHandle> Open(const std::string& path) override {
    std::lock_guard lock(g_hidapiMutex);
    hid_device* device = hid_open_path(path.c_str());
    if (!device) return nullptr;
    return std::make_unique<HidapiHandle>(device);
  }

  // hidapi's hidraw backend reports no reason, so open the hidraw node the same way it does
  // and read errno: EACCES without a udev rule that grants the seat's user access, EBUSY when
  // another program holds the node.
  HidOpenProblem DiagnoseOpen(const std::string& path) override {
    const int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
    if (fd >= 0) {
      ::close(fd);
      return HidOpenProblem::None;
    }
    if (errno == EACCES || errno == EPERM) return HidOpenProblem::PermissionDenied;
    if (errno == EBUSY) return HidOpenProblem::HeldElsewhere;
    return HidOpenProblem::Unknown;
  }
};

}  // namespace

std::unique_ptr<HidBackend> MakeSystemHidBackend() { return std::make_unique<HidapiBackend>(); }

}  // namespace korva
