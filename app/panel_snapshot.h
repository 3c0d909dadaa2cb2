// The panel's state for the flight recorder: taken now and then while the program runs, so that a
// recording whose oldest minutes were given up can be replayed from it. Start reading at
// AskForPanelState.
#pragma once

#include <cstddef>
#include <cstdint>

// Asked for by the recorder on the main thread, idle with nothing queued: records the state when
// the link thread is between ticks and the link is up, else waits for the next time.
void AskForPanelState();

// The state as bytes, the same on every architecture; 0 when room is too small.
std::size_t WritePanelState(std::uint8_t* out, std::size_t room);
// Puts bytes from WritePanelState back into the record (the pixel matrix rebuilt from the pages
// applied); false, and the record unchanged, for bytes of another layout.
bool ReadPanelState(const std::uint8_t* bytes, std::size_t size);
// Whether the main window was shown, and in front, when the state was written.
struct PanelWindowState {
  bool shown;
  bool in_front;
};
PanelWindowState ReadPanelWindowState(const std::uint8_t* bytes, std::size_t size);
