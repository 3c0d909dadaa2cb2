// The display thread of a real display: the thread that started it, the only one that touches the
// host's display. The window operations of the backend in use run there: a show, hide or destroy
// that another thread asks for on one of its windows waits in a queue until the display thread's
// next wait runs it. Headless has no display thread; its operations run where they are called.
#pragma once

#include "platform/display/display_backend.h"

namespace platform::display {

// The calling thread becomes the display thread (a backend's start calls it on success).
void BecomeDisplayThread();
bool OnDisplayThread();
// The calling thread may run the backend's operations: it is the display thread, or there is none.
bool DisplayRunsHere();

// Each runs the backend's operation at once on the display thread (or with no display thread at
// all), queues it from another thread and wakes the display thread; creating a window happens
// on the display thread only, since other threads' windows are never shown.
void CreateOnDisplayThread(const DisplayBackend& backend, HWND window);
void ShowOnDisplayThread(const DisplayBackend& backend, HWND window, bool visible);
void DestroyOnDisplayThread(const DisplayBackend& backend, HWND window);
// The backend's wait_events, running what other threads queued before and after it.
void WaitOnDisplayThread(const DisplayBackend& backend, int timeout_ms);

}  // namespace platform::display
