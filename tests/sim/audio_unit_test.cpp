// The simulated audio unit reacts to the panel's packets so that a touch visibly changes its LCD.
#include "sim/audio_unit.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <vector>

namespace {

using sim::PanelKey;

sim::DecodedPacket Touch(PanelKey key) { return sim::DecodePacket(sim::TouchKeyPacket(key)); }
sim::DecodedPacket Release() { return sim::DecodePacket(sim::ReleasePacket()); }

// A press is the touch packet and its release.
std::vector<sim::DecodedPacket> Press(PanelKey key) { return {Touch(key), Release()}; }

sim::LcdImage Draw(const sim::AudioUnit& unit, std::uint32_t now) {
  SYSTEMTIME time{};
  time.wHour = 12;
  time.wMinute = 34;
  sim::LcdImage image;
  sim::DrawAudioUnit(unit, time, now, &image);
  return image;
}

bool SameImage(const sim::LcdImage& a, const sim::LcdImage& b) {
  return std::memcmp(a.pages, b.pages, sizeof a.pages) == 0;
}

struct TouchCase {
  const char* what;
  std::vector<sim::DecodedPacket> packets;
  std::function<bool(const sim::AudioUnit&)> holds;
};

TEST(SimulatedAudioUnit, TouchesChangeTheUnitAndItsLcd) {
  const auto vol_up = sim::DecodePacket(sim::VolumePacket(true));
  const auto vol_down = sim::DecodePacket(sim::VolumePacket(false));
  const auto file_up = sim::DecodePacket(sim::FilePacket(true));
  const auto eject = sim::DecodePacket(sim::EjectPacket());
  const TouchCase cases[] = {
      {"AM", Press(PanelKey::Am), [](auto& u) { return u.source == sim::Source::Am; }},
      {"CD", Press(PanelKey::Cd), [](auto& u) { return u.source == sim::Source::Cd; }},
      {"AUX", Press(PanelKey::Aux), [](auto& u) { return u.source == sim::Source::Aux; }},
      {"preset 1", Press(PanelKey::Preset1),
       [](auto& u) { return u.fm_frequency == 8810 && u.preset == 1; }},
      {"seek up", Press(PanelKey::SeekUp),
       [](auto& u) { return u.fm_frequency == 9800 && u.preset == 4; }},
      {"seek down", Press(PanelKey::SeekDown), [](auto& u) { return u.fm_frequency == 9150; }},
      {"held seek tunes by steps",
       {Touch(PanelKey::SeekUp), Touch(PanelKey::SeekUp)},
       [](auto& u) { return u.fm_frequency == 9810 && u.preset == 0; }},
      {"volume up twice",
       {vol_up, Release(), vol_up, Release()},
       [](auto& u) { return u.volume == 14; }},
      {"volume down", {vol_down, Release()}, [](auto& u) { return u.volume == 11; }},
      {"file up steps through presets",
       {file_up, Release()},
       [](auto& u) { return u.preset == 4; }},
      {"eject", {eject, Release()}, [](auto& u) { return !u.disc_loaded; }},
      {"held eject ejects once",
       {eject, eject, eject, Release()},
       [](auto& u) { return !u.disc_loaded; }},
      {"power", Press(PanelKey::Power), [](auto& u) { return !u.powered; }},
      {"scan", Press(PanelKey::Scan), [](auto& u) { return u.scanning; }},
      {"info", Press(PanelKey::Info), [](auto& u) { return u.info_shown; }},
      {"setup and enter",
       {Touch(PanelKey::Setup), Release(), Touch(PanelKey::Enter), Release()},
       [](auto& u) { return u.in_setup && u.setup_item == 1; }},
      {"volume in setup sets bass",
       {Touch(PanelKey::Setup), Release(), vol_up, Release()},
       [](auto& u) { return u.setup_values[0] == 1 && u.volume == 12; }},
      {"bsm",
       {Touch(PanelKey::Am), Release(), Touch(PanelKey::Bsm), Release()},
       [](auto& u) { return u.am_presets[4] == 549; }},
  };
  const sim::AudioUnit fresh;
  for (const TouchCase& c : cases) {
    sim::AudioUnit unit;
    std::uint32_t now = 1000;
    for (const auto& packet : c.packets) sim::ApplyPacket(&unit, packet, now += 270);
    EXPECT_TRUE(c.holds(unit)) << c.what;
    EXPECT_FALSE(SameImage(Draw(fresh, now), Draw(unit, now))) << c.what << " left the LCD alone";
  }
}

TEST(SimulatedAudioUnit, HoldingAPresetStoresTheTunedStation) {
  sim::AudioUnit unit;
  std::uint32_t now = 0;
  sim::ApplyPacket(&unit, Touch(PanelKey::SeekUp), now += 270);  // 98.0
  sim::ApplyPacket(&unit, Release(), now += 270);
  // Held for eight touch repeats; heartbeats between the repeats do not end the hold.
  for (int i = 0; i < 8; ++i) {
    sim::ApplyPacket(&unit, Touch(PanelKey::Preset2), now += 270);
    sim::ApplyPacket(&unit, sim::DecodePacket(sim::GroupPacket(0, 0x03, 0xB9)), now += 10);
  }
  sim::ApplyPacket(&unit, Release(), now += 270);
  EXPECT_EQ(unit.fm_presets[1], 9800);
  EXPECT_EQ(unit.preset, 2);

  for (PanelKey key : {PanelKey::Preset1, PanelKey::Preset2}) {
    sim::ApplyPacket(&unit, Touch(key), now += 270);
    EXPECT_EQ(unit.fm_frequency, key == PanelKey::Preset1 ? 9800 : 8810) << "not before release";
    sim::ApplyPacket(&unit, Release(), now += 270);
  }
  EXPECT_EQ(unit.fm_frequency, 9800) << "a short press recalls the stored station";
}

TEST(SimulatedAudioUnit, PoweredOffOnlyPowerActs) {
  sim::AudioUnit unit;
  sim::ApplyPacket(&unit, Touch(PanelKey::Power), 10);
  for (PanelKey key : {PanelKey::Am, PanelKey::SeekUp, PanelKey::Preset1, PanelKey::Setup}) {
    sim::ApplyPacket(&unit, Release(), 20);
    sim::ApplyPacket(&unit, Touch(key), 30);
  }
  sim::ApplyPacket(&unit, sim::DecodePacket(sim::VolumePacket(true)), 40);
  EXPECT_EQ(unit.source, sim::Source::Fm);
  EXPECT_EQ(unit.fm_frequency, 9470);
  EXPECT_EQ(unit.volume, 12);
  EXPECT_FALSE(unit.in_setup);
}

TEST(SimulatedAudioUnit, ScanMovesOnEveryFiveSeconds) {
  sim::AudioUnit unit;
  sim::ApplyPacket(&unit, Touch(PanelKey::Scan), 1000);
  sim::AdvanceAudioUnit(&unit, 5999);
  EXPECT_EQ(unit.fm_frequency, 9470);
  sim::AdvanceAudioUnit(&unit, 6000);
  EXPECT_EQ(unit.fm_frequency, 9800);
}

TEST(SimulatedAudioUnit, LongTextScrolls) {
  sim::AudioUnit unit;
  unit.info_shown = true;  // the programme text is wider than the display
  EXPECT_FALSE(SameImage(Draw(unit, 0), Draw(unit, 400)));
}

TEST(SimulatedAudioUnit, StatusByteReportsPowerSourceAndMute) {
  sim::AudioUnit unit;
  EXPECT_EQ(sim::UnitStatusByte(unit), 0x01 | 0x08);
  unit.source = sim::Source::Cd;
  unit.volume = 0;
  EXPECT_EQ(sim::UnitStatusByte(unit), 0x01 | 0x02 | 0x08 | 0x20);
  unit.powered = false;
  EXPECT_EQ(sim::UnitStatusByte(unit) & 0x01, 0);
}

struct DecodeCase {
  sim::Packet packet;
  sim::PacketKind kind;
  const char* description;
};

sim::Packet Bytes(std::initializer_list<std::pair<int, std::uint8_t>> set) {
  sim::Packet packet{};
  packet[0] = 0xA5;
  packet[1] = 0xE3;
  for (auto [index, value] : set) packet[index] = value;
  return packet;
}

TEST(CommandPacket, EveryKindThePanelSendsIsRecognised) {
  const DecodeCase cases[] = {
      {Bytes({{6, 0x10}, {7, 0x08}}), sim::PacketKind::TouchKey, "touch FM"},
      {Bytes({{2, 0x30}, {6, 0x20}, {7, 0x80}}), sim::PacketKind::TouchKey, "touch ENTER"},
      {Bytes({{7, 0x20}}), sim::PacketKind::TouchKey, "touch FOLDER DOWN"},
      {Bytes({{3, 0x11}, {5, 2}}), sim::PacketKind::VolumeArrow, "volume up"},
      {Bytes({{2, 0x30}, {3, 0x88}, {5, 1}}), sim::PacketKind::VolumeArrow, "volume down"},
      {Bytes({{4, 0x44}, {5, 1}}), sim::PacketKind::FileArrow, "file down"},
      {Bytes({{8, 0x42}}), sim::PacketKind::Eject, "eject"},
      {Bytes({}), sim::PacketKind::Release, "release"},
      {Bytes({{9, 3}, {10, 0xB8}, {11, 0x30}}), sim::PacketKind::StatusReport,
       "status B8: panel in front, usb audio"},
      {Bytes({{9, 3}, {10, 0xBD}, {11, 0x30}}), sim::PacketKind::StatusReport,
       "status BD: panel hidden, usb audio, aux on"},
      {Bytes({{2, 0x30}, {9, 3}, {10, 0xB0}, {11, 0x30}}), sim::PacketKind::PanelShown,
       "panel shown B0"},
      {Bytes({{2, 0x30}, {9, 2}, {10, 0x28}, {11, 0x30}}), sim::PacketKind::KeyReply,
       "key reply 28"},
      {Bytes({{5, 0x33}, {11, 0x30}}), sim::PacketKind::Hello, "hello"},
      {Bytes({{9, 1}, {10, 0x12}, {11, 0x30}}), sim::PacketKind::PanelConfig, "panel config 12"},
      {Bytes({{6, 0x30}, {7, 0x03}}), sim::PacketKind::Unknown, "unknown"},
      {sim::Packet{}, sim::PacketKind::Unknown, "unknown"},
  };
  for (const DecodeCase& c : cases) {
    const sim::DecodedPacket decoded = sim::DecodePacket(c.packet);
    EXPECT_EQ(decoded.kind, c.kind) << c.description;
    EXPECT_EQ(sim::DescribePacket(decoded), c.description);
  }
}

}  // namespace
