// One handle space for kernel objects (threads, block devices), so that CloseHandle closes any of
// them and a stale handle fails. Handle values are never reused within a process.
#include "platform/internal/kernel_handles.h"

#include <map>
#include <mutex>
#include <vector>

#include "platform/core/kernel_handle_table.h"

namespace platform {

namespace {

// Apart from the window handles (0x10000000 up) and never INVALID_HANDLE_VALUE.
constexpr std::uintptr_t kKernelHandleBase = 0x20000000;

struct KernelEntry {
  KernelObjectKind kind;
  void* object;
  void (*close)(void* object);
};

struct KernelTable {
  std::mutex mutex;
  std::map<std::uint64_t, KernelEntry> entries;  // by serial
  std::uint64_t next_serial = 1;
};

KernelTable& Table() {
  static auto* table = new KernelTable;
  return *table;
}

bool SerialOf(HANDLE handle, std::uint64_t* serial) {
  auto value = reinterpret_cast<std::uintptr_t>(handle);
  if (value < kKernelHandleBase || (value - kKernelHandleBase) % 4 != 0) return false;
  *serial = (value - kKernelHandleBase) / 4;
  return true;
}

}  // namespace

HANDLE NewKernelHandle(KernelObjectKind kind, void* object, void (*close)(void* object)) {
  KernelTable& table = Table();
  std::lock_guard<std::mutex> lock(table.mutex);
  std::uint64_t serial = table.next_serial++;
  table.entries.emplace(serial, KernelEntry{kind, object, close});
  return reinterpret_cast<HANDLE>(kKernelHandleBase + 4 * static_cast<std::uintptr_t>(serial));
}

void* KernelObject(HANDLE handle, KernelObjectKind kind) {
  std::uint64_t serial = 0;
  if (!SerialOf(handle, &serial)) return nullptr;
  KernelTable& table = Table();
  std::lock_guard<std::mutex> lock(table.mutex);
  auto found = table.entries.find(serial);
  return found != table.entries.end() && found->second.kind == kind ? found->second.object
                                                                    : nullptr;
}

std::uint64_t KernelHandleWatermark() {
  std::lock_guard<std::mutex> lock(Table().mutex);
  return Table().next_serial;
}

std::size_t KernelHandleCount() {
  std::lock_guard<std::mutex> lock(Table().mutex);
  return Table().entries.size();
}

void CloseKernelHandlesSince(std::uint64_t watermark) {
  std::vector<KernelEntry> closing;
  {
    KernelTable& table = Table();
    std::lock_guard<std::mutex> lock(table.mutex);
    auto first = table.entries.lower_bound(watermark);
    for (auto it = first; it != table.entries.end(); ++it) closing.push_back(it->second);
    table.entries.erase(first, table.entries.end());
  }
  for (const KernelEntry& entry : closing) {
    if (entry.close != nullptr) entry.close(entry.object);
  }
}

}  // namespace platform

BOOL CloseHandle(HANDLE handle) {
  using namespace platform;
  std::uint64_t serial = 0;
  if (!SerialOf(handle, &serial)) return FALSE;
  KernelEntry entry{};
  {
    KernelTable& table = Table();
    std::lock_guard<std::mutex> lock(table.mutex);
    auto found = table.entries.find(serial);
    if (found == table.entries.end()) return FALSE;
    entry = found->second;
    table.entries.erase(found);
  }
  // Outside the lock: a close may itself open or close handles.
  if (entry.close != nullptr) entry.close(entry.object);
  return TRUE;
}
