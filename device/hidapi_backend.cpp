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

// hidapi hands serial numbers over as wide strings, one code point per wchar_t on Linux.
std::string ToUtf8(const wchar_t* wide) {
  std::string text;
  for (; wide && *wide; ++wide) {
    const auto c = static_cast<char32_t>(*wide);
    if (c < 0x80) {
      text += static_cast<char>(c);
    } else if (c < 0x800) {
      text += static_cast<char>(0xC0 | c >> 6);
      text += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      text += static_cast<char>(0xE0 | c >> 12);
      text += static_cast<char>(0x80 | (c >> 6 & 0x3F));
      text += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      text += static_cast<char>(0xF0 | c >> 18);
      text += static_cast<char>(0x80 | (c >> 12 & 0x3F));
      text += static_cast<char>(0x80 | (c >> 6 & 0x3F));
      text += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return text;
}

HidInterfaceInfo FromHidapi(const hid_device_info& info) {
  return {info.path ? info.path : "", info.vendor_id, info.product_id, ToUtf8(info.serial_number)};
}

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

  std::optional<HidInterfaceInfo> Identity() override {
#if defined(HID_API_VERSION) && HID_API_VERSION >= HID_API_MAKE_VERSION(0, 13, 0)
    // On hidraw this looks up the device behind the open descriptor (fstat, then its sysfs
    // entry): a few small reads instead of a walk over every HID interface.
    std::lock_guard lock(g_hidapiMutex);
    const hid_device_info* info = hid_get_device_info(device_);
    if (!info) return std::nullopt;
    return FromHidapi(*info);
#else
    return std::nullopt;  // older hidapi cannot tell: the transport then lists for every report
#endif
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
      found.push_back(FromHidapi(*it));
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
