// Kernel handles: one space for threads and devices, closed exactly once, stale handles failing.
#include "platform/internal/kernel_handles.h"

#include <gtest/gtest.h>

namespace {

int closes = 0;
void CountClose(void* object) {
  ++closes;
  EXPECT_EQ(*static_cast<int*>(object), 42);
}

TEST(KernelHandles, CloseRunsOnceAndTheHandleDies) {
  int object = 42;
  closes = 0;
  HANDLE handle =
      platform::NewKernelHandle(platform::KernelObjectKind::BlockDevice, &object, CountClose);
  ASSERT_NE(handle, nullptr);
  ASSERT_NE(handle, INVALID_HANDLE_VALUE);
  EXPECT_EQ(platform::KernelObject(handle, platform::KernelObjectKind::BlockDevice), &object);
  EXPECT_EQ(platform::KernelObject(handle, platform::KernelObjectKind::Thread), nullptr);
  EXPECT_TRUE(CloseHandle(handle));
  EXPECT_EQ(closes, 1);
  EXPECT_FALSE(CloseHandle(handle));
  EXPECT_EQ(closes, 1);
  EXPECT_EQ(platform::KernelObject(handle, platform::KernelObjectKind::BlockDevice), nullptr);
}

TEST(KernelHandles, HandlesAreNeverReused) {
  int object = 42;
  HANDLE first = platform::NewKernelHandle(platform::KernelObjectKind::Thread, &object, nullptr);
  CloseHandle(first);
  HANDLE second = platform::NewKernelHandle(platform::KernelObjectKind::Thread, &object, nullptr);
  EXPECT_NE(first, second);
  EXPECT_EQ(platform::KernelObject(first, platform::KernelObjectKind::Thread), nullptr);
  CloseHandle(second);
}

TEST(KernelHandles, UnknownHandlesFail) {
  for (HANDLE bad : {static_cast<HANDLE>(nullptr), INVALID_HANDLE_VALUE,
                     reinterpret_cast<HANDLE>(0x1234), reinterpret_cast<HANDLE>(0x20000001)}) {
    EXPECT_FALSE(CloseHandle(bad));
    EXPECT_EQ(platform::KernelObject(bad, platform::KernelObjectKind::Thread), nullptr);
  }
}

}  // namespace
