// Rectangle arithmetic the platform's modules share: RECTs are half-open, [left, right) x
// [top, bottom), as on Win32.
#pragma once

#include <algorithm>

#include "platform/win32.h"

namespace platform {

inline bool RectIsEmpty(const RECT& rect) {
  return rect.right <= rect.left || rect.bottom <= rect.top;
}

// The part two rectangles share; empty (by RectIsEmpty) when they share none.
inline RECT RectIntersection(const RECT& a, const RECT& b) {
  return RECT{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
              std::min(a.bottom, b.bottom)};
}

// The smallest rectangle that holds both.
inline RECT RectAround(const RECT& a, const RECT& b) {
  return RECT{std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
              std::max(a.bottom, b.bottom)};
}

}  // namespace platform
