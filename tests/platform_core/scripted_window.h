// Window classes for the core's tests whose procedure runs a handler the test supplies, so that a
// test states what its windows do right where it checks the outcome.
#pragma once

#include <functional>

#include "platform/win32.h"

namespace platform::test {

using Handler = std::function<LRESULT(HWND, UINT, WPARAM, LPARAM)>;

// Registers a class (one of a few slots; at most kSlots classes per test) whose procedure calls
// handler, or DefWindowProcW for what it answers with kDefault. Returns the class atom.
constexpr int kSlots = 4;
constexpr LRESULT kDefault = 0x7EADBEEF;
ATOM RegisterScriptedClass(LPCWSTR class_name, Handler handler);

// A window of that class, 800 x 480 at the origin.
HWND CreateScriptedWindow(LPCWSTR class_name, DWORD style = 0);

// Forgets the handlers (a new run or test registers its own).
void ResetScriptedClasses();

}  // namespace platform::test
