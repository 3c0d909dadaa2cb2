// A link device in memory for the recorder's tests: "memory" in QUELT_LINK_DEVICES, 64 sectors
// that reads return and writes change, with a switch that makes its transfers fail.
#pragma once

#include <atomic>
#include <cstdint>
#include <cstring>
#include <vector>

#include "platform/block_device.h"

namespace recorder_test {

constexpr std::uint64_t MemorySectors = 64;

struct MemoryDevice {
  std::vector<std::uint8_t> bytes = std::vector<std::uint8_t>(MemorySectors * 512);
  std::atomic<bool> failing{false};
};

inline MemoryDevice& Memory() {
  static MemoryDevice device;
  return device;
}

inline void RegisterMemoryDevice() {
  platform::BlockDeviceBackend backend{};
  backend.open = [](const char*, int) -> void* { return &Memory(); };
  backend.sector_count = [](void*) { return MemorySectors; };
  backend.read = [](void*, std::uint64_t first, std::uint32_t sectors, std::uint8_t* data,
                    std::uint32_t* moved) {
    *moved = 0;
    if (Memory().failing) return false;
    std::memcpy(data, Memory().bytes.data() + first * 512, sectors * 512);
    *moved = sectors * 512;
    return true;
  };
  backend.write = [](void*, std::uint64_t first, std::uint32_t sectors, const std::uint8_t* data,
                     std::uint32_t* moved) {
    *moved = 0;
    if (Memory().failing) return false;
    std::memcpy(Memory().bytes.data() + first * 512, data, sectors * 512);
    *moved = sectors * 512;
    return true;
  };
  backend.close = [](void*) {};
  platform::RegisterBlockDeviceBackend("memory", backend);
}

}  // namespace recorder_test
