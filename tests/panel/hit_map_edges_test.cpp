// Every edge of every region of the hit map: a touch on the region's first and last pixel in
// each direction, and on the pixel just beyond, against the panel's region table written out
// again here, row by row in the order the rows are tried. The hit map runs on the test's own
// thread, without a program around it; the packet is read from the queue.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "app/panel_state.h"
#include "panel/hit_map.h"
#include "tests/panel/panel_fixture.h"

namespace {

enum class Effect { Packet, Nothing, AuxFlag, UsbFlag, Colour, View, FillStyle };

struct Row {
  const char* name;
  std::uint32_t left, right, top, bottom;
  int button;  // -1: ButtonId stays as it was
  Effect effect;
  sim::Packet packet;  // with tag 0: no controller key has been handled yet
};

constexpr std::uint32_t Bottom = 65535;

sim::Packet Pattern(std::uint8_t high, std::uint8_t low) {
  return WirePacket({{6, high}, {7, low}});
}

const std::vector<Row>& Rows() {
  static const std::vector<Row> rows = {
      {"POWER", 0, 119, 431, Bottom, 1, Effect::Packet, Pattern(0x10, 0x80)},
      {"preset 1", 121, 199, 296, 344, 2, Effect::Packet, Pattern(0x10, 0x40)},
      {"preset 2", 201, 299, 296, 344, 3, Effect::Packet, Pattern(0x10, 0x20)},
      {"preset 3", 301, 399, 296, 344, 4, Effect::Packet, Pattern(0x10, 0x10)},
      {"preset 4", 401, 499, 296, 344, 5, Effect::Packet, Pattern(0x20, 0x10)},
      {"preset 5", 501, 599, 296, 344, 6, Effect::Packet, Pattern(0x20, 0x20)},
      {"preset 6", 601, 699, 296, 344, 7, Effect::Packet, Pattern(0x20, 0x40)},
      {"VOL up", 101, 169, 361, 419, 8, Effect::Packet, WirePacket({{3, 0x11}, {5, 1}})},
      {"VOL down", 16, 99, 361, 419, 9, Effect::Packet, WirePacket({{3, 0x88}, {5, 1}})},
      {"FILE up", 601, 670, 361, 419, 10, Effect::Packet, WirePacket({{4, 0x22}, {5, 1}})},
      {"FILE down", 532, 599, 361, 419, 11, Effect::Packet, WirePacket({{4, 0x44}, {5, 1}})},
      {"SEEK down", 171, 239, 361, 419, 12, Effect::Packet, Pattern(0x20, 0x08)},
      {"SEEK up", 241, 311, 361, 419, 13, Effect::Packet, Pattern(0x10, 0x01)},
      {"FOLDER down", 391, 459, 361, 419, 14, Effect::Packet, Pattern(0x00, 0x20)},
      {"FOLDER up", 461, 530, 361, 419, 15, Effect::Packet, Pattern(0x00, 0x10)},
      {"SCAN", 313, 389, 361, 419, 16, Effect::Packet, Pattern(0x00, 0x80)},
      {"AUX", 721, 799, 81, 141, 17, Effect::Packet, Pattern(0x10, 0x02)},
      {"INFO", 721, 799, 143, 224, 18, Effect::Packet, Pattern(0x00, 0x40)},
      {"SETUP", 721, 799, 226, 301, 19, Effect::Packet, Pattern(0x00, 0x08)},
      {"CD", 1, 79, 226, 301, 20, Effect::Packet, Pattern(0x20, 0x04)},
      {"FM", 1, 79, 81, 141, 21, Effect::Packet, Pattern(0x10, 0x08)},
      {"AM", 1, 79, 143, 224, 22, Effect::Packet, Pattern(0x10, 0x04)},
      {"BSM", 651, 739, 1, 79, 23, Effect::Packet, Pattern(0x00, 0x04)},
      {"EJECT", 546, 644, 1, 79, 24, Effect::Packet, WirePacket({{8, 0x42}})},
      {"NAVI", 51, 149, 1, 79, 25, Effect::Nothing, {}},
      {"AUX indicator", 151, 249, 1, 49, 26, Effect::AuxFlag, {}},
      {"USB indicator", 251, 349, 1, 49, 27, Effect::UsbFlag, {}},
      {"colour segment", 351, 449, 1, 49, 29, Effect::Colour, {}},
      {"SCREEN", 451, 544, 1, 49, -1, Effect::View, {}},
      {"USB seam", 349, 449, 1, 49, 27, Effect::Nothing, {}},
      {"ENTER", 672, 779, 361, 419, 28, Effect::Packet, Pattern(0x20, 0x80)},
      {"LCD window", 201, 599, 101, 249, -1, Effect::FillStyle, {}},
  };
  return rows;
}

const Row* RowAt(std::uint32_t x, std::uint32_t y) {
  for (const Row& row : Rows()) {
    if (x >= row.left && x <= row.right && y >= row.top && y <= row.bottom) return &row;
  }
  return nullptr;
}

struct Outcome {
  int button;
  std::vector<sim::Packet> packets;
  std::int32_t aux, usb, colour;
  std::uint8_t view;
  std::int32_t fill;

