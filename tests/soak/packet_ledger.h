// The soak's own record of the command queue, kept from the queue calls it watches and the writes
// it sees reach the device: two packets wait at most, a packet queued while two wait is dropped,
// each write takes the oldest, and a write that fails loses its packet. Every write must carry the
// packet this record expects, and the controller must receive exactly the writes that succeeded,
// in order.
#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <string>

using WirePacket = std::array<std::uint8_t, 15>;

struct PacketLedgerCounts {
  std::uint64_t queued = 0;
  std::uint64_t dropped = 0;   // a third pending packet
  std::uint64_t written = 0;   // the write succeeded
  std::uint64_t lost = 0;      // the write failed
  std::uint64_t received = 0;  // matched against the controller's record
};

class PacketLedger {
 public:
  // Bytes 0 to 11 as the producer built them; 12 to 14 go out as 0.
  void Queue(const std::uint8_t* produced);
  // A command write with its 15 bytes; false (with *problem set) when it is not the oldest
  // pending packet.
  bool Write(const WirePacket& packet, bool succeeded, std::string* problem);
  // A packet the controller received; false when it is not the oldest successful write.
  bool Receive(const WirePacket& packet, std::string* problem);
  const PacketLedgerCounts& counts() const { return counts_; }
  std::size_t awaiting_receipt() const { return written_.size(); }

 private:
  std::deque<WirePacket> pending_;
  std::deque<WirePacket> written_;
  PacketLedgerCounts counts_;
};

std::string DescribePacket(const WirePacket& packet);
