#include "scripted_window.h"

#include <array>

namespace platform::test {

namespace {

std::array<Handler, kSlots> handlers;
int used_slots = 0;

template <int Slot>
LRESULT SlotProcedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  LRESULT result = handlers[Slot] ? handlers[Slot](window, message, wparam, lparam) : kDefault;
  return result == kDefault ? DefWindowProcW(window, message, wparam, lparam) : result;
}

constexpr WNDPROC kProcedures[kSlots] = {SlotProcedure<0>, SlotProcedure<1>, SlotProcedure<2>,
                                         SlotProcedure<3>};

}  // namespace

ATOM RegisterScriptedClass(LPCWSTR class_name, Handler handler) {
  if (used_slots == kSlots) return 0;
  int slot = used_slots++;
  handlers[slot] = std::move(handler);
  WNDCLASSW window_class{};
  window_class.lpfnWndProc = kProcedures[slot];
  window_class.lpszClassName = class_name;
  return RegisterClassW(&window_class);
}

HWND CreateScriptedWindow(LPCWSTR class_name, DWORD style) {
  return CreateWindowExW(0, class_name, class_name, style, 0, 0, 800, 480, nullptr, nullptr,
                         nullptr, nullptr);
}

void ResetScriptedClasses() {
  for (Handler& handler : handlers) handler = nullptr;
  used_slots = 0;
}

}  // namespace platform::test
