#include "app/command_line.h"

#include <cstdio>
#include <cstring>

#include "app/program_version.h"

namespace {

constexpr char HelpText[] =
    "Usage: quelt-panel [--version | --help]\n"
    "\n"
    "The touch-screen front panel of an in-car audio unit: mirrors the controller's LCD and\n"
    "sends it the touches on the panel. It reads no other arguments; its environment sets it up:\n"
    "\n"
    "  QUELT_LINK_DEVICES  the controller's device for DSK1 to DSK5, comma-separated: a block\n"
    "                      device or image file (/dev/quelt-link), nbd://host:port,\n"
    "                      nbd+unix:///?socket=PATH, or sim (the built-in simulator; the default)\n"
    "  QUELT_STORAGE_CARD  the folder standing for \\Storage Card (settings file hbSET.DAT,\n"
    "                      QUELTIMAGE.bmp, App\\hbHome.exe)\n"
    "  QUELT_FULLSCREEN=1  fill the screen\n"
    "  QUELT_DISPLAY=headless  never show a window, even with a display\n"
    "  QUELT_SCREENSHOT    headless: write the screen to this PNG file, at most twice a second\n"
    "\n"
    "A display named by DISPLAY, WAYLAND_DISPLAY or SDL_VIDEODRIVER is waited for; without any,\n"
    "the panel runs headless. Messages go to standard error (with priorities in the journal).\n";

}  // namespace

bool AnswerInformationRequest(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--version") == 0) {
      std::printf("quelt-panel %s\n", ProgramVersion);
      return true;
    }
    if (std::strcmp(argv[i], "--help") == 0) {
      std::fputs(HelpText, stdout);
      return true;
    }
  }
  return false;
}
