// Keyboard accelerators: LoadAcceleratorsW copies a table of the resource table, and
// TranslateAcceleratorW turns a matching key into WM_COMMAND. The modifier keys held with a
// WM_KEYDOWN travel in its lParam (kKeyControlDown and friends, module_interfaces.h).
#include <map>
#include <mutex>
#include <vector>

#include "platform/core/accelerator_tables.h"
#include "platform/internal/module_interfaces.h"
#include "platform/resources.h"

namespace platform {

namespace {

// A handle is this base plus the table's resource id.
constexpr std::uintptr_t kAcceleratorHandleBase = 0x00300000;

struct LoadedTables {
  std::mutex mutex;
  std::map<UINT, std::vector<ACCEL>> tables;  // by resource id
};

LoadedTables& Loaded() {
  static auto* loaded = new LoadedTables;
  return *loaded;
}

BYTE ModifiersOf(LPARAM lparam) {
  BYTE modifiers = 0;
  if ((lparam & kKeyControlDown) != 0) modifiers |= FCONTROL;
  if ((lparam & kKeyShiftDown) != 0) modifiers |= FSHIFT;
  if ((lparam & kKeyAltDown) != 0) modifiers |= FALT;
  return modifiers;
}

// A virtual-key entry needs exactly its modifiers held (Ctrl+Shift+A is not Ctrl+A); a character
// entry matches the WM_CHAR of that character.
bool Matches(const ACCEL& entry, const MSG& msg) {
  if ((entry.fVirt & FVIRTKEY) != 0) {
    constexpr BYTE kModifiers = FCONTROL | FSHIFT | FALT;
    return msg.message == WM_KEYDOWN && msg.wParam == entry.key &&
           (entry.fVirt & kModifiers) == ModifiersOf(msg.lParam);
  }
  return msg.message == WM_CHAR && msg.wParam == entry.key;
}

}  // namespace

void ClearAcceleratorTables() {
  std::lock_guard<std::mutex> lock(Loaded().mutex);
  Loaded().tables.clear();
}

}  // namespace platform

using namespace platform;

HACCEL LoadAcceleratorsW(HINSTANCE, LPCWSTR table_name) {
  const ResourceTable* resources = CurrentResourceTable();
  if (resources == nullptr || table_name == nullptr || !IS_INTRESOURCE(table_name)) return nullptr;
  auto id = static_cast<UINT>(reinterpret_cast<std::uintptr_t>(table_name));
  for (std::size_t i = 0; i < resources->accelerator_count; ++i) {
    const ResourceAccelerators& table = resources->accelerators[i];
    if (table.id != id || (table.entries == nullptr && table.count != 0)) continue;
    std::lock_guard<std::mutex> lock(Loaded().mutex);
    Loaded().tables[id].assign(table.entries, table.entries + table.count);
    return reinterpret_cast<HACCEL>(kAcceleratorHandleBase + id);
  }
  return nullptr;
}

int TranslateAcceleratorW(HWND window, HACCEL table, MSG* msg) {
  if (msg == nullptr || window == nullptr) return 0;
  if (msg->message != WM_KEYDOWN && msg->message != WM_CHAR) return 0;
  auto value = reinterpret_cast<std::uintptr_t>(table);
  if (value <= kAcceleratorHandleBase || value > kAcceleratorHandleBase + 0xFFFF) return 0;
  WORD command = 0;
  bool matched = false;
  {
    std::lock_guard<std::mutex> lock(Loaded().mutex);
    auto found = Loaded().tables.find(static_cast<UINT>(value - kAcceleratorHandleBase));
    if (found == Loaded().tables.end()) return 0;
    for (const ACCEL& entry : found->second) {
      if (Matches(entry, *msg)) {
        command = entry.cmd;
        matched = true;
        break;
      }
    }
  }
  if (!matched || !IsWindow(window)) return 0;
  // High word 1: the command came from an accelerator.
  SendMessageW(window, WM_COMMAND, static_cast<WPARAM>(MAKELPARAM(command, 1)), 0);
  return 1;
}
