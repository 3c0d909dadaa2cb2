// The simulated controller behind a link device: the signature in sector 597, command packets
// written into sector 629, and reads of sectors 629 to 638 that carry the LCD stream, key codes
// and a status byte. It records every packet it receives and injects faults on request. One
// Controller serves every open of its device; it is safe to use from several threads.
//
// Start reading at Read and Write; the test face (QueueKey, the faults) is at the bottom.
#pragma once

#include <cstdint>
#include <cstdio>
#include <deque>
#include <mutex>
#include <vector>

#include "sim/audio_unit.h"
#include "sim/command_packet.h"
#include "sim/controller_options.h"
#include "sim/lcd_image.h"

namespace sim {

constexpr std::uint32_t SectorBytes = 512;
constexpr std::uint64_t ControllerSectors = 2048;
constexpr std::uint32_t ProbeSector = 597;
constexpr std::uint32_t ExchangeSector = 629;
constexpr std::uint32_t ExchangeSectors = 10;
// Byte positions within an exchange sector.
constexpr int StatusByteOffset = 504;
constexpr int KeyByteOffset = 506;
constexpr int ChunkBytes = 160;
constexpr int ChunksPerSector = 3;
constexpr int RowIdOffset = 508;  // row ids of the three chunks at 508, 509, 510
constexpr std::uint8_t FrameEndRowId = 0x8E;
// The key the controller sends once a panel has finished its start-up packets: show yourself.
constexpr std::uint8_t ShowPanelKey = 0x53;

struct ReceivedPacket {
  std::uint32_t tick;  // GetTickCount() when it arrived
  Packet bytes;
};

// Benchmarks watch the unit in real time through these. They are called under the controller's
// lock on the thread of the transfer, so they must be quick and must not call the controller.
struct ControllerObserver {
  void (*packet_received)(const Packet& packet) = nullptr;
  // A frame drawn for the stream, as its first chunk goes out.
  void (*frame_drawn)(const LcdImage& frame) = nullptr;
};

class Controller {
 public:
  explicit Controller(const ControllerOptions& options);
  ~Controller();
  Controller(const Controller&) = delete;
  Controller& operator=(const Controller&) = delete;

  // An open of the device as DSKn (1 to 5), or 0 for an export without a name (NBD). Returns the
  // session that later transfers name, or 0 when the open fails: a fault, the controller is gone
  // for a while, or it sits under another name. A session ends when the controller vanishes.
  std::uint64_t Open(int device_number);
  // Whole sectors; false for a failed transfer with *bytes_moved 0. A short read succeeds with
  // short_by bytes fewer moved. Key codes wait until a read succeeds in full.
  bool Read(std::uint64_t session, std::uint64_t first_sector, std::uint32_t sectors,
            std::uint8_t* data, std::uint32_t* bytes_moved);
  bool Write(std::uint64_t session, std::uint64_t first_sector, std::uint32_t sectors,
             const std::uint8_t* data, std::uint32_t* bytes_moved);

  // ---- For tests and tools ----
  // Sent in the next good read, at byte 506 of its first exchange sector only: one key event.
  // Several queued keys go out one per read.
  void QueueKey(std::uint8_t code);
  void FailNextOpens(std::uint32_t count);
  void FailNextReads(std::uint32_t count);
  void ShortNextReads(std::uint32_t count, std::uint32_t short_by = 2);
  void FailNextWrites(std::uint32_t count);
  // The next read takes ms on the platform's clock before it is served (or fails, when a read
  // fault is also pending): a controller or bus that stalls. The controller stays usable meanwhile.
  void StallNextRead(std::uint32_t ms);
  // Gone (opens and transfers fail, open sessions end) for ms, then back as DSKn (0: same name).
  void VanishFor(std::uint32_t ms, int then_as_device);
  void SetSignature(const std::string& text);
  // The DSK number the controller answers at; 0 until its first named open.
  int DeviceNumber() const;
  std::vector<ReceivedPacket> Packets() const;
  // The packets received since the last call, taken out of the record, so that a long run keeps
  // no history. Packets() then starts from what is left.
  std::vector<ReceivedPacket> TakePackets();
  AudioUnit Unit() const;
  // The LCD as the unit would draw it now.
  LcdImage Screen() const;
  void Observe(const ControllerObserver& observer);

 private:
  std::uint32_t Elapsed(std::uint32_t now) const;
  void RunScript(std::uint32_t now);
  void Vanish(std::uint32_t now, std::uint32_t ms, int then_as_device);
  // False while the controller is gone; brings it back when its time is up.
  bool Present(std::uint32_t now);
  void FillSector(std::uint64_t sector, bool first_exchange, std::uint8_t key, std::uint32_t now,
                  std::uint8_t* data);
  void NextChunk(std::uint32_t now, std::uint8_t* data, std::uint8_t* row_id);
  void Receive(const Packet& packet, std::uint32_t now);
  LcdImage DrawNow(std::uint32_t now) const;

  mutable std::mutex lock_;
  const std::uint32_t start_tick_;
  std::string signature_;
  std::FILE* trace_ = nullptr;
  ControllerObserver observer_;
  std::vector<ScheduledEvent> script_;
  std::size_t script_done_ = 0;
  mutable AudioUnit unit_;
  std::vector<ReceivedPacket> packets_;
  std::deque<std::uint8_t> keys_;
  // After the panel's hello and configuration packets, its start-up ends with two status reports.
  int startup_reports_awaited_ = 0;
  // The LCD stream: a frame is 30 chunks (15 pages, left and right halves) followed by one chunk
  // of the unused page 15, so each frame starts one chunk later within a read than the last.
  LcdImage frame_;
  int chunk_index_ = 0;
  std::uint32_t fail_opens_ = 0;
  std::uint32_t fail_reads_ = 0;
  std::uint32_t short_reads_ = 0;
  std::uint32_t short_by_ = 2;
  std::uint32_t fail_writes_ = 0;
  std::uint32_t stall_ms_ = 0;
  int device_number_ = 0;
  std::uint64_t session_ = 1;
  bool vanished_ = false;
  std::uint32_t back_at_ = 0;
  int back_as_device_ = 0;
};

}  // namespace sim
