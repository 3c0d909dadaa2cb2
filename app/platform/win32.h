// The operations of the head unit's core library that the panel calls, by their Win32/CE names
// and with their Win32 meaning, provided on Linux by this platform library.
//
// This is the only header the system includes from the platform. It knows nothing of the system:
// the operations are general-purpose, and everything here would serve any small CE program.
// Record sizes differ from the 32-bit target on a 64-bit host; callers pass sizeof of the record.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

// ---- Basic types --------------------------------------------------------------------------------

using BYTE = std::uint8_t;
using UCHAR = std::uint8_t;
using PUCHAR = std::uint8_t*;
using WORD = std::uint16_t;
using DWORD = std::uint32_t;
using ULONG = std::uint32_t;
using LONG = std::int32_t;
using UINT = unsigned int;
using INT = int;
using BOOL = int;
using WCHAR = char16_t;
using LPWSTR = WCHAR*;
using LPCWSTR = const WCHAR*;
using LPVOID = void*;
using UINT_PTR = std::uintptr_t;
using WPARAM = std::uintptr_t;
using LPARAM = std::intptr_t;
using LRESULT = std::intptr_t;
using ATOM = WORD;
using COLORREF = DWORD;

// Makes a 16-bit character literal: W("DSK1:").
#define W(text) u##text

#ifndef TRUE
#define TRUE 1
#define FALSE 0
#endif

// Handles are opaque tokens, never dereferenced: an unknown or stale handle makes a call fail.
// Window handles are even, so that a handle with its lowest bit set names the same window.
struct HWND__;
struct HDC__;
struct HGDIOBJ__;
struct HINSTANCE__;
struct HACCEL__;
struct HMENU__;
struct HICON__;
struct HKEY__;
using HANDLE = void*;
using HWND = HWND__*;
using HDC = HDC__*;
using HGDIOBJ = HGDIOBJ__*;
using HBITMAP = HGDIOBJ;
using HFONT = HGDIOBJ;
using HBRUSH = HGDIOBJ;
using HINSTANCE = HINSTANCE__*;
using HACCEL = HACCEL__*;
using HMENU = HMENU__*;
using HICON = HICON__*;
using HCURSOR = HICON;
using HKEY = HKEY__*;

#define INVALID_HANDLE_VALUE (reinterpret_cast<HANDLE>(~static_cast<std::uintptr_t>(0)))

// Resource ids are passed where names are expected.
#define MAKEINTRESOURCEW(id) \
  (reinterpret_cast<LPCWSTR>(static_cast<std::uintptr_t>(static_cast<WORD>(id))))
#define IS_INTRESOURCE(p) ((reinterpret_cast<std::uintptr_t>(p) >> 16) == 0)

#define LOWORD(l) (static_cast<WORD>(static_cast<std::uintptr_t>(l) & 0xFFFF))
#define HIWORD(l) (static_cast<WORD>((static_cast<std::uintptr_t>(l) >> 16) & 0xFFFF))
#define MAKELPARAM(lo, hi) \
  (static_cast<LPARAM>((static_cast<DWORD>(hi) << 16) | static_cast<WORD>(lo)))

struct POINT {
  LONG x;
  LONG y;
};

struct RECT {
  LONG left;
  LONG top;
  LONG right;
  LONG bottom;
};

// ---- Windows and messages -----------------------------------------------------------------------

using WNDPROC = LRESULT (*)(HWND, UINT, WPARAM, LPARAM);
using TIMERPROC = void (*)(HWND, UINT, UINT_PTR, DWORD);

struct WNDCLASSW {
  UINT style;
  WNDPROC lpfnWndProc;
  int cbClsExtra;
  int cbWndExtra;
  HINSTANCE hInstance;
  HICON hIcon;
  HCURSOR hCursor;
  HBRUSH hbrBackground;
  LPCWSTR lpszMenuName;
  LPCWSTR lpszClassName;
};

struct MSG {
  HWND hwnd;
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
  DWORD time;
  POINT pt;
};

constexpr UINT WM_NULL = 0x0000;
constexpr UINT WM_CREATE = 0x0001;
constexpr UINT WM_DESTROY = 0x0002;
constexpr UINT WM_PAINT = 0x000F;
constexpr UINT WM_CLOSE = 0x0010;
constexpr UINT WM_QUIT = 0x0012;
constexpr UINT WM_KEYDOWN = 0x0100;
constexpr UINT WM_KEYUP = 0x0101;
constexpr UINT WM_CHAR = 0x0102;
constexpr UINT WM_COMMAND = 0x0111;
constexpr UINT WM_TIMER = 0x0113;
constexpr UINT WM_MOUSEMOVE = 0x0200;
constexpr UINT WM_LBUTTONDOWN = 0x0201;
constexpr UINT WM_LBUTTONUP = 0x0202;
constexpr UINT WM_RBUTTONDOWN = 0x0204;
constexpr UINT WM_RBUTTONUP = 0x0205;
constexpr UINT WM_USER = 0x0400;

