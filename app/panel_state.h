// The one state record of the panel, shared by the main thread and the link thread, and the
// numbers every subsystem shares. Every operation of the system reads and writes the record's
// fields directly; there is exactly one instance, `Panel`. The fields are grouped by who may touch
// them: the main thread alone, the link thread alone, both through atomics, or both under a lock.
#pragma once

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <mutex>

#include "app/exchange_layout.h"
#include "platform/win32.h"

// The two private messages of the main window, both posted with zero parameters.
constexpr UINT WM_PANEL_REFRESH = 0x0503;
constexpr UINT WM_CONTROLLER_KEY = 0x0505;

// LinkActivity: what the link thread is doing, as far as the state its fields make is concerned.
constexpr std::uint8_t LinkIdle = 0;
constexpr std::uint8_t LinkInTick = 1;
constexpr std::uint8_t LinkHeldStill = 2;

// Timers of the main window, and the link window's poll timer, with their periods.
constexpr UINT_PTR TIMER_HEARTBEAT = 1;
constexpr UINT_PTR TIMER_AUTOSAVE = 2;
constexpr UINT_PTR TIMER_TOUCH_REPEAT = 3;
constexpr UINT_PTR TIMER_LINK_POLL = 20;
constexpr UINT HeartbeatPeriodMs = 400;
constexpr UINT AutosavePeriodMs = 5100;
constexpr UINT TouchRepeatPeriodMs = 270;
// The first poll after the start-up packets, then streaming the LCD or only the status sector.
constexpr UINT FirstPollMs = 100;
constexpr UINT StreamPollMs = 50;
constexpr UINT StatusPollMs = 200;

// The main window covers the whole screen from the origin.
constexpr int ScreenWidth = 800;
constexpr int ScreenHeight = 480;

// PanelMode: the full front panel, or the compact view with the small LCD.
constexpr std::uint8_t FullPanelMode = 1;
constexpr std::uint8_t CompactViewMode = 0;

constexpr int LcdPageSlots = 16;
constexpr int LcdPageBytes = 512;
constexpr int LcdMatrixRows = 130;
constexpr int LcdMatrixColumns = 340;
// LcdCanvasRendering: none yet (or the surfaces were redrawn otherwise), the full panel's or the
// compact view's.
constexpr std::uint8_t NoLcdRendering = 0;
constexpr std::uint8_t FullPanelLcdRendering = 1;
constexpr std::uint8_t CompactLcdRendering = 2;

// A command slot: bytes 0 to 11 written by the producer, 0 to 14 sent, 15 to 19 unused.
constexpr int CommandSlotBytes = 20;
constexpr int CommandProducedBytes = 12;
constexpr int CommandSentBytes = 15;

struct CommandQueueRecord {
  std::mutex lock;  // held for the whole of a QueueCommand and of TransmitCommand's take
  std::uint8_t count = 0;
  std::uint8_t slots[3][CommandSlotBytes] = {};
};

struct PanelState {
  // ---- Main thread only ----
  // Touch and panel.
  std::uint8_t PanelMode = 0;
  std::uint32_t PenX = 0;
  std::uint32_t PenY = 0;
  std::int32_t ButtonId = 0;
  std::int32_t LastVolumeButton = 0;
  std::int32_t LastFileButton = 0;
  std::int32_t TouchPacketTag = 0;  // byte 2 of touch packets: 0x30 from the first controller key
  std::uint8_t PreviousControllerKey = 0;
  HWND NavigationWindow = nullptr;
  std::uint8_t NavigationInFront = 0;
  std::uint32_t HeartbeatCount = 0;
  // Display preferences and the settings file.
  std::int32_t UsbFlag = 0;
  std::int32_t AuxFlag = 0;
  std::int32_t LcdColourIndex = 0;
  std::int32_t LcdFillStyle = 0;
  std::int32_t SavedUsbFlag = 0;
  std::int32_t SavedAuxFlag = 0;
  std::int32_t SavedLcdColourIndex = 0;
  std::int32_t SavedLcdFillStyle = 0;
  FILE* SettingsStream = nullptr;
  char SettingsText[10] = {};
  // Set once ReadSettings has run. Until then the preferences are not the card's, and the
  // autosave timer, which runs from the window's creation (through a load-error box too), must
  // not write them over the file.
  bool SettingsRead = false;
  // Windows. MainWindow is set before the link thread starts, which then posts to it.
  HINSTANCE InstanceHandle = nullptr;
  HWND MainWindow = nullptr;
  // Pictures, each in a memory context of its own for the whole run.
  HDC CompactBackgroundDc = nullptr;
  HDC PanelPictureDc = nullptr;      // bitmap 188: the front panel
  HDC KeyRowLampsDc = nullptr;       // bitmap 191: VOL, SEEK, SCAN, FOLDER and FILE
  HDC PresetLampsDc = nullptr;       // bitmap 190: the red preset bar
  HDC SideKeyLampsDc = nullptr;      // bitmap 192: FM, AM, CD, AUX, INFO and SETUP
  HDC TopBarLampsDc = nullptr;       // bitmap 194: the top bar, ENTER and POWER
  HDC UsbIndicatorDc = nullptr;      // bitmap 212
  HDC AuxIndicatorDc = nullptr;      // bitmap 211
  HDC MakerLogoDc = nullptr;         // bitmap 210: loaded and kept, never drawn
  HDC UncaptionedPanelDc = nullptr;  // bitmap 213: loaded and kept, never drawn
  HDC LinkIndicatorDc = nullptr;     // bitmap 214
  // Drawing surfaces.
  HBITMAP BackBufferBitmap = nullptr;
  HDC BackBufferDc = nullptr;
  HGDIOBJ BackBufferPreviousBitmap = nullptr;
  HBITMAP LcdBackdropDib = nullptr;
  HDC LcdBackdropDc = nullptr;
  HBITMAP LcdCanvasDib = nullptr;
  HDC LcdCanvasDc = nullptr;
  BITMAP LcdBackdropHeader = {};
  BITMAP LcdCanvasHeader = {};
  // What the backdrop and the canvas hold, so that a refresh of the same view renders again only
  // the matrix rows that changed: the rendering last made whole (LcdCanvasRendering), the
  // preference it was made with, and the matrix as the canvas shows it.
  std::uint8_t LcdCanvasRendering = NoLcdRendering;
  std::int32_t LcdCanvasPreference = 0;  // LcdFillStyle (full panel) or LcdColourIndex (compact)
  std::uint8_t LcdRenderedMatrix[LcdMatrixRows][LcdMatrixColumns] = {};
  // Clock.
  SYSTEMTIME ClockTime = {};
  std::uint16_t PreviousClockMinute = 0;
  WCHAR ClockText[100] = {};
  // The indicator frames the BackBuffer shows (IndicatorsShown) and the clock line it shows
  // (ClockLineShown), so that a refresh draws them only when they would look different.
  bool IndicatorsShown = false;
  std::int32_t ShownAuxFlag = 0;
  std::int32_t ShownUsbFlag = 0;
  std::uint8_t ShownLinkVariant = 0;
  bool ClockLineShown = false;
  WCHAR ClockLineText[100] = {};
  COLORREF ClockLineColour = 0;

