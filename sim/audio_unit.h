// The simulated audio unit: a radio (FM and AM with six presets each), a CD player, an AUX input,
// a volume, a small setup menu and a clock. Plain functions over one record; start reading at
// ApplyPacket, which is what a touch on the panel does to the unit.
#pragma once

#include <cstdint>

#include "platform/win32.h"
#include "sim/command_packet.h"
#include "sim/lcd_image.h"

namespace sim {

enum class Source { Fm, Am, Cd, Aux };

constexpr int PresetCount = 6;
constexpr int MaxVolume = 40;
constexpr int SetupItems = 3;  // bass, treble, balance

struct AudioUnit {
  bool powered = true;
  Source source = Source::Fm;
  int fm_frequency = 9470;  // in 10 kHz steps: 94.70 MHz
  int am_frequency = 1008;  // in kHz
  int fm_presets[PresetCount] = {8810, 9150, 9470, 9800, 10130, 10470};
  int am_presets[PresetCount] = {549, 693, 828, 1008, 1215, 1440};
  int preset = 3;  // 1 to 6 when the frequency is a preset, else 0
  int volume = 12;
  bool scanning = false;
  std::uint32_t scan_since = 0;
  bool disc_loaded = true;
  int cd_folder = 1;
  int cd_track = 1;
  std::uint32_t track_since = 0;
  bool info_shown = false;  // INFO: the text line shows the station's programme text
  bool in_setup = false;
  int setup_item = 0;
  int setup_values[SetupItems] = {0, 0, 0};
  // The key held down: the panel repeats its packet every 270 ms until the release packet.
  PanelKey held_key = PanelKey::None;
  int held_repeats = 0;
  bool eject_held = false;
  // A short message in place of the text line ("PRESET 3 STORED") until message_until.
  const char* message = nullptr;
  std::uint32_t message_until = 0;
  // What the panel last reported of itself.
  bool panel_in_front = false;
};

// What the panel's packet does to the unit at time now (ms on the platform clock).
void ApplyPacket(AudioUnit* unit, const DecodedPacket& packet, std::uint32_t now);
// Lets time pass: scanning moves on to the next station every few seconds, the CD track plays.
void AdvanceAudioUnit(AudioUnit* unit, std::uint32_t now);
void DrawAudioUnit(const AudioUnit& unit, const SYSTEMTIME& local_time, std::uint32_t now,
                   LcdImage* image);
// Byte 504 of the exchange sectors. Bit 0: powered; bit 1: muted (volume 0); bit 2: scanning;
// bit 3: disc loaded; bits 4 and 5: the source (0 FM, 1 AM, 2 CD, 3 AUX).
std::uint8_t UnitStatusByte(const AudioUnit& unit);

}  // namespace sim
