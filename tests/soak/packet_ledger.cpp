#include "tests/soak/packet_ledger.h"

#include <cstdio>
#include <cstring>

namespace {

constexpr std::size_t PendingLimit = 2;

}  // namespace

std::string DescribePacket(const WirePacket& packet) {
  std::string text;
  char byte[4];
  for (std::uint8_t value : packet) {
    std::snprintf(byte, sizeof byte, " %02X", value);
    text += byte;
  }
  return text;
}

void PacketLedger::Queue(const std::uint8_t* produced) {
  ++counts_.queued;
  if (pending_.size() == PendingLimit) {
    ++counts_.dropped;
    return;
  }
  WirePacket packet = {};
  std::memcpy(packet.data(), produced, 12);
  pending_.push_back(packet);
}

bool PacketLedger::Write(const WirePacket& packet, bool succeeded, std::string* problem) {
  if (pending_.empty()) {
    *problem = "a packet was written while none was pending:" + DescribePacket(packet);
    return false;
  }
  const WirePacket expected = pending_.front();
  pending_.pop_front();
  if (packet != expected) {
    *problem = "the packet written was" + DescribePacket(packet) + ", the oldest pending one" +
               DescribePacket(expected);
    return false;
  }
  if (succeeded) {
    ++counts_.written;
    written_.push_back(packet);
  } else {
    ++counts_.lost;
  }
  return true;
}

bool PacketLedger::Receive(const WirePacket& packet, std::string* problem) {
  if (written_.empty()) {
    *problem = "the controller received a packet that no successful write carried:" +
               DescribePacket(packet);
    return false;
  }
  if (packet != written_.front()) {
    *problem = "the controller received" + DescribePacket(packet) + " where the next write was" +
               DescribePacket(written_.front());
    return false;
  }
  written_.pop_front();
  ++counts_.received;
  return true;
}