  // ---- Link thread only ----
  HANDLE LinkHandle = nullptr;
  std::int32_t LinkConnected = 0;
  std::uint32_t FailedProbeCount = 0;
  HWND LinkWindow = nullptr;
  std::uint8_t ProbeBuffer[SectorBytes] = {};
  std::uint8_t ProbeNameIndex = 0;
  WCHAR ProbeSignature[12] = {};
  alignas(512) std::uint8_t StreamBuffer[StreamBufferBytes] = {};
  alignas(512) std::uint8_t CommandSectorImage[SectorBytes] = {};
  SG_REQ SectorRequest = {};
  DWORD BytesReturned = 0;
  std::uint8_t ControllerStatus = 0;
  std::uint8_t LcdPageImage[LcdPageSlots][LcdPageBytes] = {};
  std::uint8_t LcdPageShadow[LcdPageSlots][LcdPageBytes] = {};
  // What the log has said: the link is up (found and not lost since), and which of DSK1 to DSK5
  // (bit 0 to 4) carry a wrong signature, said once until that device fails to open.
  bool LinkReported = false;
  std::uint8_t WrongSignatureReported = 0;

  // ---- Both threads, through atomics ----
  std::atomic<std::uint8_t> LinkVariant{0};        // link thread writes, the indicator reads
  std::atomic<std::int32_t> StreamMode{0};         // main thread writes, each poll tick reads
  std::atomic<std::uint32_t> PollsSinceChange{0};  // link thread counts, both threads reset
  std::atomic<std::uint8_t> UsbAudioBit{0};        // start-up packets, then the main thread
  std::atomic<std::uint8_t> ControllerKey{0};      // mailbox: link thread sets, main thread takes
  // LinkIdle, LinkInTick through each message the link thread handles (and its start), or
  // LinkHeldStill while the main thread takes the link thread's fields (panel_snapshot.cpp). Not a
  // mutex: a link thread parked for good inside a tick (a test's run ended) must not leave it
  // held for the next run.
  std::atomic<std::uint8_t> LinkActivity{0};

  // ---- Both threads, under a lock ----
  CommandQueueRecord CommandQueue;  // under its own lock

  // Held around the writes of one frame and the reads of one rendering.
  std::mutex LcdMatrixLock;
  std::uint8_t LcdPixelMatrix[LcdMatrixRows][LcdMatrixColumns] = {};
  // The matrix rows written since the canvas last took them over: a refresh compares only these
  // with what the canvas shows, so a quiet LCD costs no pass over the whole matrix. Whoever
  // writes the matrix marks its rows.
  bool LcdRowWritten[LcdMatrixRows] = {};
};

extern PanelState Panel;

// Day names by day of week (0 = Sunday) at 0 to 6, "---" at 7, month m at 7 + m.
extern const LPCWSTR DayAndMonthNames[20];
extern const LPCWSTR LinkDeviceNames[5];

// Link thread: leaves a key code in the ControllerKey mailbox and tells the main window. A code
// left before the main window took the last one replaces it.
void HandOverControllerKey(std::uint8_t code);

// Puts the record back to its state at process start; scenario tests run the program many times
// in one process.
void ResetPanelState();
