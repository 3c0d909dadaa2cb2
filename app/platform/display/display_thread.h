// The display thread of a real display (SDL or Wayland): the thread that started it, the only one
// that touches the host's display. Shows, hides and destroys that another thread asks for on one
// of its windows wait here until the display thread runs them.
#pragma once

#include <utility>
#include <vector>

#include "platform/win32.h"

namespace platform::display {

enum class WindowRequest { Show, Hide, Destroy };

// The calling thread becomes the display thread.
void BecomeDisplayThread();
bool OnDisplayThread();

// The caller then wakes the display thread.
void QueueWindowRequest(HWND window, WindowRequest request);
// The requests queued so far, oldest first; the queue is empty afterwards.
std::vector<std::pair<HWND, WindowRequest>> TakeWindowRequests();

}  // namespace platform::display
