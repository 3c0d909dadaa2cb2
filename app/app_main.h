// The panel's entry and start-up: start reading at AppMain, which runs StartUp and then the main
// thread's message loop until the quit message.
#pragma once

#include "platform/win32.h"

int AppMain(HINSTANCE instance, HINSTANCE previous_instance, LPWSTR command_line, int show_code);
BOOL StartUp(HINSTANCE instance, int show_code);
ATOM RegisterMainClass(HINSTANCE instance, LPCWSTR class_name);
BOOL LaunchProgram(HWND owner, LPCWSTR file, LPCWSTR parameters, int show_code);
HBITMAP CreateCanvasDib(HDC dc, int width, int height);
BOOL LoadPictures(HWND window);

// The home program that the panel starts beside itself, and the background of the compact view.
extern const LPCWSTR HomeProgramPath;
extern const LPCWSTR CompactBackgroundPath;