// wParam of the mouse messages: which buttons are down.
constexpr WPARAM MK_LBUTTON = 0x0001;
constexpr WPARAM MK_RBUTTON = 0x0002;

constexpr UINT CS_VREDRAW = 0x0001;
constexpr UINT CS_HREDRAW = 0x0002;

constexpr DWORD WS_CHILD = 0x40000000;
constexpr DWORD WS_BORDER = 0x00800000;
constexpr DWORD WS_POPUP = 0x80000000;
constexpr DWORD WS_VISIBLE = 0x10000000;

constexpr int SW_HIDE = 0;
constexpr int SW_SHOW = 5;

// What WM_CREATE carries in lParam.
struct CREATESTRUCTW {
  LPVOID lpCreateParams;
  HINSTANCE hInstance;
  HMENU hMenu;
  HWND hwndParent;
  int cy;
  int cx;
  int y;
  int x;
  LONG style;
  LPCWSTR lpszName;
  LPCWSTR lpszClass;
  DWORD dwExStyle;
};

ATOM RegisterClassW(const WNDCLASSW* window_class);
// Sends WM_CREATE to the new window's procedure during the call; a procedure answering -1 makes
// the creation fail.
HWND CreateWindowExW(DWORD ex_style, LPCWSTR class_name, LPCWSTR title, DWORD style, int x, int y,
                     int width, int height, HWND parent, HMENU menu, HINSTANCE instance,
                     LPVOID param);
