// Message boxes on Wayland: the platform's own box picture in a toplevel of its own, at its own
// size, owned by the topmost shown window so that the compositor keeps it above that window. A
// touch or click on OK, Return, Enter, Escape or Space while it has the keyboard, or the
// compositor's close answers it.
#include <linux/input-event-codes.h>

#include <algorithm>
#include <iterator>

#include "platform/display/display_backend.h"
#include "platform/display/wayland/wayland_state.h"
#include "platform/internal/module_interfaces.h"

namespace platform::display::wayland {
namespace {

constexpr std::uint32_t kAnsweringKeys[] = {KEY_ENTER, KEY_KPENTER, KEY_ESC, KEY_SPACE};

}  // namespace

bool OpenMessageBox(int token, LPCWSTR text, LPCWSTR caption) {
  auto box = std::make_unique<Toplevel>();
  if (!DrawMessageBoxPicture(text, &box->box)) return false;
  box->box_token = token;
  box->title = Utf8FromWide(caption);
  box->picture_width = box->box.width;
  box->picture_height = box->box.height;
  ShowToplevel(AddToplevel(std::move(box)), true);
  return true;
}

void AnswerMessageBox(Toplevel* box) {
  const int token = box->box_token;
  const MessageBoxPicture picture = box->box;
  RemoveToplevel(box);
  DeleteMessageBoxPicture(picture);
  // As Win32 activates a box's owner when the box closes: shown anew, the window gets the focus
  // back, which weston's kiosk shell would otherwise leave with nobody.
  Toplevel* owner = TopmostShownWindow();
  if (owner && owner->mapped && !Wayland().lost) {
    RemapToplevel(owner);
    RaiseMessageBoxes();
  }
  MessageBoxAnswered(token);
}

// A box that is not on the screen yet comes above everything shown before it anyway.
void RaiseMessageBoxes() {
  for (const auto& toplevel : Wayland().toplevels) {
    if (!toplevel->window && toplevel->mapped) RemapToplevel(toplevel.get());
  }
}

void KeyOnMessageBox(Toplevel* box, std::uint32_t key) {
  if (std::find(std::begin(kAnsweringKeys), std::end(kAnsweringKeys), key) !=
      std::end(kAnsweringKeys)) {
    AnswerMessageBox(box);
  }
}

}  // namespace platform::display::wayland
