// Kernel object handles (threads, block devices) share one handle space, so that CloseHandle can
// close any of them and a stale or unknown handle fails cleanly instead of crashing.
#pragma once

#include "platform/win32.h"

namespace platform {

enum class KernelObjectKind { Thread, BlockDevice };

// Registers an object; close runs once, at CloseHandle, and receives the object.
HANDLE NewKernelHandle(KernelObjectKind kind, void* object, void (*close)(void* object));
// The object behind a live handle of that kind, or null.
void* KernelObject(HANDLE handle, KernelObjectKind kind);

}  // namespace platform
