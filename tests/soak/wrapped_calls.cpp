// The calls the soak watches, wrapped at link time (-Wl,--wrap=SYMBOL with the C++ names below), so
// that its records come from the calls themselves and not from a change to the system's code:
//
//   QueueCommand          every packet a panel producer (touch, key reply, heartbeat) queues;
//   SendStartupCommands   with Sleep: the start-up sequence queues its packets inside the link
//                         library, where the wrap cannot reach, one at its start and one after
//                         each of its three pauses;
//   DeviceIoControl       every transfer with the device and its outcome;
//   CreateFileW           every open of a link device;
//   PaintPanel            every paint and refresh of the main window, to check the screen after
//   RefreshPanel          each.
//
// Each wrapper calls the real function and tells the observer, if one is set.
#include <array>
#include <cstdint>

#include "platform/win32.h"
#include "tests/soak/soak_observer.h"

extern "C" {

void __real__Z12QueueCommandRKSt5arrayIhLm12EE(const std::array<std::uint8_t, 12>& packet);
void __real__Z19SendStartupCommandsv();
void __real__Z5Sleepj(DWORD ms);
BOOL __real__Z15DeviceIoControlPvjS_jS_jPjS_(HANDLE device, DWORD control_code, LPVOID in_buffer,
                                             DWORD in_size, LPVOID out_buffer, DWORD out_size,
                                             DWORD* bytes_returned, LPVOID overlapped);
HANDLE __real__Z11CreateFileWPKDsjjPvjjS1_(LPCWSTR name, DWORD access, DWORD share_mode,
                                           LPVOID security, DWORD creation_disposition, DWORD flags,
                                           HANDLE template_file);
LRESULT __real__Z10PaintPanelP6HWND__(HWND window);
LRESULT __real__Z12RefreshPanelP6HWND__(HWND window);

void __wrap__Z12QueueCommandRKSt5arrayIhLm12EE(const std::array<std::uint8_t, 12>& packet) {
  if (SoakObserver* observer = ActiveSoakObserver()) observer->Queued(packet.data());
  __real__Z12QueueCommandRKSt5arrayIhLm12EE(packet);
}

void __wrap__Z19SendStartupCommandsv() {
  if (SoakObserver* observer = ActiveSoakObserver()) observer->StartupBegins();
  __real__Z19SendStartupCommandsv();
  if (SoakObserver* observer = ActiveSoakObserver()) observer->StartupEnds();
}

void __wrap__Z5Sleepj(DWORD ms) {
  __real__Z5Sleepj(ms);
  if (SoakObserver* observer = ActiveSoakObserver()) observer->SleptOnThisThread();
}

BOOL __wrap__Z15DeviceIoControlPvjS_jS_jPjS_(HANDLE device, DWORD control_code, LPVOID in_buffer,
                                             DWORD in_size, LPVOID out_buffer, DWORD out_size,
                                             DWORD* bytes_returned, LPVOID overlapped) {
  const BOOL succeeded = __real__Z15DeviceIoControlPvjS_jS_jPjS_(
      device, control_code, in_buffer, in_size, out_buffer, out_size, bytes_returned, overlapped);
  SoakObserver* observer = ActiveSoakObserver();
  if (observer && in_buffer && in_size == sizeof(SG_REQ)) {
    observer->Transferred(control_code, *static_cast<const SG_REQ*>(in_buffer), succeeded,
                          bytes_returned ? *bytes_returned : 0);
  }
  return succeeded;
}

HANDLE __wrap__Z11CreateFileWPKDsjjPvjjS1_(LPCWSTR name, DWORD access, DWORD share_mode,
                                           LPVOID security, DWORD creation_disposition, DWORD flags,
                                           HANDLE template_file) {
  if (SoakObserver* observer = ActiveSoakObserver()) observer->Opened();
  return __real__Z11CreateFileWPKDsjjPvjjS1_(name, access, share_mode, security,
                                             creation_disposition, flags, template_file);
}

LRESULT __wrap__Z10PaintPanelP6HWND__(HWND window) {
  const LRESULT result = __real__Z10PaintPanelP6HWND__(window);
  if (SoakObserver* observer = ActiveSoakObserver()) observer->Painted();
  return result;
}

LRESULT __wrap__Z12RefreshPanelP6HWND__(HWND window) {
  const LRESULT result = __real__Z12RefreshPanelP6HWND__(window);
  if (SoakObserver* observer = ActiveSoakObserver()) observer->Refreshed();
  return result;
}

}  // extern "C"
