// The settings file holds four characters and nothing else: "U" or "_" (UsbFlag), "A" or "_"
// (AuxFlag), the colour index digit 0 to 4, and the fill style digit 0 or 1.
#include "settings/settings_file.h"

#include "app/panel_state.h"

const char* const SettingsFilePath = "\\Storage Card\\hbSET.DAT";

// The read keeps at most this many characters; only the first four mean anything.
constexpr int SettingsCharsRead = 7;
constexpr int SettingsCharsWritten = 4;

static void RememberSavedPreferences() {
  Panel.SavedUsbFlag = Panel.UsbFlag;
  Panel.SavedAuxFlag = Panel.AuxFlag;
  Panel.SavedLcdColourIndex = Panel.LcdColourIndex;
  Panel.SavedLcdFillStyle = Panel.LcdFillStyle;
}

static bool PreferencesDifferFromSaved() {
  return Panel.UsbFlag != Panel.SavedUsbFlag || Panel.AuxFlag != Panel.SavedAuxFlag ||
         Panel.LcdColourIndex != Panel.SavedLcdColourIndex ||
         Panel.LcdFillStyle != Panel.SavedLcdFillStyle;
}

void ReadSettings() {
  // From here on the preferences are the card's (all 0 without a file), which the autosave may
  // write back.
  Panel.SettingsRead = true;
  Panel.SettingsStream = StorageFileOpen(SettingsFilePath, "rt");
  if (!Panel.SettingsStream) return;

  for (int position = 0; position < SettingsCharsRead && !std::feof(Panel.SettingsStream);
       ++position) {
    if (std::fscanf(Panel.SettingsStream, "%c", &Panel.SettingsText[position]) != 1) break;
  }
  const char* text = Panel.SettingsText;
  Panel.UsbFlag = text[0] == 'U';
  Panel.AuxFlag = text[1] == 'A';
  Panel.LcdColourIndex = text[2] >= '0' && text[2] <= '4' ? text[2] - '0' : 0;
  Panel.LcdFillStyle = text[3] == '1';
  RememberSavedPreferences();
  std::fclose(Panel.SettingsStream);
  Panel.SettingsStream = nullptr;
}

// The file is replaced whole, never emptied and rewritten: a power cut or a full card at any
// moment leaves the previous content or the new one.
void WriteSettings() {
  Panel.SettingsStream = StorageFileOpenReplacement(SettingsFilePath, "wt");
  if (!Panel.SettingsStream) return;

  bool written = std::fseek(Panel.SettingsStream, 0, SEEK_SET) == 0;
  written = written && std::fprintf(Panel.SettingsStream, "%s%s%d%d", Panel.UsbFlag ? "U" : "_",
                                    Panel.AuxFlag ? "A" : "_", Panel.LcdColourIndex,
                                    Panel.LcdFillStyle) == SettingsCharsWritten;
  // Content that did not reach the card leaves the saved copies as they were, so the next
  // autosave tick tries again.
  if (StorageFileCommit(Panel.SettingsStream, written)) RememberSavedPreferences();
  Panel.SettingsStream = nullptr;
}

void OnAutosave() {
  KillTimer(Panel.MainWindow, TIMER_AUTOSAVE);
  if (Panel.SettingsRead && PreferencesDifferFromSaved()) WriteSettings();
  SetTimer(Panel.MainWindow, TIMER_AUTOSAVE, AutosavePeriodMs, nullptr);
}
