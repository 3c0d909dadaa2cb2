// The one record of the DRM display: the seat, the card and the screen it lights, the buffers it
// scans out, the input devices, our windows and the open message boxes. Internal to the drm_*.cpp
// files. Every field belongs to the display thread, except the wake pipe's write end.
#pragma once

#include <xf86drmMode.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "platform/display/drm/drm_compose.h"
#include "platform/display/drm/drm_output_choice.h"
#include "platform/display/drm/drm_pen.h"
#include "platform/display/drm/drm_scanout.h"
#include "platform/display/message_box_picture.h"
#include "platform/display/wake_pipe.h"

struct libseat;
struct libinput;
struct udev;

namespace platform::display::drm {

// A dumb buffer: memory of the card's that the screen can scan out, mapped into ours.
struct DumbBuffer {
  std::uint32_t handle = 0;
  std::uint32_t framebuffer = 0;
  std::uint32_t pitch = 0;  // bytes per row
  std::size_t bytes = 0;
  std::uint32_t* pixels = nullptr;
};

struct OpenBox {
  int token = 0;
  MessageBoxPicture picture;
};

// What the pen went down on: it stays there until it lifts.
enum class PenTarget { Nothing, Window, Box };

struct DrmDisplay {
  libseat* seat = nullptr;
  bool seat_enabled = false;

  std::string card_path;
  int card = -1;  // the card's descriptor, opened through the seat
  int card_device = -1;
  std::uint32_t connector = 0;
  std::uint32_t crtc = 0;
  drmModeModeInfo mode{};
  int width = 0;
  int height = 0;
  DumbBuffer buffers[2];
  ScanoutBuffers scanout;
  // Counts mode sets; a page flip's completion from before the latest one is stale.
  std::uint32_t flip_generation = 0;
  // The mode could not be set again when the seat came back: the next commit tries again.
  bool mode_lost = false;

  udev* device_manager = nullptr;
  libinput* input = nullptr;
  std::map<int, int> input_devices;  // descriptor to the seat's device id
  PenTracker pen;
  PenTarget pen_target = PenTarget::Nothing;
  HWND pen_window = nullptr;
  int pen_box = 0;

  // The display thread's top-level windows; the one on top of the stacking order fills the screen.
  std::vector<HWND> windows;
  HWND shown_window = nullptr;
  std::vector<OpenBox> boxes;  // the last one on top

  WakePipe wake;
};

DrmDisplay& Drm();

// drm_seat.cpp: false, with the reason, when no seat can be had or it is not ours to use.
bool OpenSeat(std::string* why_not);
void CloseSeat();
// Reads what the seat says; the screen and the input pause or resume from here.
void DispatchSeat();
int SeatDescriptor();
const char* SeatName();
int OpenSeatDevice(const char* path, int* device_id);
void CloseSeatDevice(int device_id);

// drm_devices.cpp: the card's connectors and their modes, as ChooseOutput takes them.
std::vector<ConnectorCandidate> ReadConnectors(int card);
// The cards to try, in order: QUELT_DRM_DEVICE's, else every card there.
std::vector<std::string> CardPaths();
// Opens the card and finds a connected screen and a CRTC to drive it; false with the reason.
bool OpenCard(const std::string& path, std::string* why_not);
void CloseCard();
// Sets the mode with the front buffer on the screen; false when the card refuses.
bool ShowFrontBuffer();

// drm_buffers.cpp
bool CreateBuffers(std::string* why_not);
void DestroyBuffers();
// Sets the mode with the screen drawn whole, and learns whether the driver takes DIRTYFB.
bool StartScanout(std::string* why_not);
// Draws the screen whole into the front buffer and sets the mode with it: after a pause.
bool ShowWholeScreen();
// Marks the screen rectangle changed and shows it when the screen can take it.
void ScreenChanged(const RECT& rect);
void ScreenChangedWhole();
void CommitScreen();
// Reads the card's events: the completions of page flips.
void DispatchCardEvents();

// drm_input.cpp
bool OpenInput(std::string* why_not);
void CloseInput();
void DispatchInput();
void SuspendInput();
void ResumeInput();
int InputDescriptor();

// drm_display.cpp: the layers of the screen as it is now, bottom first.
std::vector<ScreenLayer> ScreenLayers();
void PenOnScreen(const PenEvent& pen);
// The seat came back: the screen and the input resume, and the picture is drawn whole.
void SeatEnabled();
void SeatDisabled();

// drm_message_box.cpp
bool OpenMessageBox(int token, LPCWSTR text);
void AnswerMessageBox(int token);
// The pen lifted at a screen position on a box: its button answers it.
bool BoxAt(double x, double y, int* token);
void PenUpOnBox(int token, double x, double y);

}  // namespace platform::display::drm
