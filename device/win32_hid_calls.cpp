// The Win32 HID calls passed straight to the system.
#include "device/win32_hid_calls.h"

namespace korva::win32 {
namespace {

class SystemCalls final : public HidCalls {
 public:
  void HidD_GetHidGuid(GUID* guid) override { ::HidD_GetHidGuid(guid); }
  HDEVINFO SetupDiGetClassDevsA(const GUID* guid, PCSTR enumerator, HWND parent,
                                DWORD flags) override {
    return ::SetupDiGetClassDevsA(guid, enumerator, parent, flags);
  }
  BOOL SetupDiEnumDeviceInterfaces(HDEVINFO list, PSP_DEVINFO_DATA info, const GUID* guid,
                                   DWORD index, PSP_DEVICE_INTERFACE_DATA data) override {
    return ::SetupDiEnumDeviceInterfaces(list, info, guid, index, data);
  }
  BOOL SetupDiGetDeviceInterfaceDetailA(HDEVINFO list, PSP_DEVICE_INTERFACE_DATA data,
                                        PSP_DEVICE_INTERFACE_DETAIL_DATA_A detail, DWORD detailSize,
                                        PDWORD requiredSize, PSP_DEVINFO_DATA info) override {
    return ::SetupDiGetDeviceInterfaceDetailA(list, data, detail, detailSize, requiredSize, info);
  }
  BOOL SetupDiDestroyDeviceInfoList(HDEVINFO list) override {
    return ::SetupDiDestroyDeviceInfoList(list);
  }

  HANDLE CreateFileA(LPCSTR path, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                     DWORD disposition, DWORD flags, HANDLE templateFile) override {
    return ::CreateFileA(path, access, share, security, disposition, flags, templateFile);
  }
  BOOL CloseHandle(HANDLE handle) override { return ::CloseHandle(handle); }
  DWORD GetLastError() override { return ::GetLastError(); }

  BOOLEAN HidD_GetAttributes(HANDLE device, PHIDD_ATTRIBUTES attributes) override {
    return ::HidD_GetAttributes(device, attributes);
  }
  BOOLEAN HidD_GetPreparsedData(HANDLE device, PHIDP_PREPARSED_DATA* data) override {
    return ::HidD_GetPreparsedData(device, data);
  }
  NTSTATUS HidP_GetCaps(PHIDP_PREPARSED_DATA data, PHIDP_CAPS caps) override {
    return ::HidP_GetCaps(data, caps);
  }
  BOOLEAN HidD_FreePreparsedData(PHIDP_PREPARSED_DATA data) override {
    return ::HidD_FreePreparsedData(data);
  }

  HANDLE CreateEventA(LPSECURITY_ATTRIBUTES security, BOOL manualReset, BOOL initialState,
                      LPCSTR name) override {
    return ::CreateEventA(security, manualReset, initialState, name);
  }
  BOOL WriteFile(HANDLE file, LPCVOID buffer, DWORD length, LPDWORD written,
                 LPOVERLAPPED overlapped) override {
    return ::WriteFile(file, buffer, length, written, overlapped);
  }
  BOOL ReadFile(HANDLE file, LPVOID buffer, DWORD length, LPDWORD read,
                LPOVERLAPPED overlapped) override {
    return ::ReadFile(file, buffer, length, read, overlapped);
  }
  DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds) override {
    return ::WaitForSingleObject(handle, milliseconds);
  }
  BOOL CancelIo(HANDLE file) override { return ::CancelIo(file); }
  BOOL GetOverlappedResult(HANDLE file, LPOVERLAPPED overlapped, LPDWORD transferred,
                           BOOL wait) override {
    return ::GetOverlappedResult(file, overlapped, transferred, wait);
  }
};

}  // namespace

HidCalls& SystemHidCalls() {
  static SystemCalls calls;
  return calls;
}

}  // namespace korva::win32
