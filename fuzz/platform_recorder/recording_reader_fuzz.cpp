// The recording reader, whatever the file holds: it either refuses with a message that names the
// offset, or answers with events whose sizes stay within what the format allows, and a file cut
// anywhere is read up to a whole record or refused, never more. Input: the file's bytes.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/recording_file.h"

namespace {

[[noreturn]] void Fail(const char* what) {
  std::fprintf(stderr, "recording_reader_fuzz: %s\n", what);
  std::abort();
}

void CheckEvents(const platform::Recording& recording) {
  for (const platform::RecordedEvent& event : recording.events) {
    if (event.data.size() > 128 * 1024) Fail("an event carries more than a block");
    if (event.text.size() > 4096) Fail("a text longer than the format allows");
    if ((event.kind == platform::RecordedKind::Transfer ||
         event.kind == platform::RecordedKind::Open) &&
        (event.device < 1 || event.device > 5)) {
      Fail("a device outside DSK1 to DSK5");
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  platform::Recording recording;
  std::string error;
  if (!platform::ReadRecording(data, size, &recording, &error)) {
    if (error.rfind("offset ", 0) != 0) Fail("a refusal without its offset");
    return 0;
  }
  if (!error.empty()) Fail("an error message beside a recording read");
  CheckEvents(recording);
  // Cut in half, the file yields at most the events it had whole.
  platform::Recording half;
  if (platform::ReadRecording(data, size / 2, &half, &error) &&
      half.events.size() > recording.events.size()) {
    Fail("a cut file gave more events than the whole one");
  }
  return 0;
}
