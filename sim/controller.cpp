// The simulated controller's sectors, its LCD stream, key codes, packet record and faults.
#include "sim/controller.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace sim {
namespace {

constexpr int ChunksPerFrame = 2 * LcdPages;
constexpr int StreamCycle = ChunksPerFrame + 1;  // the frame and one chunk of page 15
constexpr std::uint8_t FillerRowId = 0x0F;       // page 15, left half: never displayed

std::uint32_t Now() { return GetTickCount(); }

void TracePacket(std::FILE* trace, const ReceivedPacket& received) {
  std::fprintf(trace, "%10u ", received.tick);
  for (std::uint8_t byte : received.bytes) std::fprintf(trace, " %02X", byte);
  std::fprintf(trace, "  %s\n", DescribePacket(DecodePacket(received.bytes)).c_str());
  std::fflush(trace);
}

}  // namespace

Controller::Controller(const ControllerOptions& options)
    : start_tick_(Now()),
      signature_(options.signature.empty() ? "VANTREL000" + std::to_string(options.variant)
                                           : options.signature),
      script_(options.script),
      short_by_(options.short_by) {
  std::stable_sort(
      script_.begin(), script_.end(),
      [](const ScheduledEvent& a, const ScheduledEvent& b) { return a.at_ms < b.at_ms; });
  if (!options.trace_path.empty()) {
    trace_ = std::fopen(options.trace_path.c_str(), "w");
    if (!trace_) std::perror(("simulator trace " + options.trace_path).c_str());
  }
  unit_.track_since = start_tick_;
  unit_.info_shown = options.info_shown;
  RunScript(start_tick_);
}

Controller::~Controller() {
  if (trace_) std::fclose(trace_);
}

std::uint32_t Controller::Elapsed(std::uint32_t now) const { return now - start_tick_; }

void Controller::RunScript(std::uint32_t now) {
  while (script_done_ < script_.size() && script_[script_done_].at_ms <= Elapsed(now)) {
    const ScheduledEvent& event = script_[script_done_++];
    switch (event.kind) {
      case ScheduledEvent::Kind::Key:
        keys_.push_back(static_cast<std::uint8_t>(event.amount));
        break;
      case ScheduledEvent::Kind::FailOpens:
        fail_opens_ += event.amount;
        break;
      case ScheduledEvent::Kind::FailReads:
        fail_reads_ += event.amount;
        break;
      case ScheduledEvent::Kind::ShortReads:
        short_reads_ += event.amount;
        break;
      case ScheduledEvent::Kind::FailWrites:
        fail_writes_ += event.amount;
        break;
      case ScheduledEvent::Kind::Vanish:
        Vanish(now, event.amount, event.device);
        break;
      case ScheduledEvent::Kind::Stall:
        stall_ms_ = event.amount;
        break;
    }
  }
}

void Controller::Vanish(std::uint32_t now, std::uint32_t ms, int then_as_device) {
  vanished_ = true;
  ++session_;
  back_at_ = now + ms;
  back_as_device_ = then_as_device;
}

bool Controller::Present(std::uint32_t now) {
  if (vanished_ && static_cast<std::int32_t>(now - back_at_) >= 0) {
    vanished_ = false;
    if (back_as_device_ != 0) device_number_ = back_as_device_;
  }
  return !vanished_;
}

std::uint64_t Controller::Open(int device_number) {
  std::lock_guard<std::mutex> hold(lock_);
  const std::uint32_t now = Now();
  RunScript(now);
  if (fail_opens_ > 0) {
    --fail_opens_;
    return 0;
  }
  if (!Present(now)) return 0;
  if (device_number != 0) {
    if (device_number_ == 0) device_number_ = device_number;
    if (device_number != device_number_) return 0;
  }
  return session_;
}

bool Controller::Read(std::uint64_t session, std::uint64_t first_sector, std::uint32_t sectors,
                      std::uint8_t* data, std::uint32_t* bytes_moved) {
  std::uint32_t stall_ms = 0;
  {
    std::lock_guard<std::mutex> hold(lock_);
    RunScript(Now());
    stall_ms = std::exchange(stall_ms_, 0);
  }
  // Outside the lock: only the reader waits, and time may pass meanwhile (a vanish, say).
  if (stall_ms > 0) Sleep(stall_ms);
  std::lock_guard<std::mutex> hold(lock_);
  const std::uint32_t now = Now();
  RunScript(now);
  *bytes_moved = 0;
  if (!Present(now) || session != session_) return false;
  if (fail_reads_ > 0) {
    --fail_reads_;
    return false;
  }
  const std::uint8_t key = keys_.empty() ? 0 : keys_.front();
  bool key_placed = false;
  for (std::uint32_t i = 0; i < sectors; ++i) {
    const std::uint64_t sector = first_sector + i;
    const bool exchange = sector >= ExchangeSector && sector < ExchangeSector + ExchangeSectors;
    FillSector(sector, exchange && !key_placed, key, now, data + std::size_t{i} * SectorBytes);
    key_placed = key_placed || exchange;
  }
  const std::uint32_t bytes = sectors * SectorBytes;
  if (short_reads_ > 0) {
    --short_reads_;
    *bytes_moved = bytes > short_by_ ? bytes - short_by_ : 0;
    return true;
  }
  if (key_placed && key != 0) keys_.pop_front();
  *bytes_moved = bytes;
  return true;
}

