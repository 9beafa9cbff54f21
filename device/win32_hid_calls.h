// The Win32 calls that the Windows HID backend makes (SetupAPI, hid.dll, overlapped file I/O),
// behind one interface: the program passes them straight to the system, tests stand in for the
// system to check what the backend asks of it without a device. The members keep the system's
// names and arguments, so that the backend reads as the Win32 code it is.
#pragma once

#include <windows.h>
// After <windows.h>, which they rely on.
#include <setupapi.h>
// The HID headers declare C functions without saying so; <hidsdi.h> brings <hidpi.h> in.
extern "C" {
#include <hidsdi.h>
}

namespace korva::win32 {

class HidCalls {
 public:
  virtual ~HidCalls() = default;

  virtual void HidD_GetHidGuid(GUID* guid) = 0;
  virtual HDEVINFO SetupDiGetClassDevsA(const GUID* guid, PCSTR enumerator, HWND parent,
                                        DWORD flags) = 0;
  virtual BOOL SetupDiEnumDeviceInterfaces(HDEVINFO list, PSP_DEVINFO_DATA info, const GUID* guid,
                                           DWORD index, PSP_DEVICE_INTERFACE_DATA data) = 0;
  virtual BOOL SetupDiGetDeviceInterfaceDetailA(HDEVINFO list, PSP_DEVICE_INTERFACE_DATA data,
                                                PSP_DEVICE_INTERFACE_DETAIL_DATA_A detail,
                                                DWORD detailSize, PDWORD requiredSize,
                                                PSP_DEVINFO_DATA info) = 0;
  virtual BOOL SetupDiDestroyDeviceInfoList(HDEVINFO list) = 0;

  virtual HANDLE CreateFileA(LPCSTR path, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                             DWORD disposition, DWORD flags, HANDLE templateFile) = 0;
  virtual BOOL CloseHandle(HANDLE handle) = 0;
  virtual DWORD GetLastError() = 0;

  virtual BOOLEAN HidD_GetAttributes(HANDLE device, PHIDD_ATTRIBUTES attributes) = 0;
  virtual BOOLEAN HidD_GetPreparsedData(HANDLE device, PHIDP_PREPARSED_DATA* data) = 0;
  virtual NTSTATUS HidP_GetCaps(PHIDP_PREPARSED_DATA data, PHIDP_CAPS caps) = 0;
  virtual BOOLEAN HidD_FreePreparsedData(PHIDP_PREPARSED_DATA data) = 0;

  virtual HANDLE CreateEventA(LPSECURITY_ATTRIBUTES security, BOOL manualReset, BOOL initialState,
                              LPCSTR name) = 0;
  virtual BOOL WriteFile(HANDLE file, LPCVOID buffer, DWORD length, LPDWORD written,
                         LPOVERLAPPED overlapped) = 0;
  virtual BOOL ReadFile(HANDLE file, LPVOID buffer, DWORD length, LPDWORD read,
                        LPOVERLAPPED overlapped) = 0;
  virtual DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds) = 0;
  virtual BOOL CancelIo(HANDLE file) = 0;
  virtual BOOL GetOverlappedResult(HANDLE file, LPOVERLAPPED overlapped, LPDWORD transferred,
                                   BOOL wait) = 0;
};

// The system's own calls.
HidCalls& SystemHidCalls();

}  // namespace korva::win32
