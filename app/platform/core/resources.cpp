// The program's resource table and the lookups of strings, icons, cursors and stock objects.
#include "platform/resources.h"

#include <algorithm>
#include <atomic>

#include "platform/internal/module_interfaces.h"

namespace platform {

namespace {

std::atomic<const ResourceTable*> installed_table{nullptr};

// Handle values: resource icons, the system's icons and cursors (by their 0x7F00.. ids).
constexpr std::uintptr_t kIconHandleBase = 0x00400000;
constexpr std::uintptr_t kSystemIconHandleBase = 0x00410000;
constexpr std::uintptr_t kSystemCursorHandleBase = 0x00420000;
constexpr int kStockObjectCount = 20;
constexpr int kUndefinedStockObject = 9;  // no stock object has number 9

bool IsSystemIcon(UINT id) { return id >= 32512 && id <= 32518; }

bool IsSystemCursor(UINT id) {
  return (id >= 32512 && id <= 32516) || (id >= 32640 && id <= 32651);
}

const ResourceBlob* FindIcon(UINT id) {
  const ResourceTable* table = CurrentResourceTable();
  if (table == nullptr || table->icons == nullptr) return nullptr;
  const ResourceBlob* end = table->icons + table->icon_count;
  const ResourceBlob* found =
      std::find_if(table->icons, end, [&](const ResourceBlob& blob) { return blob.id == id; });
  return found != end ? found : nullptr;
}

const ResourceString* FindString(UINT id) {
  const ResourceTable* table = CurrentResourceTable();
  if (table == nullptr || table->strings == nullptr) return nullptr;
  const ResourceString* end = table->strings + table->string_count;
  const ResourceString* found = std::find_if(
      table->strings, end, [&](const ResourceString& entry) { return entry.id == id; });
  return found != end && found->text != nullptr ? found : nullptr;
}

UINT ResourceId(LPCWSTR name) {
  return IS_INTRESOURCE(name) ? static_cast<UINT>(reinterpret_cast<std::uintptr_t>(name)) : 0;
}

}  // namespace

int StockObjectIndex(HGDIOBJ object) {
  auto value = reinterpret_cast<std::uintptr_t>(object);
  if (value < kStockObjectBase || value >= kStockObjectBase + kStockObjectCount) return -1;
  int index = static_cast<int>(value - kStockObjectBase);
  return index == kUndefinedStockObject ? -1 : index;
}

const ResourceBlob* IconResource(HICON icon) {
  auto value = reinterpret_cast<std::uintptr_t>(icon);
  if (value <= kIconHandleBase || value > kIconHandleBase + 0xFFFF) return nullptr;
  return FindIcon(static_cast<UINT>(value - kIconHandleBase));
}

}  // namespace platform

using namespace platform;

void SetResourceTable(const ResourceTable* table) { installed_table.store(table); }

const ResourceTable* CurrentResourceTable() { return installed_table.load(); }

int LoadStringW(HINSTANCE, UINT id, LPWSTR buffer, int buffer_chars) {
  // Win32 answers buffer_chars 0 with a pointer to the string in place; a caller's small buffer
  // would then be overwritten by a pointer, so this platform copies only.
  if (buffer == nullptr || buffer_chars <= 0) return 0;
  const ResourceString* entry = FindString(id);
  if (entry == nullptr) {
    buffer[0] = 0;
    return 0;
  }
  int count = 0;
  while (count < buffer_chars - 1 && entry->text[count] != 0) {
    buffer[count] = entry->text[count];
    ++count;
  }
  buffer[count] = 0;
  return count;
}

// The program has one module, so its instance handle (whatever the entry passed, even null)
// names the resource table; with no instance the system's icons come first, as in Win32.
HICON LoadIconW(HINSTANCE instance, LPCWSTR name) {
  UINT id = ResourceId(name);
  if (id == 0) return nullptr;
  if (instance == nullptr && IsSystemIcon(id)) {
    return reinterpret_cast<HICON>(kSystemIconHandleBase + id);
  }
  return FindIcon(id) != nullptr ? reinterpret_cast<HICON>(kIconHandleBase + id) : nullptr;
}

// The resource table holds no cursors: only the system's (with no instance) load.
HCURSOR LoadCursorW(HINSTANCE instance, LPCWSTR name) {
  UINT id = ResourceId(name);
  if (instance != nullptr || !IsSystemCursor(id)) return nullptr;
  return reinterpret_cast<HCURSOR>(kSystemCursorHandleBase + id);
}

HGDIOBJ GetStockObject(int object) {
  if (object < 0 || object >= kStockObjectCount || object == kUndefinedStockObject) return nullptr;
  return reinterpret_cast<HGDIOBJ>(kStockObjectBase + static_cast<std::uintptr_t>(object));
}
