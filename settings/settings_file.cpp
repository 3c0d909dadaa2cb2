// The settings file holds four characters and nothing else: "U" or "_" (UsbFlag), "A" or "_"
// (AuxFlag), the colour index digit 0 to 4, and the fill style digit 0 or 1.
#include "settings/settings_file.h"

#include "app/panel_state.h"

const char* const SettingsFilePath = "\\Storage Card\\hbSET.DAT";

// The read keeps at most this many characters; only the first four mean anything.
constexpr int SettingsCharsRead = 7;

static void RememberSavedPreferences() {
  Panel.SavedUsbFlag = Panel.UsbFlag;
  Panel.SavedAuxFlag = Panel.AuxFlag;
  Panel.SavedLcdColourIndex = Panel.LcdColourIndex;
  Panel.SavedLcdFillStyle = Panel.LcdFillStyle;
}

static void CloseSettingsStream() {
  std::fclose(Panel.SettingsStream);
  Panel.SettingsStream = nullptr;
}

void ReadSettings() {
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
  CloseSettingsStream();
}

void WriteSettings() {
  Panel.SettingsStream = StorageFileOpen(SettingsFilePath, "wt");
  if (!Panel.SettingsStream) return;

  std::fseek(Panel.SettingsStream, 0, SEEK_SET);
  bool written =
      std::fprintf(Panel.SettingsStream, "%s%s%d%d", Panel.UsbFlag ? "U" : "_",
                   Panel.AuxFlag ? "A" : "_", Panel.LcdColourIndex, Panel.LcdFillStyle) > 0;
  written = std::fflush(Panel.SettingsStream) == 0 && written;
  // A write that did not reach the card (card full, card pulled) leaves the saved copies as they
  // were, so the next autosave tick tries again.
  if (written) RememberSavedPreferences();
  CloseSettingsStream();
}

void OnAutosave() {
  KillTimer(Panel.MainWindow, TIMER_AUTOSAVE);
  if (Panel.UsbFlag != Panel.SavedUsbFlag || Panel.AuxFlag != Panel.SavedAuxFlag ||
      Panel.LcdColourIndex != Panel.SavedLcdColourIndex ||
      Panel.LcdFillStyle != Panel.SavedLcdFillStyle) {
    WriteSettings();
  }
  SetTimer(Panel.MainWindow, TIMER_AUTOSAVE, AutosavePeriodMs, nullptr);
}
