// Reading and writing the four-character settings file on a storage card of the test's own.
#include "settings/settings_file.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>

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

TEST_F(SettingsFileTest, ReadOfAFolderInPlaceOfTheFileGivesZeros) {
  fs::create_directory(FilePath());
  ReadSettings();
  EXPECT_EQ(Current(), (Preferences{0, 0, 0, 0}));
  EXPECT_EQ(Panel.SettingsStream, nullptr);
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
    // What was written reads back the same.
    ResetPanelState();
    ReadSettings();
    EXPECT_EQ(Current(), row.preferences);
  }
}

// Neither a file that cannot be opened nor a card that is full counts as saved.
TEST_F(SettingsFileTest, FailedWriteLeavesTheSavedCopies) {
  const struct {
    const char* situation;
    void (*make)(const std::string& path);
  } cases[] = {
      {"a folder in the file's place", [](const std::string& path) { fs::create_directory(path); }},
      {"a full card", [](const std::string& path) { fs::create_symlink("/dev/full", path); }},
  };
  for (const auto& row : cases) {
    SCOPED_TRACE(row.situation);
    ResetPanelState();
    fs::remove_all(FilePath());
    row.make(FilePath());
    Panel.LcdFillStyle = 1;
    WriteSettings();
    EXPECT_EQ(Saved(), (Preferences{0, 0, 0, 0}));
    EXPECT_EQ(Panel.SettingsStream, nullptr);
  }
}

}  // namespace
