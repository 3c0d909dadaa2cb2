// Reading and writing the four-character settings file on a storage card of the test's own.
#include "settings/settings_file.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "app/panel_state.h"

namespace {

namespace fs = std::filesystem;

class SettingsFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/quelt-card-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    card_ = pattern;
    setenv("QUELT_STORAGE_CARD", card_.c_str(), 1);
    ResetPanelState();
  }
  void TearDown() override {
    unsetenv("QUELT_STORAGE_CARD");
    fs::remove_all(card_);
  }

  std::string FilePath() const { return card_ + "/hbSET.DAT"; }
  void PlaceFile(const std::string& content) const {
    std::ofstream(FilePath(), std::ios::binary) << content;
  }
  std::string FileContent() const {
    std::ifstream file(FilePath(), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), {});
  }

  // The names in the card folder, sorted: the settings file and any temporary file beside it.
  std::vector<std::string> CardEntries() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(card_)) {
      names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }
  // The saved copies as the file would hold them, the file, and what the card folder holds.
  std::string Describe() const {
    std::string saved =
        std::string(Panel.SavedUsbFlag ? "U" : "_") + (Panel.SavedAuxFlag ? "A" : "_") +
        std::to_string(Panel.SavedLcdColourIndex) + std::to_string(Panel.SavedLcdFillStyle);
    std::string entries;
    for (const std::string& name : CardEntries()) entries += (entries.empty() ? "" : " ") + name;
    return "saved " + saved + ", file " + FileContent() + ", entries " + entries;
  }
  // Runs body in a forked child and returns what it returned.
  static std::string RunInChild(const std::function<std::string()>& body) {
    int channel[2];
    if (pipe(channel) != 0) return "no pipe";
    const pid_t child = fork();
    if (child == 0) {
      close(channel[0]);
      const std::string report = body();
      const bool sent =
          write(channel[1], report.data(), report.size()) == static_cast<ssize_t>(report.size());
      _exit(sent ? 0 : 1);
    }
    close(channel[1]);
    std::string report;
    char buffer[256];
    for (ssize_t got; (got = read(channel[0], buffer, sizeof buffer)) > 0;) {
      report.append(buffer, static_cast<std::size_t>(got));
    }
    close(channel[0]);
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? report : "child failed: " + report;
  }

  std::string card_;
};

struct Preferences {
  std::int32_t usb, aux, colour, fill;
  bool operator==(const Preferences& other) const {
    return usb == other.usb && aux == other.aux && colour == other.colour && fill == other.fill;
  }
};

void PrintTo(const Preferences& p, std::ostream* out) {
  *out << "usb " << p.usb << " aux " << p.aux << " colour " << p.colour << " fill " << p.fill;
}

Preferences Current() {
  return {Panel.UsbFlag, Panel.AuxFlag, Panel.LcdColourIndex, Panel.LcdFillStyle};
}

Preferences Saved() {
  return {Panel.SavedUsbFlag, Panel.SavedAuxFlag, Panel.SavedLcdColourIndex,
          Panel.SavedLcdFillStyle};
}

TEST_F(SettingsFileTest, ReadTakesEachPositionExactly) {
  struct Case {
    std::optional<std::string> file;  // none: no file on the card
    Preferences read;
  };
  const Case cases[] = {
      {std::nullopt, {0, 0, 0, 0}},
      {"", {0, 0, 0, 0}},
      {"UA31", {1, 1, 3, 1}},
      {"__00", {0, 0, 0, 0}},
      {"U_40", {1, 0, 4, 0}},
      // Case matters.
      {"ua31", {0, 0, 3, 1}},
      {"uA21", {0, 1, 2, 1}},
      // A short file: the missing positions count as 0.
      {"U", {1, 0, 0, 0}},
      {"UA3", {1, 1, 3, 0}},
      // Characters that are not listed give 0.
      {"UA51", {1, 1, 0, 1}},
      {"UA/2", {1, 1, 0, 0}},
      {"UA39", {1, 1, 3, 0}},
      {"UA3 ", {1, 1, 3, 0}},
      {std::string("\0A11", 4), {0, 1, 1, 1}},
      {"AU31", {0, 0, 3, 1}},
      // Anything after the fourth character has no effect.
      {"UA31\n", {1, 1, 3, 1}},
      {"_A0111111111", {0, 1, 0, 1}},
  };
  for (const Case& row : cases) {
    SCOPED_TRACE(row.file ? "\"" + *row.file + "\"" : "no file");
    ResetPanelState();
    fs::remove(FilePath());
    if (row.file) PlaceFile(*row.file);
    ReadSettings();
    EXPECT_EQ(Current(), row.read);
    EXPECT_EQ(Saved(), row.read);
    EXPECT_EQ(Panel.SettingsStream, nullptr);
  }
}

TEST_F(SettingsFileTest, ReadKeepsAtMostSevenCharacters) {
  PlaceFile("UA31xyzABCDEF");
  ReadSettings();
  EXPECT_EQ(std::string(Panel.SettingsText, sizeof Panel.SettingsText),
            std::string("UA31xyz\0\0\0", 10));
}

