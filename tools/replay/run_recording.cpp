// `quelt-replay FILE run`: the panel (AppMain, unchanged) replays the recording in virtual time on
// the headless display (platform/replay.h). The screen is sampled every 50 ms of virtual time;
// each one that changed goes out as a PNG and as a frame of the animated WebP. Start reading at
// RunRecording.
#include <webp/encode.h>
#include <webp/mux.h>

#include <cinttypes>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "app/app_main.h"
#include "platform/png_file.h"
#include "platform/replay.h"
#include "platform/resources.h"
#include "platform/testing_display.h"
#include "resources/panel_resources.h"
#include "tools/replay/replay_commands.h"

namespace {

using platform::testing::kScreenHeight;
using platform::testing::kScreenWidth;

constexpr std::int64_t ScreenSampleMs = 50;
constexpr float VideoQuality = 80;

// The animated picture, frame by frame as the screen changes.
struct Video {
  WebPAnimEncoder* encoder = nullptr;
  WebPConfig config;
  std::int64_t last_ms = 0;
};

bool StartVideo(Video* video) {
  WebPAnimEncoderOptions options;
  if (!WebPAnimEncoderOptionsInit(&options) || !WebPConfigInit(&video->config)) return false;
  video->config.quality = VideoQuality;
  video->config.method = 2;
  video->encoder = WebPAnimEncoderNew(kScreenWidth, kScreenHeight, &options);
  return video->encoder != nullptr;
}

void AddVideoFrame(Video* video, const std::vector<std::uint8_t>& rgb, std::int64_t ms) {
  WebPPicture picture;
  if (!WebPPictureInit(&picture)) return;
  picture.width = kScreenWidth;
  picture.height = kScreenHeight;
  picture.use_argb = 1;
  if (WebPPictureImportRGB(&picture, rgb.data(), kScreenWidth * 3)) {
    WebPAnimEncoderAdd(video->encoder, &picture, static_cast<int>(ms), &video->config);
  }
  WebPPictureFree(&picture);
  video->last_ms = ms;
}

bool FinishVideo(Video* video, const std::string& path) {
  WebPData data;
  WebPDataInit(&data);
  bool written = WebPAnimEncoderAdd(video->encoder, nullptr,
                                    static_cast<int>(video->last_ms + ScreenSampleMs), nullptr) &&
                 WebPAnimEncoderAssemble(video->encoder, &data);
  if (written) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(data.bytes), static_cast<std::streamsize>(data.size));
    written = static_cast<bool>(out);
  }
  WebPDataClear(&data);
  WebPAnimEncoderDelete(video->encoder);
  return written;
}

std::string Hex(const std::vector<std::uint8_t>& bytes) {
  // A packet sector is mostly zeros after the packet: the bytes up to the last non-zero one.
  std::size_t length = bytes.size();
  while (length > 0 && bytes[length - 1] == 0) --length;
  std::string text;
  char byte[4];
  for (std::size_t i = 0; i < length; ++i) {
    std::snprintf(byte, sizeof byte, i ? " %02X" : "%02X", bytes[i]);
    text += byte;
  }
  return text.empty() ? "(zeros)" : text;
}

std::string TemporaryCard() {
  char folder[] = "/tmp/quelt-replay-card-XXXXXX";
  return mkdtemp(folder) ? folder : "";
}

}  // namespace

int RunRecording(const platform::Recording& recording, const RunOptions& options) {
  if (!recording.replayable) {
    std::fprintf(
        stderr,
        "quelt-replay: the recording is of format %u, which does not keep the order of the "
        "panel's timers and sleeps; it cannot be replayed (print shows it)\n",
        recording.format_version);
    return 2;
  }
  if (recording.records_given_up > 0 && platform::FirstRecordedState(recording) == nullptr) {
    std::fprintf(stderr, "quelt-replay: %s (print shows it)\n",
                 platform::MidSessionNote(recording).c_str());
    return 2;
  }
  const std::string card = TemporaryCard();
  if (card.empty()) {
    std::fprintf(stderr, "quelt-replay: cannot make a storage card folder in /tmp\n");
    return 2;
  }
  std::error_code error;
  if (!options.card_folder.empty()) {
    std::filesystem::copy(options.card_folder, card, std::filesystem::copy_options::recursive,
                          error);
    if (error) {
      std::fprintf(stderr, "quelt-replay: cannot copy %s: %s\n", options.card_folder.c_str(),
                   error.message().c_str());
      std::filesystem::remove_all(card);
      return 2;
    }
  }
  if (!options.screens_folder.empty()) {
    std::filesystem::create_directories(options.screens_folder);
  }
  Video video;
  if (!options.video_path.empty() && !StartVideo(&video)) {
    std::fprintf(stderr, "quelt-replay: cannot start the WebP encoder\n");
    return 2;
  }
  SetResourceTable(&PanelResources());

  std::vector<std::uint8_t> last_screen;
  std::size_t screens = 0;
  platform::ReplayOptions replay;
  replay.card_folder = card;
  replay.sample_ms = ScreenSampleMs;
  replay.resume_main = ResumeAppMain;
  replay.on_sample = [&](std::int64_t ms) {
    if (options.screens_folder.empty() && options.video_path.empty()) return;
    std::vector<std::uint8_t> screen = platform::testing::CaptureScreen();
    if (screen == last_screen) return;
    ++screens;
    if (!options.screens_folder.empty()) {
      char name[32];
      std::snprintf(name, sizeof name, "/screen-%07" PRId64 ".png", ms);
      platform::WritePngFile(options.screens_folder + name, kScreenWidth, kScreenHeight, screen);
    }
    if (video.encoder) AddVideoFrame(&video, screen, ms);
    last_screen = std::move(screen);
  };
  const platform::ReplayResult result = platform::ReplayRecording(
      recording, [] { return AppMain(nullptr, nullptr, nullptr, SW_SHOW); }, replay);
  std::filesystem::remove_all(card);

  if (video.encoder && !FinishVideo(&video, options.video_path)) {
    std::fprintf(stderr, "quelt-replay: cannot write %s\n", options.video_path.c_str());
  }
  if (result.from_ms > 0) {
    std::printf("started from the panel's state at %.3f s\n",
                static_cast<double>(result.from_ms) / 1000);
  }
  std::printf(
      "replayed %.3f s: %zu reads answered, %zu packets compared, %zu inputs, %zu "
      "screens\n",
      static_cast<double>(result.replayed_ms) / 1000, result.reads_answered, result.writes_compared,
      result.inputs_injected, screens);
  if (!result.differs) {
    std::printf("no difference\n");
    return 0;
  }
  std::printf("difference at %.3f s: %s\n", static_cast<double>(result.difference_ms) / 1000,
              result.difference.c_str());
  if (!result.recorded_bytes.empty() || !result.program_bytes.empty()) {
    std::printf("  recorded: %s\n  program:  %s\n", Hex(result.recorded_bytes).c_str(),
                Hex(result.program_bytes).c_str());
  }
  return 1;
}
