// The four display preferences on the storage card: read once at start-up, written back by the
// autosave timer when one of them differs from what the file last held.
#pragma once

void ReadSettings();
void WriteSettings();
void OnAutosave();

extern const char* const SettingsFilePath;
