// The one state record of the panel, shared by the main thread and the link thread. Every
// operation of the system reads and writes its fields directly; there is exactly one instance,
// `Panel`. Fields that both threads touch are atomics, or are guarded by the lock named beside
// them; everything else belongs to one thread, as the comments say.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>

#include "platform/win32.h"

constexpr UINT WM_PANEL_REFRESH = 0x0503;
constexpr UINT WM_CONTROLLER_KEY = 0x0505;

constexpr UINT_PTR TIMER_HEARTBEAT = 1;
constexpr UINT_PTR TIMER_AUTOSAVE = 2;
constexpr UINT_PTR TIMER_TOUCH_REPEAT = 3;
constexpr UINT_PTR TIMER_LINK_POLL = 20;

constexpr int LcdPageSlots = 16;
constexpr int LcdPageBytes = 512;
constexpr int LcdMatrixRows = 130;
constexpr int LcdMatrixColumns = 340;
constexpr int StreamSectors = 10;
constexpr int SectorBytes = 512;
constexpr int StreamBufferBytes = StreamSectors * SectorBytes;

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
  // ---- Link (link thread, except StreamMode and PollsSinceChange) ----
  HANDLE LinkHandle = nullptr;
  std::int32_t LinkConnected = 0;
  std::atomic<std::uint8_t> LinkVariant{0};  // read by the main thread for the indicator
  std::uint32_t FailedProbeCount = 0;
  std::atomic<std::int32_t> StreamMode{0};         // written by the main thread
  std::atomic<std::uint32_t> PollsSinceChange{0};  // counted here, reset by both threads
  HWND LinkWindow = nullptr;
  std::uint8_t ProbeBuffer[SectorBytes] = {};
  std::uint8_t ProbeNameIndex = 0;
  WCHAR ProbeSignature[12] = {};
  alignas(512) std::uint8_t StreamBuffer[StreamBufferBytes] = {};
  alignas(512) std::uint8_t CommandSectorImage[SectorBytes] = {};
  SG_REQ SectorRequest = {};
  DWORD BytesReturned = 0;
  std::uint8_t ControllerStatus = 0;

  // ---- Command queue (both threads, under its lock) ----
  CommandQueueRecord CommandQueue;
  std::atomic<std::int32_t> TouchPacketTag{0};
  std::atomic<std::uint8_t> UsbAudioBit{0};

  // ---- LCD image (link thread writes; the main thread reads the matrix under LcdMatrixLock) ----
  std::uint8_t LcdPageImage[LcdPageSlots][LcdPageBytes] = {};
  std::uint8_t LcdPageShadow[LcdPageSlots][LcdPageBytes] = {};
  std::mutex LcdMatrixLock;  // held around the writes of one frame and the reads of one rendering
  std::uint8_t LcdPixelMatrix[LcdMatrixRows][LcdMatrixColumns] = {};
  BITMAP LcdBackdropHeader = {};
  BITMAP LcdCanvasHeader = {};

  // ---- Touch and panel (main thread, except ControllerKey) ----
  std::uint8_t PanelMode = 0;
  std::uint32_t PenX = 0;
  std::uint32_t PenY = 0;
  std::int32_t ButtonId = 0;
  std::int32_t LastVolumeButton = 0;
  std::int32_t LastFileButton = 0;
  std::atomic<std::uint8_t> ControllerKey{0};  // mailbox: set by the link thread, cleared here
  std::uint8_t PreviousControllerKey = 0;
  HWND NavigationWindow = nullptr;
  std::uint8_t NavigationInFront = 0;
  std::uint32_t HeartbeatCount = 0;

  // ---- Display preferences and the settings file (main thread) ----
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

  // ---- Windows and drawing objects (main thread) ----
  HINSTANCE InstanceHandle = nullptr;
  HWND MainWindow = nullptr;
  HDC CompactBackgroundDc = nullptr;
  HDC PanelPictureDc = nullptr;  // bitmap 188
  HDC Sprite191Dc = nullptr;
  HDC Sprite190Dc = nullptr;
  HDC Sprite192Dc = nullptr;
  HDC Sprite194Dc = nullptr;
  HDC UsbIndicatorDc = nullptr;  // bitmap 212
  HDC AuxIndicatorDc = nullptr;  // bitmap 211
  HDC Picture210Dc = nullptr;
  HDC Picture213Dc = nullptr;
  HDC LinkIndicatorDc = nullptr;  // bitmap 214
  HBITMAP BackBufferBitmap = nullptr;
  HDC BackBufferDc = nullptr;
  HGDIOBJ BackBufferPreviousBitmap = nullptr;
  HBITMAP LcdBackdropDib = nullptr;
  HDC LcdBackdropDc = nullptr;
  HBITMAP LcdCanvasDib = nullptr;
  HDC LcdCanvasDc = nullptr;

  // ---- Clock (main thread) ----
  SYSTEMTIME ClockTime = {};
  std::uint16_t PreviousClockMinute = 0;
  WCHAR ClockText[100] = {};
};

extern PanelState Panel;

// Day names by day of week (0 = Sunday) at 0 to 6, "---" at 7, month m at 7 + m.
extern const LPCWSTR DayAndMonthNames[20];
extern const LPCWSTR LinkDeviceNames[5];

// Puts the record back to its state at process start; scenario tests run the program many times
// in one process.
void ResetPanelState();