  bool operator==(const Outcome& other) const {
    return button == other.button && packets == other.packets && aux == other.aux &&
           usb == other.usb && colour == other.colour && view == other.view && fill == other.fill;
  }
};

std::string DescribeOutcome(const Outcome& outcome) {
  return "button " + std::to_string(outcome.button) + ", aux " + std::to_string(outcome.aux) +
         ", usb " + std::to_string(outcome.usb) + ", colour " + std::to_string(outcome.colour) +
         ", view " + std::to_string(outcome.view) + ", fill " + std::to_string(outcome.fill) +
         ", packets\n" + Describe(outcome.packets);
}

constexpr int NoButton = 0;

Outcome Expected(std::uint32_t x, std::uint32_t y) {
  Outcome outcome{NoButton, {}, 0, 0, 0, FullPanelMode, 0};
  const Row* row = RowAt(x, y);
  if (!row) return outcome;
  if (row->button != -1) outcome.button = row->button;
  switch (row->effect) {
    case Effect::Packet:
      outcome.packets.push_back(row->packet);
      break;
    case Effect::AuxFlag:
      outcome.aux = 1;
      break;
    case Effect::UsbFlag:
      outcome.usb = 1;
      break;
    case Effect::Colour:
      outcome.colour = 1;
      break;
    case Effect::View:
      outcome.view = CompactViewMode;
      break;
    case Effect::FillStyle:
      outcome.fill = 1;
      break;
    case Effect::Nothing:
      break;
  }
  return outcome;
}

// The panel as it starts: full view, every preference 0, no arrow touched, no key handled.
Outcome Touch(std::uint32_t x, std::uint32_t y) {
  Panel.PanelMode = FullPanelMode;
  Panel.ButtonId = NoButton;
  Panel.AuxFlag = Panel.UsbFlag = Panel.LcdColourIndex = Panel.LcdFillStyle = 0;
  Panel.LastVolumeButton = Panel.LastFileButton = 0;
  Panel.TouchPacketTag = 0;
  Panel.PenX = x;
  Panel.PenY = y;
  HitTestPanel(nullptr);
  return {Panel.ButtonId,       TakeQueuedPackets(), Panel.AuxFlag,     Panel.UsbFlag,
          Panel.LcdColourIndex, Panel.PanelMode,     Panel.LcdFillStyle};
}

// Each corner of the region, and the pixel beyond each of its edges.
std::vector<std::pair<std::uint32_t, std::uint32_t>> EdgePoints(const Row& row) {
  std::vector<std::pair<std::uint32_t, std::uint32_t>> points = {
      {row.left, row.top}, {row.right, row.top}, {row.left, row.bottom}, {row.right, row.bottom}};
  if (row.left > 0) points.push_back({row.left - 1, row.top});
  if (row.right < Bottom) points.push_back({row.right + 1, row.bottom});
  if (row.top > 0) points.push_back({row.right, row.top - 1});
  if (row.bottom < Bottom) points.push_back({row.left, row.bottom + 1});
  return points;
}

TEST(HitMapEdges, EveryRegionEndsExactlyAtItsEdges) {
  ResetPanelState();
  for (const Row& row : Rows()) {
    for (const auto& [x, y] : EdgePoints(row)) {
      SCOPED_TRACE(std::string(row.name) + " edge at " + std::to_string(x) + "," +
                   std::to_string(y));
      const Outcome expected = Expected(x, y);
      const Outcome touched = Touch(x, y);
      EXPECT_TRUE(touched == expected)
          << "got " << DescribeOutcome(touched) << "expected " << DescribeOutcome(expected);
    }
  }
}

}  // namespace