// Sends WM_DESTROY during the call; the handle is dead afterwards.
BOOL DestroyWindow(HWND window);
// WM_CLOSE destroys the window, WM_PAINT validates it (as painting it would); every message is
// answered with 0.
LRESULT DefWindowProcW(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
BOOL GetMessageW(MSG* msg, HWND window, UINT filter_min, UINT filter_max);
BOOL TranslateMessage(const MSG* msg);
LRESULT DispatchMessageW(const MSG* msg);
LRESULT SendMessageW(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
// Safe from any thread; the message is handled on the thread that created the window.
BOOL PostMessageW(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
void PostQuitMessage(int exit_code);
BOOL ShowWindow(HWND window, int show_code);
BOOL UpdateWindow(HWND window);
BOOL IsWindow(HWND window);
BOOL IsWindowVisible(HWND window);
// A disabled window gets no pen or key input from the display; timers, posted and sent messages
// still reach it. EnableWindow answers non-zero when the window was disabled before the call.
BOOL EnableWindow(HWND window, BOOL enable);
BOOL IsWindowEnabled(HWND window);
BOOL InvalidateRect(HWND window, const RECT* rect, BOOL erase);
BOOL GetWindowRect(HWND window, RECT* rect);

// ---- Keyboard accelerators ----------------------------------------------------------------------

constexpr BYTE FVIRTKEY = 0x01;
constexpr BYTE FSHIFT = 0x04;
constexpr BYTE FCONTROL = 0x08;
constexpr BYTE FALT = 0x10;

struct ACCEL {
  BYTE fVirt;
  WORD key;  // virtual-key code with FVIRTKEY: 'A' to 'Z' are the letter keys
  WORD cmd;
};

HACCEL LoadAcceleratorsW(HINSTANCE instance, LPCWSTR table_name);
// Turns a WM_KEYDOWN that matches an entry into WM_COMMAND (command id in the low word of wParam,
// 1 in the high word) sent to the window; returns non-zero when it consumed the message.
int TranslateAcceleratorW(HWND window, HACCEL table, MSG* msg);

// ---- Desktop: the host's top-level windows ------------------------------------------------------

// By class and title, or by title alone when class_name is null.
HWND FindWindowW(LPCWSTR class_name, LPCWSTR title);
HWND GetForegroundWindow();
// Accepts a handle with its lowest bit set as the same window.
BOOL SetForegroundWindow(HWND window);

// ---- Timers -------------------------------------------------------------------------------------

UINT_PTR SetTimer(HWND window, UINT_PTR id, UINT elapse_ms, TIMERPROC proc);
BOOL KillTimer(HWND window, UINT_PTR id);

// ---- Resources ----------------------------------------------------------------------------------

constexpr int BLACK_BRUSH = 4;
#define IDC_ARROW MAKEINTRESOURCEW(0x7F00)

constexpr UINT MB_OK = 0x00000000;
constexpr int IDOK = 1;

int LoadStringW(HINSTANCE instance, UINT id, LPWSTR buffer, int buffer_chars);
HICON LoadIconW(HINSTANCE instance, LPCWSTR name);
HCURSOR LoadCursorW(HINSTANCE instance, LPCWSTR name);
HGDIOBJ GetStockObject(int object);
HBITMAP LoadBitmapW(HINSTANCE instance, LPCWSTR name);
// Modal: runs a nested message loop of the calling thread until the box is answered, with the
// owner window disabled meanwhile (enabled again afterwards if it was enabled before).
int MessageBoxW(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type);

// ---- Drawing ------------------------------------------------------------------------------------

struct BITMAP {
  LONG bmType;
  LONG bmWidth;
  LONG bmHeight;
  LONG bmWidthBytes;
  WORD bmPlanes;
  WORD bmBitsPixel;
  LPVOID bmBits;
};

struct BITMAPINFOHEADER {
  DWORD biSize;
  LONG biWidth;
  LONG biHeight;
  WORD biPlanes;
  WORD biBitCount;
  DWORD biCompression;
  DWORD biSizeImage;
  LONG biXPelsPerMeter;
  LONG biYPelsPerMeter;
  DWORD biClrUsed;
  DWORD biClrImportant;
};

struct RGBQUAD {
  BYTE rgbBlue;
  BYTE rgbGreen;
  BYTE rgbRed;
  BYTE rgbReserved;
};

struct BITMAPINFO {
  BITMAPINFOHEADER bmiHeader;
  RGBQUAD bmiColors[1];
};

constexpr DWORD BI_RGB = 0;
constexpr UINT DIB_RGB_COLORS = 0;
constexpr DWORD SRCCOPY = 0x00CC0020;

struct PAINTSTRUCT {
  HDC hdc;
  BOOL fErase;
  RECT rcPaint;
  BOOL fRestore;
  BOOL fIncUpdate;
  BYTE rgbReserved[32];
};

constexpr int LF_FACESIZE = 32;

struct LOGFONTW {
  LONG lfHeight;
  LONG lfWidth;
  LONG lfEscapement;
  LONG lfOrientation;
  LONG lfWeight;
  BYTE lfItalic;
  BYTE lfUnderline;
  BYTE lfStrikeOut;
  BYTE lfCharSet;
  BYTE lfOutPrecision;
  BYTE lfClipPrecision;
  BYTE lfQuality;
  BYTE lfPitchAndFamily;
  WCHAR lfFaceName[LF_FACESIZE];
};

constexpr UINT DT_CENTER = 0x0001;
constexpr int OPAQUE = 2;
constexpr int TRANSPARENT = 1;
// What the colour setters answer for a context that does not exist.
constexpr COLORREF CLR_INVALID = 0xFFFFFFFF;

#define RGB(r, g, b)                                                          \
  (static_cast<COLORREF>(static_cast<BYTE>(r) | (static_cast<BYTE>(g) << 8) | \
                         (static_cast<BYTE>(b) << 16)))

HDC GetDC(HWND window);
int ReleaseDC(HWND window, HDC dc);
HDC BeginPaint(HWND window, PAINTSTRUCT* paint);
BOOL EndPaint(HWND window, const PAINTSTRUCT* paint);
HDC CreateCompatibleDC(HDC dc);
BOOL DeleteDC(HDC dc);
HBITMAP CreateCompatibleBitmap(HDC dc, int width, int height);
HBITMAP CreateDIBSection(HDC dc, const BITMAPINFO* info, UINT usage, void** bits, HANDLE section,
                         DWORD offset);
int GetObjectW(HGDIOBJ object, int buffer_size, LPVOID buffer);
HGDIOBJ SelectObject(HDC dc, HGDIOBJ object);
BOOL DeleteObject(HGDIOBJ object);
BOOL BitBlt(HDC dest, int x, int y, int width, int height, HDC source, int source_x, int source_y,
            DWORD rop);
HFONT CreateFontIndirectW(const LOGFONTW* font);
COLORREF SetBkColor(HDC dc, COLORREF colour);
COLORREF SetTextColor(HDC dc, COLORREF colour);
int SetBkMode(HDC dc, int mode);
int DrawTextW(HDC dc, LPCWSTR text, int count, RECT* rect, UINT format);

// ---- Images from storage ------------------------------------------------------------------------

// Loads a .bmp file named by a head-unit path ("\Storage Card\...") into a device bitmap, or 0.
HBITMAP SHLoadDIBitmap(LPCWSTR path);

// ---- Block devices ------------------------------------------------------------------------------

constexpr DWORD GENERIC_READ = 0x80000000;
constexpr DWORD GENERIC_WRITE = 0x40000000;
constexpr DWORD OPEN_EXISTING = 3;
constexpr DWORD DISK_IOCTL_READ = 2;
constexpr DWORD DISK_IOCTL_WRITE = 3;

using PFN_REQDONE = DWORD (*)(struct SG_REQ*);

struct SG_BUF {
  PUCHAR sb_buf;
  DWORD sb_len;
};

// The scatter/gather disk request with exactly one buffer.
struct SG_REQ {
  DWORD sr_start;
  DWORD sr_num_sec;
  DWORD sr_num_sg;
  DWORD sr_status;
  PFN_REQDONE sr_callback;
  SG_BUF sr_sglist[1];
};

HANDLE CreateFileW(LPCWSTR name, DWORD access, DWORD share_mode, LPVOID security,
                   DWORD creation_disposition, DWORD flags, HANDLE template_file);
BOOL DeviceIoControl(HANDLE device, DWORD control_code, LPVOID in_buffer, DWORD in_size,
                     LPVOID out_buffer, DWORD out_size, DWORD* bytes_returned, LPVOID overlapped);
// Closes device and thread handles alike.
BOOL CloseHandle(HANDLE handle);

// ---- Threads and time ---------------------------------------------------------------------------

using LPTHREAD_START_ROUTINE = DWORD (*)(LPVOID);

struct SYSTEMTIME {
  WORD wYear;
  WORD wMonth;
  WORD wDayOfWeek;
  WORD wDay;
  WORD wHour;
  WORD wMinute;
  WORD wSecond;
  WORD wMilliseconds;
};

HANDLE CreateThread(LPVOID security, std::size_t stack_size, LPTHREAD_START_ROUTINE start,
                    LPVOID param, DWORD flags, DWORD* thread_id);
void Sleep(DWORD ms);
// Ends the process and all of its threads at once, with that exit code.
[[noreturn]] void ExitProcess(UINT exit_code);
void GetLocalTime(SYSTEMTIME* time);
DWORD GetTickCount();

// ---- Programs -----------------------------------------------------------------------------------

struct SHELLEXECUTEINFO {
  DWORD cbSize;
  ULONG fMask;
  HWND hwnd;
  LPCWSTR lpVerb;
  LPCWSTR lpFile;
  LPCWSTR lpParameters;
  LPCWSTR lpDirectory;
  int nShow;
  HINSTANCE hInstApp;
  LPVOID lpIDList;
  LPCWSTR lpClass;
  HKEY hkeyClass;
  DWORD dwHotKey;
  HANDLE hIcon;
  HANDLE hProcess;
};

// Starts the program at a head-unit path; fails when it does not exist or cannot be executed.
BOOL ShellExecuteEx(SHELLEXECUTEINFO* info);

// ---- Text ---------------------------------------------------------------------------------------

// %s, %d, %u, %x, %c with optional zero flag and width; writes at most 1024 characters with the
// terminating 0, as the Win32 function does.
int wsprintfW(LPWSTR buffer, LPCWSTR format, ...);
LPWSTR wcscpy(LPWSTR dest, LPCWSTR source);
std::size_t wcslen(LPCWSTR text);
int wcscmp(LPCWSTR a, LPCWSTR b);

// ---- Diagnostics --------------------------------------------------------------------------------

// One line on standard error for whoever runs the program (platform/diagnostics.h).
void OutputDebugStringW(LPCWSTR text);

// ---- Files --------------------------------------------------------------------------------------

// fopen on a head-unit path: "\Storage Card\..." maps into the storage-card folder. Text mode ("t")
// is accepted. The stream is an ordinary stdio FILE for feof, fscanf, fprintf, fseek and fclose.
// Only a regular file of the card is opened: a symbolic link, FIFO, device or folder in its place
// counts as missing, and a symbolic link on the way below the card folder is not followed.
FILE* StorageFileOpen(const char* path, const char* mode);
// Opens a replacement of the file at a head-unit path, with mode "w", "wt" or "wb": a new, empty
// stream whose content takes the file's place whole at StorageFileCommit, while the file itself
// stays as it is until then (created if missing; a link or FIFO in its place is replaced, never
// followed). Null when no replacement can be made.
FILE* StorageFileOpenReplacement(const char* path, const char* mode);
// Ends a replacement and closes its stream. With complete TRUE the content is flushed and synced
// to the card, put in the file's place and the folder synced; TRUE when the file now holds it for
// certain. With complete FALSE, or when a step before the renaming fails, the content is dropped
// and the file keeps what it held. Any failure answers FALSE (after the renaming, only the
// folder's sync can fail: the file may then show the new content, not yet for certain).
BOOL StorageFileCommit(FILE* replacement, BOOL complete);
