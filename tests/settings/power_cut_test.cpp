// Power cuts during the settings write. A child process writes the settings file in a tight loop,
// running through a known sequence of contents, and the parent kills it with SIGKILL after a
// random delay, then checks the card: the file must hold exactly one whole content, the last one
// saved or the one being written, and at most the killed writer's temporary file may lie beside
// it (the next write removes it). The delays come from a seed printed at the start;
// QUELT_POWER_CUT_SEED=<seed> replays them.
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "app/panel_state.h"
#include "settings/settings_file.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr int RandomCuts = 1000;
// The cuts are spread over the time a new writer takes to save this many contents, so that they
// land in its first write (which removes the last cut's leftover) as in later ones, however fast
// the build runs.
constexpr int WritesPerCutWindow = 4;
constexpr std::uint32_t ReadyToWrite = 0xFFFFFFFF;

// The content with index i: consecutive contents differ in all four characters, so a file mixed
// from two of them is neither.
void SetPreferences(std::uint32_t i) {
  Panel.UsbFlag = i % 2;
  Panel.AuxFlag = i % 2;
  Panel.LcdColourIndex = i % 5;
  Panel.LcdFillStyle = i % 2;
}

std::string Content(std::uint32_t i) {
  return std::string(i % 2 ? "UA" : "__") + std::to_string(i % 5) + std::to_string(i % 2);
}

bool Saved() {
  return Panel.SavedUsbFlag == Panel.UsbFlag && Panel.SavedAuxFlag == Panel.AuxFlag &&
         Panel.SavedLcdColourIndex == Panel.LcdColourIndex &&
         Panel.SavedLcdFillStyle == Panel.LcdFillStyle;
}

// The child: writes the contents from index first on, for ever, and reports each index on the
// pipe once its write has been committed.
[[noreturn]] void WriteForEver(std::uint32_t first, int report) {
  std::uint32_t index = ReadyToWrite;
  if (write(report, &index, sizeof index) != sizeof index) _exit(1);
  for (index = first;;) {
    SetPreferences(index);
    WriteSettings();
    if (!Saved()) continue;
    if (write(report, &index, sizeof index) != sizeof index) _exit(1);
    ++index;
  }
}

std::uint64_t Seed() {
  const char* given = std::getenv("QUELT_POWER_CUT_SEED");
  return given != nullptr ? std::strtoull(given, nullptr, 10) : std::random_device{}();
}

std::string ReadWhole(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), {});
}

class PowerCut : public ::testing::Test {
 protected:
  // In memory when the host has /dev/shm: what a cut tests is that the folder's names change in
  // one step, which holds there as on a disk, and a write takes microseconds instead of a disk's
  // milliseconds of syncing, so the cuts land in every step of many writes.
  void SetUp() override {
    card_ = fs::is_directory("/dev/shm") ? "/dev/shm" : "/tmp";
    card_ += "/quelt-card-XXXXXX";
    ASSERT_NE(mkdtemp(card_.data()), nullptr);
    setenv("QUELT_STORAGE_CARD", card_.c_str(), 1);
    ResetPanelState();
    SetPreferences(held_);
    WriteSettings();
    ASSERT_EQ(ReadWhole(card_ + "/hbSET.DAT"), Content(held_));
  }
  void TearDown() override {
    if (writer_ > 0) {
      kill(writer_, SIGKILL);
      waitpid(writer_, nullptr, 0);
    }
    unsetenv("QUELT_STORAGE_CARD");
    fs::remove_all(card_);
  }

  // Starts a writer of the contents after the one the file holds; returns once it is about to
  // write.
  void StartWriter() {
    int channel[2];
    ASSERT_EQ(pipe(channel), 0);
    writer_ = fork();
    ASSERT_NE(writer_, -1);
    if (writer_ == 0) {
      close(channel[0]);
      WriteForEver(held_ + 1, channel[1]);
    }
    close(channel[1]);
    reports_ = channel[0];
    last_saved_ = held_;
    ASSERT_TRUE(AwaitReport());
    ASSERT_EQ(last_saved_, held_) << "the writer saved before it was ready";
  }
  // Waits for the writer's next report: ready, or a content saved. False once the writer is gone.
  bool AwaitReport() {
    std::uint32_t index = 0;
    if (read(reports_, &index, sizeof index) != sizeof index) return false;
    if (index != ReadyToWrite) last_saved_ = index;
    return true;
  }

