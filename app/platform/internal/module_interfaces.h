// How the platform's modules reach each other: core (windows, queues, timers, threads, clocks),
// display (Wayland, SDL2 and headless backends), gdi (device contexts and bitmaps), desktop (the
// host's top-level windows) and devices (the link devices). Nothing outside app/platform/ includes
// this header.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <thread>

#include "platform/resources.h"
#include "platform/win32.h"

namespace platform {

// ---- Provided by core ---------------------------------------------------------------------------

// Gives the calling thread an alternate signal stack of its own, for as long as it runs: every
// thread the platform starts takes one first, so that a fatal signal's handler runs on any of
// them, even after a stack overflow.
void GiveThreadSignalStack();

// The start line, once the display is chosen ("headless", or "SDL x11" and the like); said only
// in a program that asked for it with LogStart, and only once.
void LogStartLine(const std::string& display);

// The platform's own windows, for the desktop's lookups when no X server is there.
struct WindowInfo {
  HWND handle;
  const WCHAR* class_name;
  const WCHAR* title;
  bool top_level;
  bool visible;
  RECT rect;               // screen position and size
  std::thread::id thread;  // the thread that created it, and owns it
};
bool DescribeWindow(HWND window, WindowInfo* info);
void ForEachWindow(const std::function<void(const WindowInfo&)>& visit);

// The calling thread's timers that have no callback: window (null for a thread timer), id and
// interval; and whether a posted or sent message waits for the calling thread.
void ForEachOwnTimer(const std::function<void(HWND, UINT_PTR, UINT)>& visit);
bool MessageWaitsForCallingThread();

// Current time in milliseconds of the active clock (real or virtual); the base is arbitrary.
std::int64_t NowMs();

// True while the virtual clock drives time (then the display is always headless).
bool VirtualTimeActive();

// Painting: gdi's BeginPaint takes the window's update region (its bounding rectangle in client
// coordinates) and so validates the window; false when the window has none or does not exist.
bool TakeUpdateRegion(HWND window, RECT* update);
// Empties the update region without painting (DefWindowProcW's answer to WM_PAINT).
void ValidateWindow(HWND window);

// Keyboard: the display posts WM_KEYDOWN with the virtual-key code ('A' to 'Z' for letters) in
// wParam and the modifier keys held at that moment in these bits of lParam (bits that Win32
// leaves reserved for WM_KEYDOWN), so that the state travels with the queued message.
constexpr LPARAM kKeyControlDown = LPARAM{1} << 25;
constexpr LPARAM kKeyShiftDown = LPARAM{1} << 26;
constexpr LPARAM kKeyAltDown = LPARAM{1} << 27;

// Stock objects: GetStockObject(n) answers kStockObjectBase + n for n in 0..19 (WHITE_BRUSH ..
// DC_PEN); gdi treats these handles as the stock brushes, pens and fonts and never deletes them.
constexpr std::uintptr_t kStockObjectBase = 0x00500000;
// The stock object number behind a handle, or -1 when it is not a stock object.
int StockObjectIndex(HGDIOBJ object);

// The resource icon behind a LoadIconW handle, or null (system icons have no data).
const ResourceBlob* IconResource(HICON icon);

// Storage card: "\Storage Card\..." (any letter case) maps into the folder named by the
// environment variable QUELT_STORAGE_CARD, backslashes becoming slashes; each existing component
// is matched without regard to letter case, as on the card's FAT file system. False when the path
// is not on the card, the folder is not set, or the path climbs out of it with "..".
bool MapStoragePath(const std::string& device_path, std::string* host_path);
bool MapStoragePathW(LPCWSTR device_path, std::string* host_path);

// UTF-16 (WCHAR) and UTF-8 conversions; unpaired surrogates become U+FFFD. Null reads as "".
std::string Utf8FromWide(LPCWSTR text);
std::u16string WideFromUtf8(const std::string& text);

// Runs at the end of every virtual run (after the run's threads are stopped and its windows are
// gone), so that a module drops per-run state; register once, e.g. from a static initialiser.
void AddRunEndHandler(void (*handler)());

// ---- Provided by desktop ------------------------------------------------------------------------

// False in a process that joined the desktop session while another process holds its claim: such
// a start may only hand over to the running one, so CreateWindowExW refuses its top-level windows.
bool DesktopAdmitsTopLevelWindow();
// True once a stop signal came (SIGTERM and the like): whatever waits before the main window
// exists gives up waiting, so the close that follows can end the program.
bool StopRequested();
// Makes a broken connection to the X server (the server ended or crashed) end the process with 1
// at once, as ExitProcess ends it. Xlib's own answer is exit(1), whose thread-local destructors
// then destroy our windows through the dead connection, where Xlib's wait for an event never
// returns and spins. Called by each module that opens a connection; safe to call again.
void EndProcessWhenXServerLost();

// ---- Provided by devices ------------------------------------------------------------------------

// The link devices for the start line: "DSK1=/dev/quelt-link", the named ones comma-separated.
std::string DescribeLinkDevices();
// Whether the calling thread is inside a link device backend's open or transfer: a wait there
// is the device's time, not one of the program's sleeps.
bool InDeviceBackend();

// ---- Provided by recorder (flight_recorder.h)
// ----------------------------------------------------

// Each hands the flight recorder one event; they cost a test of one flag while it is off.
// A CreateFileW on DSKn (1 to 5): opened or not, and the device's size.
void RecordDeviceOpen(int device, bool opened, std::uint64_t sectors);
void RecordDeviceClose(int device);
// A transfer that reached the device: data is the caller's buffer (a read's bytes once moved).
void RecordTransfer(int device, bool write, std::uint64_t first_sector, std::uint32_t sectors,
                    bool done, std::uint32_t moved, const std::uint8_t* data);
// Input as the display posts it.
void RecordInput(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
void RecordWindowShown(HWND window, bool visible);
void RecordWindowRaised(HWND window);
void RecordDebugLine(const std::string& line);
// The local time the program read; kept when its minute is not the last one kept.
void RecordLocalTime(const SYSTEMTIME& time);
// A storage card file read or replaced (path as the program named it); when ok its content is
// read back from the file name in the folder (for a replacement: the temporary file, synced).
void RecordCardFile(const char* path, bool written, bool ok, int folder, const char* name);
// A WM_TIMER the program dispatches, and the end of a Sleep of the program's thread number n
// (ProgramThreadNumber): what decides the order of the threads' events in real time.
void RecordTimerFired(HWND window, UINT_PTR id);
// A posted message other than WM_TIMER and WM_PAINT that the program dispatches.
void RecordMessageDispatched(HWND window, UINT message);
// The calling thread posted to another one. In a replay, a thread of the program then waits
// while the recording has the other thread handle more messages before this one's next write.
void PostedToAnotherThread();
void RecordSleepEnded(int thread);
// Whether the recorder asks the calling thread for the program's state, and the asking (see
// SetProgramStateRequest); a thread about to wait for messages asks once per wait.
bool ProgramStateWanted();
void AskForProgramState();

// ---- Provided by gdi ----------------------------------------------------------------------------

// The live device contexts, bitmaps and fonts (stock objects and the default bitmap not counted).
void CountGdiObjects(std::size_t* device_contexts, std::size_t* bitmaps, std::size_t* fonts);

// ---- Provided by display ------------------------------------------------------------------------

// Every window has a 32-bit XRGB surface (0x00RRGGBB per pixel) of its own size.
struct Surface32 {
  std::uint32_t* pixels;
  int width;
  int height;
  int stride;  // bytes per row
};

// Core tells the display about windows as they come and go. Called on the window's own thread,
// except for ShowWindow called on another thread's window, and the end of a virtual run, where
// the test's controlling thread reports the run's remaining windows destroyed.
void DisplayWindowCreated(HWND window, const RECT& rect, bool top_level);
void DisplayWindowShown(HWND window, bool visible);
void DisplayWindowDestroyed(HWND window);

// The window's surface, or false for a window the display does not know.
bool DisplayWindowSurface(HWND window, Surface32* surface);
// gdi marks what it drew on a window context, and presents at ReleaseDC and EndPaint.
void DisplayMarkDirty(HWND window, const RECT& rect);
void DisplayPresent(HWND window);

// Whether the calling thread must pump host events while it waits (the thread that owns the
// displayed windows, when a real display runs).
bool DisplayPumpsThisThread();
// Waits on the calling thread for host input or DisplayWake, at most timeout_ms (negative: no
// limit), turning host events into posted messages. Returns early on either.
void DisplayWaitEvents(int timeout_ms);
// Ends a DisplayWaitEvents from any thread (a message was posted to the waiting thread). A wake
// that comes while the thread is not yet waiting makes its next DisplayWaitEvents return at once:
// core checks its queue, then waits, and a message posted in between must not be slept through.
void DisplayWake();

// A message box shown by the display. Begin returns a token; Done tells whether the user answered.
// The headless display records the box and answers it itself (see DisplayMessageBoxDueMs).
int DisplayBeginMessageBox(HWND owner, LPCWSTR text, LPCWSTR caption);
bool DisplayMessageBoxDone(int token);
// When the display answers a box itself (headless: NowMs() at Begin plus the delay the tests set,
// 0 by default), the NowMs() time by which it is answered, so that a waiting loop under virtual
// time wakes then to ask again; -1 while a user decides. A user's answer wakes the waiting loop
// by a WM_NULL posted to the owner window (when there is one) and by DisplayWake.
std::int64_t DisplayMessageBoxDueMs(int token);

}  // namespace platform
