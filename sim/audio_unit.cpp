// What the simulated audio unit does with the panel's packets, and how it draws its LCD.
#include "sim/audio_unit.h"

#include <cstdio>
#include <string>

namespace sim {
namespace {

constexpr int FmStep = 10;  // 0.1 MHz in 10 kHz steps
constexpr int FmLowest = 8750;
constexpr int FmHighest = 10800;
constexpr int AmStep = 9;
constexpr int AmLowest = 531;
constexpr int AmHighest = 1602;
constexpr int CdTracks = 12;
constexpr int CdFolders = 3;
constexpr int SetupLimit = 7;
constexpr std::uint32_t ScanDwellMs = 5000;
constexpr std::uint32_t MessageMs = 2000;
// A preset held this many repeats (about two seconds at 270 ms) stores the tuned frequency.
constexpr int StorePresetRepeats = 7;

struct Station {
  int frequency;
  const char* name;
  const char* programme;
};

constexpr Station FmStations[] = {
    {8810, "RADIO ONE", "THE BEST MIX OF THE 80S, 90S AND TODAY"},
    {9150, "CITY FM", "TRAFFIC NEWS EVERY 30 MINUTES - A7 NORTH CLEAR"},
    {9470, "JAZZ 94.7", "LATE NIGHT JAZZ: TAKE FIVE - DAVE BRUBECK QUARTET"},
    {9800, "NEWS 98", "NEWS, WEATHER AND SPORT ON THE HOUR"},
    {10130, "ROCK 101", "CLASSIC ROCK ALL DAY LONG"},
    {10470, "KLASSIK", "SYMPHONY NO. 5 IN C MINOR, OP. 67"},
};

constexpr Station AmStations[] = {
    {549, "TALK 549", "PHONE-IN: YOUR CAR, YOUR QUESTIONS"},
    {828, "SPORT 828", "LIVE FOOTBALL COMMENTARY"},
    {1008, "GOLD 1008", "GOLDEN OLDIES FROM THE 60S"},
    {1440, "WORLD 1440", "WORLD SERVICE NEWS IN ENGLISH"},
};

// The panel shows rows 15 to 119 and columns 8 to 312 of the LCD in both its views (the full
// panel's window cuts the top rows and the left columns); the unit keeps its content inside them.
constexpr int ShownLeft = 8;
constexpr int ShownRight = 313;
constexpr int ShownWidth = ShownRight - ShownLeft;
constexpr int HeaderTop = 16;    // source, preset, scan and the clock, in double size
constexpr int HeaderRule = 32;   // the line under the header
constexpr int MainTop = 36;      // frequency, track or AUX IN, in quadruple size
constexpr int MainUnitTop = 50;  // MHZ, KHZ or the track time beside it
constexpr int TextLineTop = 68;  // station name, programme text or a message
constexpr int FlagsTop = 88;     // PANEL, ST, DISC in single size
constexpr int VolumeTop = 102;   // the volume and its bar
constexpr int SetupItemPitch = 22;

const char* const SetupNames[SetupItems] = {"BASS", "TREBLE", "BALANCE"};

bool IsTouch(PacketKind kind) {
  return kind == PacketKind::TouchKey || kind == PacketKind::VolumeArrow ||
         kind == PacketKind::FileArrow || kind == PacketKind::Eject || kind == PacketKind::Release;
}

bool IsRadio(const AudioUnit& unit) {
  return unit.source == Source::Fm || unit.source == Source::Am;
}

int& Frequency(AudioUnit* unit) {
  return unit->source == Source::Am ? unit->am_frequency : unit->fm_frequency;
}

int* Presets(AudioUnit* unit) {
  return unit->source == Source::Am ? unit->am_presets : unit->fm_presets;
}

template <std::size_t N>
const Station* FindStation(const Station (&stations)[N], int frequency) {
  for (const Station& station : stations) {
    if (station.frequency == frequency) return &station;
  }
  return nullptr;
}

const Station* TunedStation(const AudioUnit& unit) {
  return unit.source == Source::Am ? FindStation(AmStations, unit.am_frequency)
                                   : FindStation(FmStations, unit.fm_frequency);
}

void ShowMessage(AudioUnit* unit, const char* message, std::uint32_t now) {
  unit->message = message;
  unit->message_until = now + MessageMs;
}

void MatchPreset(AudioUnit* unit) {
  unit->preset = 0;
  for (int i = 0; i < PresetCount; ++i) {
    if (Presets(unit)[i] == Frequency(unit)) unit->preset = i + 1;
  }
}

void Tune(AudioUnit* unit, int frequency) {
  Frequency(unit) = frequency;
  MatchPreset(unit);
}

template <std::size_t N>
int NextStation(const Station (&stations)[N], int frequency, bool up) {
  if (up) {
    for (const Station& station : stations) {
      if (station.frequency > frequency) return station.frequency;
    }
    return stations[0].frequency;
  }
  for (std::size_t i = N; i-- > 0;) {
    if (stations[i].frequency < frequency) return stations[i].frequency;
  }
  return stations[N - 1].frequency;
}

void Seek(AudioUnit* unit, bool up) {
  Tune(unit, unit->source == Source::Am ? NextStation(AmStations, unit->am_frequency, up)
                                        : NextStation(FmStations, unit->fm_frequency, up));
}

// A SEEK key held down tunes by single steps instead, wrapping round the band.
void StepTune(AudioUnit* unit, bool up) {
  const bool am = unit->source == Source::Am;
  const int step = am ? AmStep : FmStep;
  const int lowest = am ? AmLowest : FmLowest;
  const int highest = am ? AmHighest : FmHighest;
  int frequency = Frequency(unit) + (up ? step : -step);
  if (frequency > highest) frequency = lowest;
  if (frequency < lowest) frequency = highest;
  Tune(unit, frequency);
}

void ChangeTrack(AudioUnit* unit, int delta, std::uint32_t now) {
  unit->cd_track = (unit->cd_track - 1 + delta + CdTracks) % CdTracks + 1;
  unit->track_since = now;
}

void SelectSource(AudioUnit* unit, Source source, std::uint32_t now) {
  if (source == Source::Cd && !unit->disc_loaded) {
    ShowMessage(unit, "NO DISC", now);
    return;
  }
  unit->source = source;
  unit->scanning = false;
  if (IsRadio(*unit)) MatchPreset(unit);
}

int PresetNumber(PanelKey key) {
  switch (key) {
    case PanelKey::Preset1:
      return 1;
    case PanelKey::Preset2:
      return 2;
    case PanelKey::Preset3:
      return 3;
    case PanelKey::Preset4:
      return 4;
    case PanelKey::Preset5:
      return 5;
    case PanelKey::Preset6:
      return 6;
    default:
      return 0;
  }
}

template <std::size_t N>
void StoreBestStations(int* presets, const Station (&stations)[N]) {
  for (int i = 0; i < PresetCount; ++i) presets[i] = stations[i % N].frequency;
}

void PressKey(AudioUnit* unit, PanelKey key, std::uint32_t now) {
  if (key == PanelKey::Power) {
    unit->powered = !unit->powered;
    unit->scanning = false;
    return;
  }
  if (!unit->powered) return;
  if (PresetNumber(key)) return;  // recalled at the release, stored when held
  switch (key) {
    case PanelKey::SeekUp:
    case PanelKey::SeekDown:
      if (IsRadio(*unit)) Seek(unit, key == PanelKey::SeekUp);
      if (unit->source == Source::Cd) ChangeTrack(unit, key == PanelKey::SeekUp ? 1 : -1, now);
      break;
    case PanelKey::FolderUp:
    case PanelKey::FolderDown:
      if (unit->source != Source::Cd) break;
      unit->cd_folder =
          (unit->cd_folder - 1 + (key == PanelKey::FolderUp ? 1 : CdFolders - 1)) % CdFolders + 1;
      unit->cd_track = 1;
      unit->track_since = now;
      break;
    case PanelKey::Scan:
      unit->scanning = IsRadio(*unit) && !unit->scanning;
      unit->scan_since = now;
      break;
    case PanelKey::Fm:
      SelectSource(unit, Source::Fm, now);
      break;
    case PanelKey::Am:
      SelectSource(unit, Source::Am, now);
      break;
    case PanelKey::Cd:
      SelectSource(unit, Source::Cd, now);
      break;
    case PanelKey::Aux:
      SelectSource(unit, Source::Aux, now);
      break;
    case PanelKey::Info:
      unit->info_shown = !unit->info_shown;
      break;
    case PanelKey::Setup:
      unit->in_setup = !unit->in_setup;
      break;
    case PanelKey::Enter:
      if (unit->in_setup) unit->setup_item = (unit->setup_item + 1) % SetupItems;
      break;
    case PanelKey::Bsm:
      if (!IsRadio(*unit)) break;
      if (unit->source == Source::Am) StoreBestStations(unit->am_presets, AmStations);
      if (unit->source == Source::Fm) StoreBestStations(unit->fm_presets, FmStations);
      MatchPreset(unit);
      ShowMessage(unit, "BEST STATIONS STORED", now);
      break;
    default:
      break;
  }
}

void RepeatKey(AudioUnit* unit, PanelKey key, int repeats, std::uint32_t now) {
  if (!unit->powered || !IsRadio(*unit)) return;
  if (key == PanelKey::SeekUp || key == PanelKey::SeekDown) {
    StepTune(unit, key == PanelKey::SeekUp);
  } else if (const int preset = PresetNumber(key); preset && repeats == StorePresetRepeats) {
    Presets(unit)[preset - 1] = Frequency(unit);
    unit->preset = preset;
    ShowMessage(unit, "PRESET STORED", now);
  }
}

// A preset released before it was held long enough to store is recalled.
void EndHold(AudioUnit* unit) {
  const int preset = PresetNumber(unit->held_key);
  if (preset && unit->held_repeats < StorePresetRepeats && unit->powered && IsRadio(*unit)) {
    Tune(unit, Presets(unit)[preset - 1]);
    unit->scanning = false;
  }
  unit->held_key = PanelKey::None;
  unit->held_repeats = 0;
  unit->eject_held = false;
}

void StepVolume(AudioUnit* unit, bool up) {
  if (unit->in_setup) {
    int& value = unit->setup_values[unit->setup_item];
    value =
        up ? (value < SetupLimit ? value + 1 : value) : (value > -SetupLimit ? value - 1 : value);
    return;
  }
  unit->volume = up ? (unit->volume < MaxVolume ? unit->volume + 1 : MaxVolume)
                    : (unit->volume > 0 ? unit->volume - 1 : 0);
}

void StepFile(AudioUnit* unit, bool up, std::uint32_t now) {
  if (unit->source == Source::Cd) {
    ChangeTrack(unit, up ? 1 : -1, now);
  } else if (IsRadio(*unit)) {
    const int from = unit->preset ? unit->preset : 1;
    Tune(unit, Presets(unit)[(from - 1 + (up ? 1 : PresetCount - 1)) % PresetCount]);
  }
}

void Eject(AudioUnit* unit, std::uint32_t now) {
  unit->disc_loaded = !unit->disc_loaded;
  if (unit->disc_loaded) {
    unit->source = Source::Cd;
    unit->cd_folder = 1;
    unit->cd_track = 1;
    unit->track_since = now;
    ShowMessage(unit, "DISC LOADED", now);
  } else {
    if (unit->source == Source::Cd) SelectSource(unit, Source::Fm, now);
    ShowMessage(unit, "DISC EJECTED", now);
  }
}

std::string TwoDigits(int value) {
  char text[8];
  std::snprintf(text, sizeof text, "%02d", value);
  return text;
}

std::string FrequencyText(const AudioUnit& unit) {
  char text[16];
  if (unit.source == Source::Am) {
    std::snprintf(text, sizeof text, "%d", unit.am_frequency);
  } else {
    std::snprintf(text, sizeof text, "%d.%d", unit.fm_frequency / 100, unit.fm_frequency / 10 % 10);
  }
  return text;
}

std::string TextLine(const AudioUnit& unit) {
  if (unit.source == Source::Aux) return "AUXILIARY INPUT";
  if (unit.source == Source::Cd) {
    return "FOLDER " + std::to_string(unit.cd_folder) + "  TRACK " + TwoDigits(unit.cd_track);
  }
  const Station* station = TunedStation(unit);
  if (!station) return unit.source == Source::Am ? "AM" : "FM";
  return unit.info_shown ? station->programme : station->name;
}

// The text line moves left 25 pixels a second when it does not fit the width of the display.
void DrawTextLine(LcdImage* image, const std::string& text, int y, std::uint32_t now) {
  constexpr int Scale = 2;
  constexpr int Gap = 60;
  const int width = LcdTextWidth(text, Scale);
  if (width <= ShownWidth) {
    DrawLcdText(image, ShownLeft + (ShownWidth - width) / 2, y, text, Scale);
    return;
  }
  const int offset = static_cast<int>(now / 40 % static_cast<std::uint32_t>(width + Gap));
  DrawLcdText(image, ShownLeft - offset, y, text, Scale, ShownLeft, ShownRight);
  DrawLcdText(image, ShownLeft + width + Gap - offset, y, text, Scale, ShownLeft, ShownRight);
}

std::string ClockText(const SYSTEMTIME& time) {
  return TwoDigits(time.wHour) + ":" + TwoDigits(time.wMinute);
}

void DrawPoweredOff(const SYSTEMTIME& time, LcdImage* image) {
  const std::string clock = ClockText(time);
  DrawLcdText(image, ShownLeft + (ShownWidth - LcdTextWidth(clock, 5)) / 2, MainTop, clock, 5);
  DrawLcdText(image, ShownLeft + (ShownWidth - LcdTextWidth("POWER OFF")) / 2, 100, "POWER OFF");
}

void DrawSetup(const AudioUnit& unit, LcdImage* image) {
  DrawLcdText(image, ShownLeft, HeaderTop, "SETUP", 2);
  for (int i = 0; i < SetupItems; ++i) {
    const int y = MainTop + i * SetupItemPitch;
    const int value = unit.setup_values[i];
    DrawLcdText(image, ShownLeft + 18, y, SetupNames[i], 2);
    DrawLcdText(image, 220, y, (value > 0 ? "+" : "") + std::to_string(value), 2);
    if (i == unit.setup_item) InvertLcdRect(image, ShownLeft + 12, y - 3, 284, 20);
  }
  DrawLcdText(image, ShownLeft, VolumeTop + 6, "VOL: ADJUST   ENTER: NEXT   SETUP: BACK");
}

void DrawVolume(const AudioUnit& unit, LcdImage* image) {
  DrawLcdText(image, ShownLeft, VolumeTop, "VOL", 2);
  DrawLcdText(image, ShownLeft + 40, VolumeTop, TwoDigits(unit.volume), 2);
  constexpr int BarLeft = ShownLeft + 72;
  constexpr int BarWidth = ShownRight - BarLeft;
  FrameLcdRect(image, BarLeft, VolumeTop, BarWidth, 14);
  FillLcdRect(image, BarLeft + 2, VolumeTop + 2, (BarWidth - 4) * unit.volume / MaxVolume, 10,
              true);
}

void DrawPlaying(const AudioUnit& unit, std::uint32_t now, LcdImage* image) {
  static const char* const SourceNames[] = {"FM", "AM", "CD", "AUX"};
  DrawLcdText(image, ShownLeft, HeaderTop, SourceNames[static_cast<int>(unit.source)], 2);
  if (IsRadio(unit) && unit.preset)
    DrawLcdText(image, ShownLeft + 54, HeaderTop, "P" + std::to_string(unit.preset), 2);
  if (unit.scanning) DrawLcdText(image, ShownLeft + 98, HeaderTop, "SCAN", 2);
  FillLcdRect(image, ShownLeft, HeaderRule, ShownWidth, 1, true);

  if (IsRadio(unit)) {
    const std::string frequency = FrequencyText(unit);
    const char* unit_name = unit.source == Source::Am ? "KHZ" : "MHZ";
    const int right = 230;
    DrawLcdText(image, right - LcdTextWidth(frequency, 4), MainTop, frequency, 4);
    DrawLcdText(image, right + 10, MainUnitTop, unit_name, 2);
  } else if (unit.source == Source::Cd) {
    const std::uint32_t seconds = (now - unit.track_since) / 1000;
    DrawLcdText(image, ShownLeft + 38, MainTop, "T" + TwoDigits(unit.cd_track), 4);
    DrawLcdText(image, 170, MainUnitTop,
                TwoDigits(static_cast<int>(seconds / 60 % 100)) + ":" +
                    TwoDigits(static_cast<int>(seconds % 60)),
                2);
  } else {
    DrawLcdText(image, ShownLeft + (ShownWidth - LcdTextWidth("AUX IN", 4)) / 2, MainTop, "AUX IN",
                4);
  }

  const bool message = unit.message && now < unit.message_until;
  DrawTextLine(image, message ? unit.message : TextLine(unit), TextLineTop, now);
  if (message) InvertLcdRect(image, ShownLeft, TextLineTop - 3, ShownWidth, 20);
  if (unit.panel_in_front) DrawLcdText(image, ShownLeft, FlagsTop, "PANEL");
  if (unit.source == Source::Fm) DrawLcdText(image, ShownLeft + 38, FlagsTop, "ST");
  if (unit.disc_loaded) DrawLcdText(image, ShownLeft + 58, FlagsTop, "DISC");
  DrawVolume(unit, image);
}

}  // namespace

void ApplyPacket(AudioUnit* unit, const DecodedPacket& packet, std::uint32_t now) {
  AdvanceAudioUnit(unit, now);
  // Only touches end a hold: heartbeats and replies pass between the repeats of a held key.
  const bool repeat = (packet.kind == PacketKind::TouchKey && packet.key == unit->held_key) ||
                      (packet.kind == PacketKind::Eject && unit->eject_held);
  if (IsTouch(packet.kind) && !repeat) EndHold(unit);
  switch (packet.kind) {
    case PacketKind::TouchKey:
      if (repeat) {
        RepeatKey(unit, packet.key, ++unit->held_repeats, now);
      } else {
        unit->held_key = packet.key;
        PressKey(unit, packet.key, now);
      }
      break;
    case PacketKind::Eject:
      if (!repeat && unit->powered) Eject(unit, now);
      unit->eject_held = true;
      break;
    case PacketKind::VolumeArrow:
      if (unit->powered) StepVolume(unit, packet.up);
      break;
    case PacketKind::FileArrow:
      if (unit->powered) StepFile(unit, packet.up, now);
      break;
    case PacketKind::Hello:
      ShowMessage(unit, "PANEL CONNECTED", now);
      break;
    case PacketKind::StatusReport:
      unit->panel_in_front = (packet.value & 0x01) == 0;
      break;
    case PacketKind::PanelShown:
      unit->panel_in_front = true;
      break;
    default:
      break;
  }
}

void AdvanceAudioUnit(AudioUnit* unit, std::uint32_t now) {
  if (unit->scanning && IsRadio(*unit) && now - unit->scan_since >= ScanDwellMs) {
    Seek(unit, true);
    unit->scan_since = now;
  }
}

void DrawAudioUnit(const AudioUnit& unit, const SYSTEMTIME& local_time, std::uint32_t now,
                   LcdImage* image) {
  *image = LcdImage{};
  if (!unit.powered) {
    DrawPoweredOff(local_time, image);
    return;
  }
  if (unit.in_setup) {
    DrawSetup(unit, image);
  } else {
    DrawPlaying(unit, now, image);
  }
  const std::string clock = ClockText(local_time);
  DrawLcdText(image, ShownRight - LcdTextWidth(clock, 2), HeaderTop, clock, 2);
}

std::uint8_t UnitStatusByte(const AudioUnit& unit) {
  return static_cast<std::uint8_t>((unit.powered ? 0x01 : 0) | (unit.volume == 0 ? 0x02 : 0) |
                                   (unit.scanning ? 0x04 : 0) | (unit.disc_loaded ? 0x08 : 0) |
                                   static_cast<int>(unit.source) << 4);
}

}  // namespace sim