  // Kills the writer and checks what it left on the card.
  void CutAndCheck() {
    kill(writer_, SIGKILL);
    ++cuts_;
    int status = 0;
    ASSERT_EQ(waitpid(writer_, &status, 0), writer_);
    writer_ = -1;
    ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << "status " << status;
    while (AwaitReport()) {
    }
    close(reports_);
    writes_ += last_saved_ - held_;

    const std::string content = ReadWhole(card_ + "/hbSET.DAT");
    if (content == Content(last_saved_)) {
      held_ = last_saved_;
      ++held_last_saved_;
    } else if (content == Content(last_saved_ + 1)) {
      held_ = last_saved_ + 1;
      ++held_in_flight_;
    } else {
      FAIL() << "the file holds \"" << content << "\"; the last content saved was \""
             << Content(last_saved_) << "\", the one being written \"" << Content(last_saved_ + 1)
             << "\"";
    }
    std::vector<std::string> others;
    for (const auto& entry : fs::directory_iterator(card_)) {
      const std::string name = entry.path().filename().string();
      if (name != "hbSET.DAT") others.push_back(name);
    }
    ASSERT_LE(others.size(), 1u) << others[0] << ", " << others[1];
    if (!others.empty()) {
      EXPECT_EQ(others[0].rfind("hbSET.DAT.tmp-", 0), 0u) << others[0];
      ++left_temporary_;
    }
  }

  std::string card_;
  pid_t writer_ = -1;
  int reports_ = -1;
  std::uint32_t held_ = 0;        // the index of the content the file holds
  std::uint32_t last_saved_ = 0;  // of the writer running or just cut
  std::uint64_t writes_ = 0;
  int cuts_ = 0, held_last_saved_ = 0, held_in_flight_ = 0, left_temporary_ = 0;
};

TEST_F(PowerCut, SettingsFileHoldsOneWholeContentAfterEveryCut) {
  const std::uint64_t seed = Seed();
  std::cout << "power-cut seed " << seed << " (QUELT_POWER_CUT_SEED=" << seed
            << " replays these cuts)\n";
  std::mt19937_64 random(seed);

  // The median of a few writers: a busy host makes single ones far slower, now and then.
  std::vector<long long> windows;
  for (int calibration = 0; calibration < 5; ++calibration) {
    ASSERT_NO_FATAL_FAILURE(StartWriter());
    const Clock::time_point start = Clock::now();
    for (int write = 0; write < WritesPerCutWindow; ++write) ASSERT_TRUE(AwaitReport());
    windows.push_back(
        std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - start).count());
    ASSERT_NO_FATAL_FAILURE(CutAndCheck());
  }
  std::sort(windows.begin(), windows.end());
  const long long window = windows[windows.size() / 2];
  std::cout << "random cuts spread over the first " << window << " us of a ready writer\n";

  // The seed gives each cut its place in the window; a replay on an equally fast host lands the
  // cuts at the same moments of the writes.
  std::uniform_real_distribution<double> place_in_window(0.0, 1.0);
  for (int cut = 0; cut < RandomCuts; ++cut) {
    SCOPED_TRACE("cut " + std::to_string(cut) + " of seed " + std::to_string(seed));
    ASSERT_NO_FATAL_FAILURE(StartWriter());
    std::this_thread::sleep_for(std::chrono::microseconds(
        static_cast<long long>(place_in_window(random) * static_cast<double>(window))));
    ASSERT_NO_FATAL_FAILURE(CutAndCheck());
  }
  std::cout << cuts_ << " cuts survived in " << card_ << " after " << writes_
            << " committed writes: the file held the last content saved " << held_last_saved_
            << " times and the one being written " << held_in_flight_ << " times; "
            << left_temporary_ << " cuts left a temporary file for the next write to remove\n";
}

}  // namespace
