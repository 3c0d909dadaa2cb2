// The settings file on the storage card, whatever it holds: ReadSettings stores at most seven
// characters, sets each preference from its own position as the file's rules say (written out
// here apart from the code) and makes the saved copies equal; a save afterwards writes exactly the
// four characters of those preferences. The save is tried once for each of the forty combinations
// of preferences a process meets, as it depends on nothing else. Input: the file's bytes.
#include <stdlib.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "app/panel_state.h"
#include "settings/settings_file.h"

namespace {

std::string settings_path;

void WriteWhole(const std::uint8_t* data, std::size_t size) {
  std::FILE* file = std::fopen(settings_path.c_str(), "wb");
  if (!file || std::fwrite(data, 1, size, file) != size || std::fclose(file) != 0) std::abort();
}

std::string ReadWhole() {
  std::string text;
  std::FILE* file = std::fopen(settings_path.c_str(), "rb");
  if (!file) std::abort();
  char block[64];
  std::size_t got;
  while ((got = std::fread(block, 1, sizeof block, file)) > 0) text.append(block, got);
  std::fclose(file);
  return text;
}

// The record as start-up leaves it before the read.
void ClearPreferences() {
  Panel.UsbFlag = Panel.AuxFlag = Panel.LcdColourIndex = Panel.LcdFillStyle = 0;
  Panel.SavedUsbFlag = Panel.SavedAuxFlag = Panel.SavedLcdColourIndex = Panel.SavedLcdFillStyle = 0;
  for (char& c : Panel.SettingsText) c = 0;
}

[[noreturn]] void Fail(const char* what) {
  std::fprintf(stderr, "settings_file_fuzz: %s\n", what);
  std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // A card of its own, in memory where the host has a RAM file system: every input is a file.
  static char card[] = "/dev/shm/quelt-settings-fuzz-XXXXXX";
  if (mkdtemp(card) == nullptr) {
    static char fallback[] = "/tmp/quelt-settings-fuzz-XXXXXX";
    if (mkdtemp(fallback) == nullptr) std::abort();
    std::copy(fallback, fallback + sizeof fallback, card);
  }
  std::atexit([] { std::filesystem::remove_all(card); });
  setenv("QUELT_STORAGE_CARD", card, 1);
  settings_path = std::string(card) + "/hbSET.DAT";
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  WriteWhole(data, size);
  ClearPreferences();
  ReadSettings();
  auto at = [&](std::size_t i) { return i < size ? static_cast<char>(data[i]) : '\0'; };
  const int colour = at(2) >= '0' && at(2) <= '4' ? at(2) - '0' : 0;
  if (Panel.UsbFlag != (at(0) == 'U') || Panel.AuxFlag != (at(1) == 'A') ||
      Panel.LcdColourIndex != colour || Panel.LcdFillStyle != (at(3) == '1')) {
    Fail("a preference differs from its character");
  }
  if (Panel.SavedUsbFlag != Panel.UsbFlag || Panel.SavedAuxFlag != Panel.AuxFlag ||
      Panel.SavedLcdColourIndex != Panel.LcdColourIndex ||
      Panel.SavedLcdFillStyle != Panel.LcdFillStyle) {
    Fail("the saved copies differ from the preferences read");
  }
  for (std::size_t i = 0; i < sizeof Panel.SettingsText; ++i) {
    if (Panel.SettingsText[i] != (i < 7 ? at(i) : '\0'))
      Fail("the characters kept are not the file's first seven");
  }
  if (Panel.SettingsStream != nullptr) Fail("the file was left open");

  static bool saved[2][2][5][2];
  bool& tried = saved[Panel.UsbFlag][Panel.AuxFlag][Panel.LcdColourIndex][Panel.LcdFillStyle];
  if (tried) return 0;
  tried = true;
  WriteSettings();
  const std::string expected = {Panel.UsbFlag ? 'U' : '_', Panel.AuxFlag ? 'A' : '_',
                                static_cast<char>('0' + Panel.LcdColourIndex),
                                static_cast<char>('0' + Panel.LcdFillStyle)};
  if (ReadWhole() != expected) Fail("the file written back is not the four characters");
  return 0;
}
