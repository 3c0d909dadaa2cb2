// A second program's start: finds a window by class and title and brings it forward with the
// handle's lowest bit set, as a second start of a single-instance program does. Exits 0 when it
// did, 1 when no such window exists, 3 when raising failed.
#include <cstdint>
#include <string>

#include "platform/win32.h"

namespace {

std::u16string Wide(const char* ascii) {
  return std::u16string(ascii, ascii + std::char_traits<char>::length(ascii));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) return 2;
  const HWND window = FindWindowW(Wide(argv[1]).c_str(), Wide(argv[2]).c_str());
  if (!window) return 1;
  const auto odd = reinterpret_cast<HWND>(reinterpret_cast<std::uintptr_t>(window) | 1);
  return SetForegroundWindow(odd) ? 0 : 3;
}
