// A Wayland compositor of the tests' own, in the test process, on a thread of its own: it offers
// wl_compositor, wl_shm, xdg_wm_base and one seat with a pointer, a keyboard and a touch screen,
// configures each toplevel with the size a test chose, remembers the shared memory and the
// buffers it was given, can give a toplevel the keyboard focus when it first shows a buffer, and
// sends the pen events a test asks for. What it saw is read through Snapshot.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace platform::test {

struct CompositorView {
  int toplevels_made = 0;  // xdg_toplevel roles ever given
  int configures_acknowledged = 0;
  int mapped_toplevels = 0;  // toplevels that showed a buffer, now
  int buffer_commits = 0;    // commits that carried a buffer
  int buffer_width = 0;      // of the last buffer committed
  int buffer_height = 0;
  std::int64_t largest_pool = 0;  // bytes of the largest shared-memory pool made
};

class FakeCompositor {
 public:
  // Listens on runtime_folder/socket_name until it goes.
  FakeCompositor(const std::string& runtime_folder, const std::string& socket_name);
  ~FakeCompositor();
  FakeCompositor(const FakeCompositor&) = delete;
  FakeCompositor& operator=(const FakeCompositor&) = delete;

  // The size the next configures offer (0 x 0 lets the client choose).
  void Offer(int width, int height);
  // Whether a toplevel gets the keyboard focus as soon as it first shows a buffer.
  void FocusOnMap(bool focus);
  // Pen events on the toplevel that showed a buffer last, at surface coordinates.
  void PointerEnter(double x, double y);
  void PointerLeave();
  void TouchDown(double x, double y);
  void TouchMove(double x, double y);
  void TouchUp();

  CompositorView Snapshot();

  struct State;

 private:
  // Runs the action on the compositor's thread, and waits for it.
  void OnCompositorThread(const std::function<void(State&)>& action);
  std::unique_ptr<State> state_;
};

}  // namespace platform::test