TEST_F(SettingsFileTest, WriteStoresExactlyFourCharacters) {
  struct Case {
    Preferences preferences;
    const char* file;
  };
  const Case cases[] = {
      {{0, 0, 0, 0}, "__00"},
      {{1, 1, 3, 1}, "UA31"},
      {{1, 0, 4, 0}, "U_40"},
      {{0, 1, 1, 1}, "_A11"},
  };
  PlaceFile("previous content, longer than four");
  for (const Case& row : cases) {
    SCOPED_TRACE(row.file);
    Panel.UsbFlag = row.preferences.usb;
    Panel.AuxFlag = row.preferences.aux;
    Panel.LcdColourIndex = row.preferences.colour;
    Panel.LcdFillStyle = row.preferences.fill;
    WriteSettings();
    EXPECT_EQ(FileContent(), row.file);
    EXPECT_EQ(Saved(), row.preferences);
    EXPECT_EQ(Panel.SettingsStream, nullptr);
    EXPECT_EQ(CardEntries(), std::vector<std::string>{"hbSET.DAT"});
    // What was written reads back the same.
    ResetPanelState();
    ReadSettings();
    EXPECT_EQ(Current(), row.preferences);
  }
}

// Only a regular file of the card is the settings file. Anything else in its place reads as no
// file (without blocking on a FIFO) and is replaced by the next write, never written through;
// a folder cannot be replaced, so that write fails and is retried.
TEST_F(SettingsFileTest, OddEntryInTheFilesPlaceCountsAsMissing) {
  const std::string outside = card_ + "-outside";
  struct Case {
    const char* situation;
    std::function<bool(const std::string& path)> make;  // false: cannot be made here
    bool replaced;
  };
  const Case cases[] = {
      {"a symbolic link to a settings file elsewhere",
       [&](const std::string& path) {
         std::ofstream(outside) << "UA31";
         fs::create_symlink(outside, path);
         return true;
       },
       true},
      {"a dangling symbolic link",
       [&](const std::string& path) {
         fs::create_symlink(outside, path);
         return true;
       },
       true},
      {"a FIFO", [](const std::string& path) { return mkfifo(path.c_str(), 0600) == 0; }, true},
      {"a device",
       [](const std::string& path) {
         return mknod(path.c_str(), S_IFCHR | 0600, makedev(1, 3)) == 0;  // as /dev/null
       },
       true},
      {"a folder", [](const std::string& path) { return fs::create_directory(path); }, false},
  };
  for (const Case& row : cases) {
    SCOPED_TRACE(row.situation);
    ResetPanelState();
    fs::remove_all(FilePath());
    fs::remove(outside);
    if (!row.make(FilePath())) {
      std::cout << "skipped: cannot make " << row.situation << " here\n";
      continue;
    }
    ReadSettings();
    EXPECT_EQ(Current(), (Preferences{0, 0, 0, 0}));
    EXPECT_EQ(Panel.SettingsStream, nullptr);

    Panel.LcdFillStyle = 1;
    WriteSettings();
    EXPECT_EQ(Saved(), row.replaced ? Current() : (Preferences{0, 0, 0, 0}));
    EXPECT_EQ(fs::is_regular_file(fs::symlink_status(FilePath())), row.replaced);
    if (row.replaced) {
      EXPECT_EQ(FileContent(), "__01");
    }
    EXPECT_EQ(CardEntries(), std::vector<std::string>{"hbSET.DAT"});
    if (fs::exists(outside)) {
      std::ifstream target(outside);
      EXPECT_EQ(std::string(std::istreambuf_iterator<char>(target), {}), "UA31");
    }
  }
  fs::remove(outside);
}

// A card without room for the new content (a file-size limit, as a full card fails a write)
// keeps the old file and the old saved copies; the next write with room stores the content.
TEST_F(SettingsFileTest, FullCardKeepsTheOldFileAndIsRetried) {
  PlaceFile("UA31");
  ReadSettings();
  Panel.LcdFillStyle = 0;
  Panel.LcdColourIndex = 4;
  // In a child of its own: the limit holds for the whole process.
  const std::string seen = RunInChild([this] {
    std::string report;
    std::signal(SIGXFSZ, SIG_IGN);
    const rlimit two_bytes{2, RLIM_INFINITY};
    if (setrlimit(RLIMIT_FSIZE, &two_bytes) != 0) return std::string("no limit");
    WriteSettings();
    report += Describe() + " | ";
    const rlimit unlimited{RLIM_INFINITY, RLIM_INFINITY};
    setrlimit(RLIMIT_FSIZE, &unlimited);
    WriteSettings();
    return report + Describe();
  });
  EXPECT_EQ(seen,
            "saved UA31, file UA31, entries hbSET.DAT | saved UA40, file UA40, entries hbSET.DAT");
}

TEST_F(SettingsFileTest, MissingCardFolderLeavesTheSavedCopies) {
  setenv("QUELT_STORAGE_CARD", (card_ + "/not-there").c_str(), 1);
  Panel.LcdFillStyle = 1;
  WriteSettings();
  EXPECT_EQ(Saved(), (Preferences{0, 0, 0, 0}));
  EXPECT_EQ(Panel.SettingsStream, nullptr);
}

}  // namespace
