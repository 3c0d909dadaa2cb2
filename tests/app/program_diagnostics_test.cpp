// What the program tells whoever runs it: --version and --help, the start line, one line each
// when the link is found, lost, or a device is not the controller, message boxes, syslog
// priorities when standard error is the journal, and the headless screen as a PNG file. The
// program runs as a user runs it, against image files that the simulator's capture tool made.
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>

#include "tests/app/program_run.h"
#include "tests/platform_gdi/png_reader.h"

extern char** environ;

namespace app_test {
namespace {

namespace fs = std::filesystem;

// Runs the capture tool; true when it wrote the image.
bool MakeUnitImage(const std::string& path, const std::string& option = "variant=2") {
  std::vector<std::string> texts = {QUELT_SIM_TOOL, option, "image=" + path};
  std::vector<char*> argv;
  for (std::string& text : texts) argv.push_back(text.data());
  argv.push_back(nullptr);
  pid_t pid = 0;
  int status = 0;
  return posix_spawn(&pid, QUELT_SIM_TOOL, nullptr, nullptr, argv.data(), environ) == 0 &&
         waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

std::vector<char> FileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

void WriteBytes(const std::string& path, const std::vector<char>& bytes) {
  // In place, as a device keeps its node: the panel holds the file open.
  std::fstream out(path, std::ios::in | std::ios::out | std::ios::binary);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// A headless run with a storage card holding the compact view's picture.
std::vector<std::string> HeadlessSettings(const ProgramRun& run, const std::string& devices) {
  fs::create_directories(run.folder() + "/card");
  fs::copy_file(fs::path(QUELT_SOURCE_DIR) / "resources/storage-card/QUELTIMAGE.bmp",
                run.folder() + "/card/QUELTIMAGE.bmp");
  return {"QUELT_DISPLAY=headless", "QUELT_LINK_DEVICES=" + devices,
          "QUELT_STORAGE_CARD=" + run.folder() + "/card"};
}

// The mirrored LCD's lit pixels: bright red inside the LCD's window on the full panel.
int LitLcdPixels(const platform::test::PngPicture& picture) {
  if (picture.width != 800 || picture.height != 480) return 0;
  int lit = 0;
  for (int y = 60; y < 270; ++y) {
    for (int x = 90; x < 710; ++x) {
      const std::uint8_t* pixel = &picture.rgb[(static_cast<std::size_t>(y) * 800 + x) * 3];
      if (pixel[0] > 150 && pixel[1] < 80) ++lit;
    }
  }
  return lit;
}

TEST(ProgramDiagnostics, VersionAndHelpPrintAndEndWithZero) {
  struct Case {
    std::vector<std::string> arguments;
    std::string expected_output_start;
  };
  const Case cases[] = {
      {{"--version"}, std::string("quelt-panel ") + QUELT_VERSION + "\n"},
      {{"--help"}, "Usage: quelt-panel [--version | --help]\n"},
      {{"--no-such-option", "--version"}, std::string("quelt-panel ") + QUELT_VERSION + "\n"},
  };
  for (const Case& c : cases) {
    ProgramRun run;
    ASSERT_TRUE(run.Start(c.arguments, {"QUELT_DISPLAY=headless", "QUELT_LINK_DEVICES="}));
    EXPECT_EQ(run.ExitCode(), 0) << c.arguments.back();
    EXPECT_EQ(run.Output().rfind(c.expected_output_start, 0), 0u) << run.Output();
    EXPECT_EQ(run.Errors(), "") << "nothing runs: no start line, no display";
  }
  ProgramRun help;
  ASSERT_TRUE(help.Start({"--help"}, {}));
  EXPECT_EQ(help.ExitCode(), 0);
  for (const char* variable : {"QUELT_LINK_DEVICES", "QUELT_STORAGE_CARD", "QUELT_SCREENSHOT"}) {
    EXPECT_NE(help.Output().find(variable), std::string::npos) << variable;
  }
}

// Any other argument is ignored: the panel runs, says what with, and finds the unit.
TEST(ProgramDiagnostics, StartLineNamesVersionLinkDevicesAndDisplay) {
  ProgramRun run;
  const std::string unit = run.folder() + "/unit.img";
  ASSERT_TRUE(MakeUnitImage(unit));
  ASSERT_TRUE(run.Start({"--unknown-argument"}, HeadlessSettings(run, unit + ",,sim")));
  ASSERT_TRUE(run.WaitForError("link found on DSK1: (variant 2)")) << run.Errors();
  EXPECT_EQ(run.Errors().rfind(std::string("quelt-panel: version ") + QUELT_VERSION +
                                   ", link devices DSK1=" + unit + ", DSK3=sim, display headless\n",
                               0),
            0u)
      << run.Errors();
}

TEST(ProgramDiagnostics, JournalLinesCarryTheirPriority) {
  ProgramRun run;
  const std::string unit = run.folder() + "/unit.img";
  ASSERT_TRUE(MakeUnitImage(unit));
  std::vector<std::string> settings = HeadlessSettings(run, run.folder() + "/missing.img," + unit);
  fs::remove(run.folder() + "/card/QUELTIMAGE.bmp");  // an error box
  ASSERT_TRUE(run.Start({}, settings, /*journal_stderr=*/true));
  ASSERT_TRUE(run.WaitForError("link found on DSK2:")) << run.Errors();
  const std::string errors = run.Errors();
  EXPECT_EQ(errors.rfind("<6>quelt-panel: version ", 0), 0u) << errors;
  EXPECT_NE(errors.find("\n<3>quelt-panel: Error: Error in Load Bitmap 1 !\n"), std::string::npos)
      << errors;
  EXPECT_NE(
      errors.find("\n<4>quelt-panel: cannot open link device " + run.folder() + "/missing.img"),
      std::string::npos)
      << errors;
  EXPECT_NE(errors.find("\n<6>quelt-panel: link found on DSK2: (variant 2)\n"), std::string::npos)
      << errors;
}

// The link is probed five times a second, yet a device that is not the controller is reported
// once; a lost link once, and found again once.
TEST(ProgramDiagnostics, LinkFoundLostAndForeignDeviceEachSaidOnce) {
  ProgramRun run;
  const std::string foreign = run.folder() + "/foreign.img";
  const std::string unit = run.folder() + "/unit.img";
  ASSERT_TRUE(MakeUnitImage(foreign, "signature=NOTAUNIT001"));
  ASSERT_TRUE(MakeUnitImage(unit));
  const std::vector<char> unit_bytes = FileBytes(unit);
  ASSERT_TRUE(run.Start({}, HeadlessSettings(run, foreign + "," + unit)));
  ASSERT_TRUE(run.WaitForError("link found on DSK2:")) << run.Errors();

  fs::resize_file(unit, 0);  // every read now falls short: the unit is gone
  ASSERT_TRUE(run.WaitForError("the link on DSK2: is lost")) << run.Errors();
  // Reconnecting probes DSK1 again and again; both images stay open, so it is said once.
  ASSERT_TRUE(run.WaitForError("DSK2: opens but carries no controller signature")) << run.Errors();
  WriteBytes(unit, unit_bytes);
  ASSERT_TRUE(WaitFor([&] { return run.ErrorCount("link found on DSK2:") == 2; })) << run.Errors();

  EXPECT_EQ(run.ErrorCount("DSK1: opens but carries no controller signature in sector 597"), 1)
      << run.Errors();
  EXPECT_EQ(run.ErrorCount("is lost"), 1) << run.Errors();
}

// A reader never finds half a picture, and the picture becomes the panel mirroring the unit.
TEST(ProgramDiagnostics, HeadlessScreenGoesToAPngFile) {
  ProgramRun run;
  const std::string unit = run.folder() + "/unit.img";
  const std::string screen = run.folder() + "/screen.png";
  ASSERT_TRUE(MakeUnitImage(unit));
  std::vector<std::string> settings = HeadlessSettings(run, unit);
  settings.push_back("QUELT_SCREENSHOT=" + screen);
  ASSERT_TRUE(run.Start({}, settings));

  std::set<std::vector<std::uint8_t>> pictures;
  platform::test::PngPicture picture;
  const bool panel_shown = WaitFor([&] {
    std::string error;
    if (!fs::exists(screen)) return false;
    EXPECT_TRUE(platform::test::ReadPngFile(screen, &picture, &error)) << error;
    pictures.insert(picture.rgb);
    return LitLcdPixels(picture) > 1000;
  });
  ASSERT_TRUE(panel_shown) << run.Errors();
  EXPECT_EQ(picture.width, 800);
  EXPECT_EQ(picture.height, 480);
  std::vector<fs::path> files;
  for (const auto& entry : fs::directory_iterator(run.folder())) files.push_back(entry.path());
  EXPECT_EQ(std::count_if(files.begin(), files.end(),
                          [](const fs::path& file) {
                            return file.filename().string().rfind("screen.png.", 0) == 0;
                          }),
            0)
      << "a temporary file is left beside the picture";
}

// At boot the X server may come up after the panel: the panel waits for the display it was
// given, saying so once, and shows itself there when it arrives, rather than running headless.
TEST(ProgramDiagnostics, ADisplayAskedForIsWaitedFor) {
  if (access("/usr/bin/Xvfb", X_OK) != 0) GTEST_SKIP() << "no Xvfb";
  int number = 150;
  while (fs::exists("/tmp/.X11-unix/X" + std::to_string(number)) ||
         fs::exists("/tmp/.X" + std::to_string(number) + "-lock")) {
    ++number;
  }
  const std::string display = ":" + std::to_string(number);
  ProgramRun run;
  ASSERT_TRUE(run.Start({}, {"DISPLAY=" + display, "QUELT_LINK_DEVICES="}));
  ASSERT_TRUE(run.WaitForError("waiting for the display DISPLAY=" + display)) << run.Errors();
  EXPECT_EQ(run.ErrorCount("version "), 0) << "the start line names the display it got";

  std::vector<std::string> texts = {"/usr/bin/Xvfb", display, "-nolisten", "tcp"};
  std::vector<char*> argv;
  for (std::string& text : texts) argv.push_back(text.data());
  argv.push_back(nullptr);
  pid_t server = 0;
  ASSERT_EQ(posix_spawn(&server, argv[0], nullptr, nullptr, argv.data(), environ), 0);
  const bool shown = run.WaitForError(", display SDL x11\n");
  kill(server, SIGTERM);
  waitpid(server, nullptr, 0);
  EXPECT_TRUE(shown) << run.Errors();
  EXPECT_EQ(run.ErrorCount("waiting for the display"), 1) << run.Errors();
  EXPECT_EQ(run.ErrorCount("running headless"), 0) << run.Errors();
}

// The service manager stops a panel that still waits for its display: it ends at once with 0,
// rather than waiting on until it is killed.
TEST(ProgramDiagnostics, AStopEndsTheWaitForTheDisplay) {
  ProgramRun run;
  ASSERT_TRUE(run.Start({}, {"DISPLAY=:149", "QUELT_LINK_DEVICES="}));
  ASSERT_TRUE(run.WaitForError("waiting for the display DISPLAY=:149")) << run.Errors();
  run.Stop();
  EXPECT_EQ(run.ExitCode(), 0) << run.Errors();
}

}  // namespace
}  // namespace app_test
