// The reader of recordings: the header, then record by record, each checked before it is decoded
// and each event read through a cursor that never steps past its block. Start reading at
// ReadRecording.
#include <zlib.h>
#include <zstd.h>

#include <fstream>
#include <iterator>

#include "platform/recorder/recording_format.h"
#include "platform/recording_file.h"

namespace platform {
namespace recorder {
namespace {

// The bytes of one decoded block; a read past its end sets failed and answers 0.
struct Cursor {
  const std::uint8_t* at;
  const std::uint8_t* end;
  bool failed = false;

  std::uint8_t Byte() {
    if (at >= end) return Fail();
    return *at++;
  }
  std::uint64_t Varint() {
    std::uint64_t value = 0;
    for (int shift = 0; shift < 64; shift += 7) {
      const std::uint8_t byte = Byte();
      if (failed) return 0;
      value |= std::uint64_t{byte & 0x7Fu} << shift;
      if ((byte & 0x80) == 0) return value;
    }
    return Fail();
  }
  std::uint32_t Varint32() {
    const std::uint64_t value = Varint();
    return value > 0xFFFFFFFFu ? Fail() : static_cast<std::uint32_t>(value);
  }
  bool Bytes(std::vector<std::uint8_t>* out, std::size_t limit) {
    const std::uint64_t size = Varint();
    if (failed || size > limit || size > static_cast<std::uint64_t>(end - at)) return Fail();
    out->assign(at, at + size);
    at += size;
    return true;
  }
  bool Text(std::string* out) {
    std::vector<std::uint8_t> bytes;
    if (!Bytes(&bytes, 4096)) return false;
    out->assign(bytes.begin(), bytes.end());
    return true;
  }
  std::uint8_t Fail() {
    failed = true;
    at = end;
    return 0;
  }
};

// The last read of each device and place in the block, for reads kept as "the same again".
struct LastRead {
  bool valid = false;
  std::uint64_t sector = 0;
  std::uint32_t sector_count = 0;
  std::vector<std::uint8_t> data;
};

bool DecodeTransfer(Cursor& in, RecordedEvent& event, LastRead* last_reads) {
  event.device = in.Byte();
  event.write = in.Byte() != 0;
  event.sector = in.Varint();
  event.sector_count = in.Varint32();
  event.ok = in.Byte() != 0;
  event.moved = in.Varint32();
  const std::uint8_t form = in.Byte();
  if (in.failed || event.device < 1 || event.device > 5) return false;
  LastRead& last = last_reads[event.device];
  if (form == static_cast<std::uint8_t>(DataForm::SameAsLastRead)) {
    if (event.write || !last.valid || last.sector != event.sector ||
        last.sector_count != event.sector_count) {
      return false;
    }
    event.data = last.data;
  } else if (form == static_cast<std::uint8_t>(DataForm::Bytes)) {
    if (!in.Bytes(&event.data, RecordingMaxBlockBytes)) return false;
  } else if (form != static_cast<std::uint8_t>(DataForm::None)) {
    return false;
  }
  if (!event.write) last = LastRead{true, event.sector, event.sector_count, event.data};
  return true;
}

bool DecodeState(Cursor& in, RecordedEvent& event) {
  event.kind = RecordedKind::State;
  // Every entry takes at least one byte, so a count beyond the bytes left is damage.
  const std::uint64_t timers = in.Varint();
  if (in.failed || timers > static_cast<std::uint64_t>(in.end - in.at)) return false;
  for (std::uint64_t i = 0; i < timers && !in.failed; ++i) {
    RecordedTimer timer;
    in.Text(&timer.window_class);
    timer.id = in.Varint();
    timer.interval_ms = in.Varint32();
    event.timers.push_back(std::move(timer));
  }
  const std::uint64_t devices = in.Varint();
  if (in.failed || devices > static_cast<std::uint64_t>(in.end - in.at)) return false;
  for (std::uint64_t i = 0; i < devices && !in.failed; ++i) {
    RecordedDevice device;
    device.device = in.Byte();
    device.sectors = in.Varint();
    if (device.device < 1 || device.device > 5) return false;
    event.open_devices.push_back(device);
  }
  return !in.failed && in.Bytes(&event.data, RecordingMaxStateBytes);
}

bool DecodeEvent(Cursor& in, std::int64_t* time, RecordedEvent& event, LastRead* last_reads) {
  const std::uint8_t kind = in.Byte();
  const std::uint64_t delta = in.Varint();
  if (in.failed || delta > (std::uint64_t{1} << 40)) return false;
  *time += static_cast<std::int64_t>(delta);
  event.ms = *time;
  switch (static_cast<EventKind>(kind)) {
    case EventKind::Open:
      event.kind = RecordedKind::Open;
      event.device = in.Byte();
      event.ok = in.Byte() != 0;
      event.sector = in.Varint();
      return !in.failed && event.device >= 1 && event.device <= 5;
    case EventKind::Close:
      event.kind = RecordedKind::Close;
      event.device = in.Byte();
      return !in.failed && event.device >= 1 && event.device <= 5;
    case EventKind::Transfer:
      event.kind = RecordedKind::Transfer;
      return DecodeTransfer(in, event, last_reads);
    case EventKind::Input:
      event.kind = RecordedKind::Input;
      in.Text(&event.text);
      event.message = in.Varint32();
      event.wparam = in.Varint();
      event.lparam = UnZigZag(in.Varint());
      return !in.failed;
    case EventKind::Shown:
      event.kind = RecordedKind::Shown;
      in.Text(&event.text);
      event.ok = in.Byte() != 0;
      return !in.failed;
    case EventKind::Raised:
      event.kind = RecordedKind::Raised;
      return in.Text(&event.text);
    case EventKind::Log:
      event.kind = RecordedKind::Log;
      return in.Text(&event.text);
    case EventKind::Clock: {
      event.kind = RecordedKind::Clock;
      WORD* fields[] = {&event.time.wYear,   &event.time.wMonth,       &event.time.wDayOfWeek,
                        &event.time.wDay,    &event.time.wHour,        &event.time.wMinute,
                        &event.time.wSecond, &event.time.wMilliseconds};
      for (WORD* field : fields) {
        const std::uint32_t value = in.Varint32();
        if (value > 0xFFFF) return false;
        *field = static_cast<WORD>(value);
      }
      return !in.failed;
    }
    case EventKind::Timer:
      event.kind = RecordedKind::Timer;
      in.Text(&event.text);
      event.wparam = in.Varint();
      return !in.failed;
    case EventKind::Wake: {
      event.kind = RecordedKind::Wake;
      const std::uint32_t thread = in.Varint32();
      event.thread = static_cast<int>(thread);
      return !in.failed && thread < 0x10000;
    }
    case EventKind::Message:
      event.kind = RecordedKind::Message;
      in.Text(&event.text);
      event.message = in.Varint32();
      return !in.failed;
    case EventKind::State:
      return DecodeState(in, event);
    case EventKind::Card:
      event.kind = RecordedKind::Card;
      in.Text(&event.text);
      event.write = in.Byte() != 0;
      event.ok = in.Byte() != 0;
      event.moved = in.Varint32();
      return !in.failed && in.Bytes(&event.data, RecordingMaxCardFileBytes);
  }
  return false;
}

std::string At(std::size_t offset) { return "offset " + std::to_string(offset) + ": "; }

bool ReadHeader(const std::uint8_t* data, std::size_t size, Recording* recording,
                std::string* error) {
  if (size < sizeof RecordingMagic || std::memcmp(data, RecordingMagic, sizeof RecordingMagic)) {
    *error = At(0) + "expected \"QUELTREC\": this is not a flight recording";
    return false;
  }
  if (size < HeaderSizeAt + 2) {
    *error = At(size) + "expected the format version; the file ends";
    return false;
  }
  recording->format_version = static_cast<std::uint16_t>(GetLe(data + HeaderVersionAt, 2));
  if (recording->format_version == 0 || recording->format_version > RecordingFormatVersion) {
    *error = At(HeaderVersionAt) + "expected format version 1 to " +
             std::to_string(RecordingFormatVersion) + ", found " +
             std::to_string(recording->format_version) + " (written by a newer program?)";
    return false;
  }
  if (size < RecordingHeaderBytes) {
    *error = At(size) + "expected a header of 128 bytes; the file ends";
    return false;
  }
  const std::uint64_t header_size = GetLe(data + HeaderSizeAt, 2);
  if (header_size != RecordingHeaderBytes) {
    *error = At(HeaderSizeAt) + "expected header size 128, found " + std::to_string(header_size);
    return false;
  }
  const std::uint32_t check = static_cast<std::uint32_t>(GetLe(data + HeaderCheckAt, 4));
  if (check != crc32(0, data, HeaderCheckAt)) {
    *error = At(HeaderCheckAt) + "expected the header's check value; the header is damaged";
    return false;
  }
  auto text = [&](std::size_t at, std::size_t bytes) {
    const char* start = reinterpret_cast<const char*>(data + at);
    return std::string(start, strnlen(start, bytes));
  };
  recording->replayable = recording->format_version >= RecordingReplayableVersion;
  recording->budget_bytes = static_cast<std::uint32_t>(GetLe(data + HeaderBudgetAt, 4));
  recording->minutes = static_cast<std::uint32_t>(GetLe(data + HeaderMinutesAt, 4));
  recording->records_given_up = static_cast<std::uint32_t>(GetLe(data + HeaderGivenUpAt, 4));
  recording->start_ms = static_cast<std::int64_t>(GetLe(data + HeaderStartMsAt, 8));
  recording->wall_start_ms = static_cast<std::int64_t>(GetLe(data + HeaderWallStartAt, 8));
  recording->saved_ms = static_cast<std::int64_t>(GetLe(data + HeaderSavedMsAt, 8));
  recording->reason = text(HeaderReasonAt, HeaderReasonBytes);
  recording->program_version = text(HeaderVersionTextAt, HeaderVersionTextBytes);
  recording->link_devices = text(HeaderDevicesAt, HeaderDevicesBytes);
  return true;
}

// One record at offset; false with *error for damage. *torn when the file ends inside it.
bool ReadRecord(const std::uint8_t* data, std::size_t size, std::size_t* offset,
                Recording* recording, bool* torn, std::string* error) {
  const std::size_t start = *offset;
  const std::uint8_t* record = data + start;
  const std::size_t left = size - start;
  if (left >= sizeof RecordTag && std::memcmp(record, RecordTag, sizeof RecordTag) != 0) {
    *error = At(start) + "expected a record (\"QREC\")";
    return false;
  }
  if (left < RecordHeaderBytes) {
    *torn = true;
    return true;
  }
  const std::uint8_t encoding = record[4];
  const std::uint64_t stored = GetLe(record + 8, 4);
  const std::uint64_t raw = GetLe(record + 12, 4);
  const std::uint64_t events = GetLe(record + 16, 4);
  std::int64_t time = static_cast<std::int64_t>(GetLe(record + 20, 8));
  if (stored + RecordHeaderBytes + RecordCheckBytes > left) {
    *torn = true;
    return true;
  }
  const std::uint32_t check =
      static_cast<std::uint32_t>(GetLe(record + RecordHeaderBytes + stored, 4));
  if (check != crc32(0, record, static_cast<uInt>(RecordHeaderBytes + stored))) {
    // The last record of a file cut while it was written is torn, not damaged.
    if (start + RecordHeaderBytes + stored + RecordCheckBytes == size) {
      *torn = true;
      return true;
    }
    *error = At(start) + "expected the record's check value; the record is damaged";
    return false;
  }
  if (encoding > 1 || raw > RecordingMaxBlockBytes || (encoding == 0 && raw != stored)) {
    *error = At(start + 4) + "expected a stored or zstd block of at most 128 KiB";
    return false;
  }
  std::vector<std::uint8_t> block(static_cast<std::size_t>(raw));
  if (encoding == 1) {
    const std::size_t decoded =
        ZSTD_decompress(block.data(), block.size(), record + RecordHeaderBytes, stored);
    if (ZSTD_isError(decoded) || decoded != raw) {
      *error = At(start + RecordHeaderBytes) + "expected a zstd frame of " + std::to_string(raw) +
               " bytes";
      return false;
    }
  } else if (raw > 0) {
    std::memcpy(block.data(), record + RecordHeaderBytes, raw);
  }
  Cursor in{block.data(), block.data() + block.size()};
  LastRead last_reads[6];
  for (std::uint64_t i = 0; i < events; ++i) {
    RecordedEvent event{};
    if (!DecodeEvent(in, &time, event, last_reads)) {
      *error = At(start) + "expected " + std::to_string(events) + " events in the record; event " +
               std::to_string(i + 1) + " is malformed";
      return false;
    }
    recording->events.push_back(std::move(event));
  }
  *offset = start + RecordHeaderBytes + stored + RecordCheckBytes;
  return true;
}

}  // namespace
}  // namespace recorder

using namespace recorder;

bool ReadRecording(const std::uint8_t* data, std::size_t size, Recording* recording,
                   std::string* error) {
  *recording = Recording{};
  if (!ReadHeader(data, size, recording, error)) return false;
  std::size_t offset = RecordingHeaderBytes;
  while (offset < size) {
    bool torn = false;
    const std::size_t events_before = recording->events.size();
    if (!ReadRecord(data, size, &offset, recording, &torn, error)) return false;
    if (torn) {
      recording->events.resize(events_before);
      recording->truncated = At(offset) + "the last record is cut short (" +
                             std::to_string(size - offset) +
                             " bytes); the events before it were read";
      break;
    }
  }
  return true;
}

bool ReadRecordingFile(const std::string& path, Recording* recording, std::string* error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    *error = "cannot open " + path;
    return false;
  }
  const std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                        std::istreambuf_iterator<char>());
  return ReadRecording(bytes.data(), bytes.size(), recording, error);
}

}  // namespace platform