void Controller::FillSector(std::uint64_t sector, bool first_exchange, std::uint8_t key,
                            std::uint32_t now, std::uint8_t* data) {
  std::memset(data, 0, SectorBytes);
  if (sector == ProbeSector) {
    std::memcpy(data, signature_.data(), std::min<std::size_t>(signature_.size(), SectorBytes));
    return;
  }
  if (sector < ExchangeSector || sector >= ExchangeSector + ExchangeSectors) return;
  for (int chunk = 0; chunk < ChunksPerSector; ++chunk) {
    NextChunk(now, data + chunk * ChunkBytes, data + RowIdOffset + chunk);
  }
  data[StatusByteOffset] = UnitStatusByte(unit_);
  if (first_exchange) data[KeyByteOffset] = key;
}

void Controller::NextChunk(std::uint32_t now, std::uint8_t* data, std::uint8_t* row_id) {
  // A frame is drawn whole when its first chunk goes out, so it never mixes two states.
  if (chunk_index_ == 0) {
    frame_ = DrawNow(now);
    if (observer_.frame_drawn) observer_.frame_drawn(frame_);
  }
  if (chunk_index_ < ChunksPerFrame) {
    const int page = chunk_index_ / 2;
    const bool right = chunk_index_ % 2 == 1;
    std::memcpy(data, &frame_.pages[page][right ? ChunkBytes : 0], ChunkBytes);
    *row_id = static_cast<std::uint8_t>(page | (right ? 0x80 : 0x00));
  } else {
    *row_id = FillerRowId;
  }
  chunk_index_ = (chunk_index_ + 1) % StreamCycle;
}

bool Controller::Write(std::uint64_t session, std::uint64_t first_sector, std::uint32_t sectors,
                       const std::uint8_t* data, std::uint32_t* bytes_moved) {
  std::lock_guard<std::mutex> hold(lock_);
  const std::uint32_t now = Now();
  RunScript(now);
  *bytes_moved = 0;
  if (!Present(now) || session != session_) return false;
  if (fail_writes_ > 0) {
    --fail_writes_;
    return false;
  }
  if (first_sector <= ExchangeSector && ExchangeSector < first_sector + sectors) {
    Packet packet;
    std::memcpy(packet.data(), data + (ExchangeSector - first_sector) * SectorBytes, PacketBytes);
    Receive(packet, now);
  }
  *bytes_moved = sectors * SectorBytes;
  return true;
}

void Controller::Receive(const Packet& packet, std::uint32_t now) {
  packets_.push_back({now, packet});
  if (trace_) TracePacket(trace_, packets_.back());
  if (observer_.packet_received) observer_.packet_received(packet);
  const DecodedPacket decoded = DecodePacket(packet);
  ApplyPacket(&unit_, decoded, now);
  if (decoded.kind == PacketKind::Hello) startup_reports_awaited_ = 0;
  if (decoded.kind == PacketKind::PanelConfig) startup_reports_awaited_ = 2;
  if (decoded.kind == PacketKind::StatusReport && startup_reports_awaited_ > 0 &&
      --startup_reports_awaited_ == 0) {
    keys_.push_back(ShowPanelKey);
  }
}

LcdImage Controller::DrawNow(std::uint32_t now) const {
  AdvanceAudioUnit(&unit_, now);
  SYSTEMTIME local_time;
  GetLocalTime(&local_time);
  LcdImage image;
  DrawAudioUnit(unit_, local_time, now, &image);
  return image;
}

void Controller::QueueKey(std::uint8_t code) {
  std::lock_guard<std::mutex> hold(lock_);
  if (code != 0) keys_.push_back(code);
}

void Controller::Observe(const ControllerObserver& observer) {
  std::lock_guard<std::mutex> hold(lock_);
  observer_ = observer;
}

void Controller::FailNextOpens(std::uint32_t count) {
  std::lock_guard<std::mutex> hold(lock_);
  fail_opens_ = count;
}

void Controller::FailNextReads(std::uint32_t count) {
  std::lock_guard<std::mutex> hold(lock_);
  fail_reads_ = count;
}

void Controller::ShortNextReads(std::uint32_t count, std::uint32_t short_by) {
  std::lock_guard<std::mutex> hold(lock_);
  short_reads_ = count;
  short_by_ = short_by;
}

void Controller::FailNextWrites(std::uint32_t count) {
  std::lock_guard<std::mutex> hold(lock_);
  fail_writes_ = count;
}

void Controller::StallNextRead(std::uint32_t ms) {
  std::lock_guard<std::mutex> hold(lock_);
  stall_ms_ = ms;
}

void Controller::VanishFor(std::uint32_t ms, int then_as_device) {
  std::lock_guard<std::mutex> hold(lock_);
  Vanish(Now(), ms, then_as_device);
}

void Controller::SetSignature(const std::string& text) {
  std::lock_guard<std::mutex> hold(lock_);
  signature_ = text;
}

int Controller::DeviceNumber() const {
  std::lock_guard<std::mutex> hold(lock_);
  return device_number_;
}

std::vector<ReceivedPacket> Controller::Packets() const {
  std::lock_guard<std::mutex> hold(lock_);
  return packets_;
}

std::vector<ReceivedPacket> Controller::TakePackets() {
  std::lock_guard<std::mutex> hold(lock_);
  std::vector<ReceivedPacket> taken;
  taken.swap(packets_);
  return taken;
}

AudioUnit Controller::Unit() const {
  std::lock_guard<std::mutex> hold(lock_);
  return unit_;
}

LcdImage Controller::Screen() const {
  std::lock_guard<std::mutex> hold(lock_);
  return DrawNow(Now());
}

}  // namespace sim
