// The replay: the "replay" link device backend, which walks the recorded device events in order
// (opens, transfers, closes) and answers each call of the program with the recorded result, and
// the controller loop that, in virtual time, fires the program's timers, ends its sleeps and
// injects the recorded input in the recorded order; a thread that posted to another waits for
// its message when the recording has it taken up before the poster's next write. Start reading
// at ReplayRecording.
#include "platform/replay.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <mutex>
#include <set>

#include "platform/block_device.h"
#include "platform/core/civil_time.h"
#include "platform/core/core_state.h"
#include "platform/internal/module_interfaces.h"
#include "platform/recorder/recorder_state.h"
#include "platform/testing.h"
#include "platform/testing_display.h"

namespace platform {
namespace {

struct ReplayDevice {
  int number;
  std::uint64_t sectors;
};

// The events a replay runs through: all of a recording's, or those after the state it starts
// from.
struct EventRange {
  const RecordedEvent* first;
  const RecordedEvent* last;  // one past
  const RecordedEvent* begin() const { return first; }
  const RecordedEvent* end() const { return last; }
};

// The walks over the recorded device events, shared by the backend's calls (link thread) and the
// controller: opens, reads and closes in one order, the writes in their own. What threads did to
// each other within microseconds inside one handler is not recorded, so a packet may leave one
// poll later than recorded; the packets themselves, and their order, do not change.
struct DeviceReplay {
  std::mutex lock;
  std::vector<const RecordedEvent*> events;
  std::size_t next = 0;
  std::vector<const RecordedEvent*> writes;
  std::size_t next_write = 0;
  // Per write, the posted messages the recording has dispatched before it: another thread's
  // handler may have queued what it sends (see PostedToAnotherThread).
  std::vector<std::size_t> messages_before_write;
  // Per write, whether the handler of such a message was still under way at it (see
  // HandlerRanPastWrite).
  std::vector<bool> handler_ran_past_write;
  std::vector<std::size_t> messages_before_step;  // the same for the timers, wakes and input
  std::size_t next_step = 0;                      // the first the controller has not released
  std::size_t messages_at_start = 0;
  // The devices a resumed program had open: its opens of them are answered from here.
  std::vector<RecordedDevice> resumed_devices;
  std::int64_t recording_start_ms = 0;  // what "recorded at" counts from, as print does
  int waiting_thread = -1;              // the thread that waits for messages, or -1
  std::size_t waiting_for = 0;          // until this many were dispatched
  ReplayResult* result = nullptr;
};

DeviceReplay& Replay() {
  static DeviceReplay replay;
  return replay;
}

std::string DeviceName(int number) { return "DSK" + std::to_string(number) + ":"; }

std::string DescribeTransfer(bool write, int device, std::uint64_t sector, std::uint32_t count) {
  return std::string(write ? "a write of " : "a read of ") + std::to_string(count) +
         " sector(s) at " + std::to_string(sector) + " on " + DeviceName(device);
}

std::string DescribeEvent(const RecordedEvent& event) {
  switch (event.kind) {
    case RecordedKind::Open:
      return "an open of " + DeviceName(event.device);
    case RecordedKind::Close:
      return "a close of " + DeviceName(event.device);
    default:
      return DescribeTransfer(event.write, event.device, event.sector, event.sector_count);
  }
}

// " (recorded at N ms)" for an event at monotonic time ms.
std::string RecordedAt(const DeviceReplay& replay, std::int64_t ms) {
  return " (recorded at " + std::to_string(ms - replay.recording_start_ms) + " ms)";
}

// The first difference only; later calls are answered with failures, so the run ends quietly.
void NoteDifference(DeviceReplay& replay, const std::string& what,
                    std::vector<std::uint8_t> recorded = {},
                    std::vector<std::uint8_t> program = {}) {
  ReplayResult& result = *replay.result;
  if (result.differs) return;
  result.differs = true;
  result.difference_ms = NowMs();
  result.difference = what;
  result.recorded_bytes = std::move(recorded);
  result.program_bytes = std::move(program);
}

bool IsWrite(const RecordedEvent& event) {
  return event.kind == RecordedKind::Transfer && event.write;
}

bool IsDeviceCall(const RecordedEvent& event) {
  return event.kind == RecordedKind::Open || event.kind == RecordedKind::Transfer ||
         event.kind == RecordedKind::Close;
}

bool IsWindowEvent(const RecordedEvent& event) {
  return event.kind == RecordedKind::Shown || event.kind == RecordedKind::Raised;
}

// A handler's first window shown or brought forward comes after the write at `index`, none
// between the call before it and it: the handler was still under way when the packet left the
// queue, so what it queued went out later.
bool HandlerRanPastWrite(const EventRange& events, const RecordedEvent* write) {
  for (const RecordedEvent* before = write; before-- != events.first && !IsDeviceCall(*before);) {
    if (IsWindowEvent(*before)) return false;
  }
  for (const RecordedEvent* after = write + 1; after != events.last && !IsDeviceCall(*after);
       ++after) {
    if (IsWindowEvent(*after)) return true;
  }
  return false;
}

// What the controller releases: timers, wakes and input.
bool IsStep(const RecordedEvent& event) {
  return event.kind == RecordedKind::Input || event.kind == RecordedKind::Timer ||
         event.kind == RecordedKind::Wake;
}

// Opens, reads and closes: what the device answers, in the order the link thread asks.
bool IsDeviceAnswer(const RecordedEvent& event) {
  return !IsWrite(event) &&
         (event.kind == RecordedKind::Open || event.kind == RecordedKind::Transfer ||
          event.kind == RecordedKind::Close);
}

// The next device event, when it is of the kind the program's call asks for; else the difference
// is noted and null returned. Closes the program makes out of turn are let pass.
const RecordedEvent* Expect(DeviceReplay& replay, RecordedKind kind, const std::string& call) {
  if (replay.result->differs) return nullptr;
  while (replay.next < replay.events.size() &&
         replay.events[replay.next]->kind == RecordedKind::Close && kind != RecordedKind::Close) {
    ++replay.next;
  }
  // Past the recording's end the device is gone, as far as the replay can tell.
  if (replay.next >= replay.events.size()) return nullptr;
  const RecordedEvent* event = replay.events[replay.next];
  if (event->kind != kind) {
    if (kind != RecordedKind::Close) {
      NoteDifference(replay,
                     "the program made " + call + "; the recording has " + DescribeEvent(*event));
    }
    return nullptr;
  }
  ++replay.next;
  return event;
}

void* OpenReplayDevice(const char*, int device_number) {
  DeviceReplay& replay = Replay();
  std::lock_guard<std::mutex> hold(replay.lock);
  for (auto open = replay.resumed_devices.begin(); open != replay.resumed_devices.end(); ++open) {
    if (open->device != device_number) continue;
    auto* device = new ReplayDevice{device_number, open->sectors};
    replay.resumed_devices.erase(open);
    return device;
  }
  const std::string call = "an open of " + DeviceName(device_number);
  const RecordedEvent* event = Expect(replay, RecordedKind::Open, call);
  if (!event) return nullptr;
  if (event->device != device_number) {
    NoteDifference(replay,
                   "the program made " + call + "; the recording has " + DescribeEvent(*event));
    return nullptr;
  }
  return event->ok ? new ReplayDevice{device_number, event->sector} : nullptr;
}

std::uint64_t ReplaySectorCount(void* device) {
  return static_cast<ReplayDevice*>(device)->sectors;
}

const RecordedEvent* ExpectRead(DeviceReplay& replay, const ReplayDevice& device,
                                std::uint64_t first, std::uint32_t count) {
  const std::string call = DescribeTransfer(false, device.number, first, count);
  const RecordedEvent* event = Expect(replay, RecordedKind::Transfer, call);
  if (!event) return nullptr;
  if (event->device != device.number || event->sector != first || event->sector_count != count) {
    NoteDifference(replay,
                   "the program made " + call + "; the recording has " + DescribeEvent(*event));
    return nullptr;
  }
  return event;
}

bool ReadReplayDevice(void* device, std::uint64_t first, std::uint32_t count, std::uint8_t* data,
                      std::uint32_t* moved) {
  DeviceReplay& replay = Replay();
  std::lock_guard<std::mutex> hold(replay.lock);
  *moved = 0;
  const RecordedEvent* event =
      ExpectRead(replay, *static_cast<ReplayDevice*>(device), first, count);
  if (!event) return false;
  const std::size_t room = std::size_t{count} * BlockSectorBytes;
  // A failed read was recorded without data.
  if (!event->data.empty())
    std::memcpy(data, event->data.data(), std::min(room, event->data.size()));
  *moved = event->moved;
  ++replay.result->reads_answered;
  return event->ok;
}

std::size_t MessagesDispatched(const DeviceReplay& replay) {
  return recorder::Recorder().messages_dispatched.load() - replay.messages_at_start;
}

// Lock held: the calling thread of the program sleeps until `target` messages were dispatched,
// which the controller watches for (ReleaseWaitingThread).
void WaitForMessages(std::unique_lock<std::mutex>& hold, DeviceReplay& replay, std::size_t target) {
  const int thread = core::ProgramThreadNumber();
  while (thread >= 0 && !replay.result->differs && MessagesDispatched(replay) < target) {
    replay.waiting_thread = thread;
    replay.waiting_for = target;
    hold.unlock();
    Sleep(0xFFFFFFFF);
    hold.lock();
    replay.waiting_thread = -1;
  }
}

bool WriteReplayDevice(void* device, std::uint64_t first, std::uint32_t count,
                       const std::uint8_t* data, std::uint32_t* moved) {
  DeviceReplay& replay = Replay();
  std::lock_guard<std::mutex> hold(replay.lock);
  *moved = 0;
  const auto& open = *static_cast<ReplayDevice*>(device);
  // Past the last recorded packet the device is gone, as far as the replay can tell.
  if (replay.result->differs || replay.next_write >= replay.writes.size()) return false;
  const RecordedEvent* event = replay.writes[replay.next_write];
  if (event->device != open.number || event->sector != first || event->sector_count != count) {
    NoteDifference(replay, "the program made " + DescribeTransfer(true, open.number, first, count) +
                               "; the recording has " + DescribeEvent(*event));
    return false;
  }
  ++replay.next_write;
  const std::vector<std::uint8_t> written(data, data + std::size_t{count} * BlockSectorBytes);
  ++replay.result->writes_compared;
  if (written != event->data) {
    NoteDifference(replay,
                   "the program wrote other bytes in " +
                       DescribeTransfer(true, event->device, first, count) + " than recorded",
                   event->data, written);
    return false;
  }
  *moved = event->moved;
  return event->ok;
}

void CloseReplayDevice(void* device) {
  DeviceReplay& replay = Replay();
  auto* open = static_cast<ReplayDevice*>(device);
  {
    std::lock_guard<std::mutex> hold(replay.lock);
    Expect(replay, RecordedKind::Close, "a close of " + DeviceName(open->number));
  }
  delete open;
}

constexpr BlockDeviceBackend ReplayBackend = {OpenReplayDevice, ReplaySectorCount, ReadReplayDevice,
                                              WriteReplayDevice, CloseReplayDevice};

// Each file the program read from the card goes onto the new card as it first read it, when it
// was kept whole; a file it found missing is removed from the card.
void PrepareCard(const EventRange& events, const std::string& folder) {
  setenv("QUELT_STORAGE_CARD", folder.c_str(), 1);
  std::set<std::string> placed;
  for (const RecordedEvent& event : events) {
    if (event.kind != RecordedKind::Card || event.write || !placed.insert(event.text).second) {
      continue;
    }
    std::string host_path;
    if (!MapStoragePath(event.text, &host_path)) continue;
    if (!event.ok) {
      std::remove(host_path.c_str());
      continue;
    }
    if (event.data.size() != event.moved) continue;
    std::ofstream(host_path, std::ios::binary)
        .write(reinterpret_cast<const char*>(event.data.data()),
               static_cast<std::streamsize>(event.data.size()));
  }
}

// The local time at base_ms, from the recording's first clock event.
SYSTEMTIME StartLocalTime(const Recording& recording, std::int64_t base_ms) {
  for (const RecordedEvent& event : recording.events) {
    if (event.kind == RecordedKind::Clock) {
      return core::CivilTime(core::CivilMs(event.time) - (event.ms - base_ms));
    }
  }
  return LocalTime(2026, 1, 1, 12, 0, 0);
}

HWND FindWindowOfClass(const std::string& class_name) {
  HWND found = nullptr;
  ForEachWindow([&](const WindowInfo& info) {
    if (!found && info.top_level && Utf8FromWide(info.class_name) == class_name) {
      found = info.handle;
    }
  });
  return found;
}

// What decides the order of the program's threads: a timer firing, a Sleep ending, input
// arriving. Each is released in the recorded order, at its recorded time, once the device events
// recorded before it were answered; between two of them the program runs until every thread
// waits again.
struct Step {
  const RecordedEvent* event;
  std::size_t device_events;  // opens, reads and closes recorded before it
  std::size_t device_calls;   // those and the writes
  std::int64_t recorded_ms;   // since the recording started
};

std::vector<Step> PlanSteps(const EventRange& events, std::int64_t base_ms) {
  std::vector<Step> steps;
  std::size_t device_events = 0, device_calls = 0;
  for (const RecordedEvent& event : events) {
    if (IsStep(event)) {
      steps.push_back(Step{&event, device_events, device_calls, event.ms - base_ms});
    }
    device_events += IsDeviceAnswer(event) ? 1 : 0;
    device_calls += IsDeviceAnswer(event) || IsWrite(event) ? 1 : 0;
  }
  return steps;
}

// True when the program, standing still, has not made every device call recorded before
// `device_events`; the first missing one is then the difference.
bool NoteMissingCall(DeviceReplay& replay, std::size_t device_events, std::int64_t base_ms) {
  std::lock_guard<std::mutex> hold(replay.lock);
  if (replay.result->differs) return true;
  if (replay.next >= device_events) return false;
  const RecordedEvent& missing = *replay.events[replay.next];
  NoteDifference(replay, "the program did not make " + DescribeEvent(missing) +
                             RecordedAt(replay, missing.ms));
  // The replay's clock runs on the recording's: the call was missed when it was recorded.
  replay.result->difference_ms = std::min(replay.result->difference_ms, missing.ms - base_ms);
  return true;
}

void InjectInput(const RecordedEvent& event, ReplayResult* result) {
  const HWND window = FindWindowOfClass(event.text);
  if (window && IsWindowEnabled(window) &&
      PostMessageW(window, event.message, static_cast<WPARAM>(event.wparam),
                   static_cast<LPARAM>(event.lparam))) {
    ++result->inputs_injected;
  }
}

// The run's thread a timer or wake step releases; -1 for input, and for a timer the program has
// not set.
int StepThread(const Step& step) {
  switch (step.event->kind) {
    case RecordedKind::Wake:
      return step.event->thread;
    case RecordedKind::Timer:
      return TimerThread(step.event->text, step.event->wparam);
    default:
      return -1;
  }
}

// Timers and wakes of different threads that no device call separates in the recording were
// under way together: they are released together, so that none of those threads runs on past a
// device call before the others started. Input is released on its own, after what came before
// it has run.
bool JoinsBatch(const Step& step, const Step& first, const std::vector<int>& threads) {
  if (step.device_calls != first.device_calls || first.event->kind == RecordedKind::Input) {
    return false;
  }
  const int thread = StepThread(step);
  return thread >= 0 && std::find(threads.begin(), threads.end(), thread) == threads.end();
}

// Lets a thread that waited for messages go on once they were dispatched, as often as the
// program, running on, waits again.
void ReleaseWaitingThread(DeviceReplay& replay) {
  for (;;) {
    int thread = -1;
    {
      std::lock_guard<std::mutex> hold(replay.lock);
      if (replay.waiting_thread < 0 ||
          (!replay.result->differs && MessagesDispatched(replay) < replay.waiting_for)) {
        return;
      }
      thread = replay.waiting_thread;
    }
    if (!ReleaseSleep(thread)) return;
    AdvanceVirtualTime(0);
  }
}

// Whether the thread sleeps for messages rather than in a Sleep of its own.
bool WaitsForMessages(DeviceReplay& replay, int thread) {
  std::lock_guard<std::mutex> hold(replay.lock);
  return replay.waiting_thread == thread;
}

// Fires the step's timer, ends its Sleep or posts its input; false when the program has no such
// timer or sleeping thread, which is then the difference.
bool ReleaseStep(DeviceReplay& replay, const Step& step) {
  const RecordedEvent& event = *step.event;
  std::string missing;
  if (event.kind == RecordedKind::Input) {
    InjectInput(event, replay.result);
  } else if (event.kind == RecordedKind::Timer) {
    if (!ReleaseTimer(event.text, event.wparam)) {
      missing = "timer " + std::to_string(event.wparam) + " of " +
                (event.text.empty() ? "the thread" : event.text) +
                " fire; the program has no such timer";
    }
  } else if (WaitsForMessages(replay, event.thread) || !ReleaseSleep(event.thread)) {
    missing = "thread " + std::to_string(event.thread) +
              " end a Sleep; the program's thread is not asleep";
  }
  if (missing.empty()) return true;
  std::lock_guard<std::mutex> hold(replay.lock);
  NoteDifference(replay, "the recording has " + missing + RecordedAt(replay, step.event->ms));
  return false;
}

}  // namespace

// The link thread's messages to the main thread: when the recording has the poster's next write
// before its next read (the packet went out in this poll) and the message taken up before that
// write, the main thread most likely handled it before the poster took the packet from the queue
// they share, so the poster waits here, right after posting, until one more message was taken
// up; not when the handler was seen still at work after the write. A message the recording has
// taken up only after a timer, wake or input still to be released (the main thread was asleep,
// say) is not waited for.
void PostedToAnotherThread() {
  DeviceReplay& replay = Replay();
  std::unique_lock<std::mutex> hold(replay.lock);
  if (replay.result == nullptr || !VirtualTimeActive() ||
      replay.next_write >= replay.writes.size() ||
      replay.handler_ran_past_write[replay.next_write]) {
    return;
  }
  // Both walks point into the recording's events, so their order is the recorded one.
  if (replay.next < replay.events.size() &&
      replay.events[replay.next] < replay.writes[replay.next_write]) {
    return;
  }
  std::size_t target =
      std::min(MessagesDispatched(replay) + 1, replay.messages_before_write[replay.next_write]);
  if (replay.next_step < replay.messages_before_step.size()) {
    target = std::min(target, replay.messages_before_step[replay.next_step]);
  }
  WaitForMessages(hold, replay, target);
}

const RecordedEvent* FirstRecordedState(const Recording& recording) {
  for (const RecordedEvent& event : recording.events) {
    if (event.kind == RecordedKind::State) return &event;
  }
  return nullptr;
}

std::string MidSessionNote(const Recording& recording) {
  auto seconds = [&](const RecordedEvent& event) {
    return std::to_string((event.ms - recording.start_ms) / 1000) + " s";
  };
  std::string note = "the recording starts mid-session, " +
                     (recording.events.empty() ? "0 s" : seconds(recording.events.front())) +
                     " after the program started: the recorder gave up its " +
                     std::to_string(recording.records_given_up) + " oldest blocks; ";
  if (const RecordedEvent* state = FirstRecordedState(recording)) {
    return note + "a replay starts from the program's state kept at " + seconds(*state);
  }
  return note + "it keeps no state of the program to start from, so no packet can be compared";
}

void RestoreRecordedTimers(const RecordedEvent& state) {
  for (const RecordedTimer& timer : state.timers) {
    const HWND window = FindWindowOfClass(timer.window_class);
    if (window) SetTimer(window, static_cast<UINT_PTR>(timer.id), timer.interval_ms, nullptr);
  }
}

ReplayResult ReplayRecording(const Recording& recording, const std::function<int()>& program_main,
                             const ReplayOptions& options) {
  ReplayResult result;
  if (!recording.replayable) {
    result.differs = true;
    result.difference = "the recording is of format " + std::to_string(recording.format_version) +
                        ", which does not keep the order of the program's timers and sleeps";
    return result;
  }
  // A recording that starts mid-session replays from its first state, with the events after it.
  const RecordedEvent* state = nullptr;
  if (recording.records_given_up > 0) {
    state = FirstRecordedState(recording);
    if (state == nullptr || !options.resume_main) {
      result.differs = true;
      result.difference = MidSessionNote(recording);
      return result;
    }
  }
  const RecordedEvent* all = recording.events.data();
  const EventRange events{state ? state + 1 : all, all + recording.events.size()};
  const std::int64_t base_ms = state ? state->ms : recording.start_ms;
  result.from_ms = base_ms - recording.start_ms;
  DeviceReplay& replay = Replay();
  {
    std::lock_guard<std::mutex> hold(replay.lock);
    replay.events.clear();
    replay.writes.clear();
    replay.messages_before_write.clear();
    replay.handler_ran_past_write.clear();
    replay.messages_before_step.clear();
    replay.next_step = 0;
    std::size_t messages = 0;
    for (const RecordedEvent& event : events) {
      if (IsWrite(event)) {
        replay.writes.push_back(&event);
        replay.messages_before_write.push_back(messages);
        replay.handler_ran_past_write.push_back(HandlerRanPastWrite(events, &event));
      } else if (IsDeviceAnswer(event)) {
        replay.events.push_back(&event);
      } else if (IsStep(event)) {
        replay.messages_before_step.push_back(messages);
      }
      messages += event.kind == RecordedKind::Message ? 1 : 0;
    }
    replay.next = 0;
    replay.next_write = 0;
    replay.messages_at_start = recorder::Recorder().messages_dispatched.load();
    replay.waiting_thread = -1;
    replay.resumed_devices = state ? state->open_devices : std::vector<RecordedDevice>{};
    replay.recording_start_ms = recording.start_ms;
    replay.result = &result;
  }
  RegisterBlockDeviceBackend("replay", ReplayBackend);
  setenv("QUELT_LINK_DEVICES", "replay,replay,replay,replay,replay", 1);
  PrepareCard(events, options.card_folder);
  testing::ForceHeadlessDisplay();

  const std::vector<Step> steps = PlanSteps(events, base_ms);
  {
    VirtualRunScope run(StartLocalTime(recording, base_ms));
    HoldTimedWaits();
    if (state) {
      StartMainThread([&] { return options.resume_main(*state); });
    } else {
      StartMainThread(program_main);
    }
    std::int64_t next_sample = options.sample_ms;
    // Lets the program run up to `until` (at least until it stands still), sampling on the way.
    // A sample at `until` itself comes before input injected then, as a screen is seen before a
    // finger lands, but after the timers and sleeps of that millisecond.
    auto run_until = [&](std::int64_t until, bool before_input) {
      while (next_sample < until || (before_input && next_sample == until)) {
        AdvanceVirtualTime(std::max<std::int64_t>(next_sample - VirtualNowMs(), 0));
        ReleaseWaitingThread(replay);
        if (options.on_sample) options.on_sample(result.from_ms + next_sample);
        next_sample += options.sample_ms;
      }
      AdvanceVirtualTime(std::max<std::int64_t>(until - VirtualNowMs(), 0));
      ReleaseWaitingThread(replay);
    };
    for (std::size_t next = 0; next < steps.size() && !result.differs;) {
      const Step& first = steps[next];
      run_until(first.recorded_ms, first.event->kind == RecordedKind::Input);
      if (NoteMissingCall(replay, first.device_events, base_ms)) break;
      std::vector<int> threads;
      do {
        threads.push_back(StepThread(steps[next]));
        if (!ReleaseStep(replay, steps[next])) break;
        ++next;
      } while (next < steps.size() && JoinsBatch(steps[next], first, threads));
      std::lock_guard<std::mutex> hold(replay.lock);
      replay.next_step = next;
    }
    if (!result.differs) {
      const std::int64_t last_ms = events.first == events.last ? 0 : events.last[-1].ms - base_ms;
      run_until(last_ms, false);
      NoteMissingCall(replay, replay.events.size(), base_ms);
    }
    // The last two screens after the last event.
    run_until(next_sample + options.sample_ms + 1, false);
    result.replayed_ms = VirtualNowMs();
  }
  {
    std::lock_guard<std::mutex> hold(replay.lock);
    if (!result.differs && replay.next_write < replay.writes.size()) {
      const RecordedEvent& missing = *replay.writes[replay.next_write];
      const std::string what =
          replay.waiting_thread >= 0 ? "dispatch the messages recorded before " : "make ";
      NoteDifference(
          replay,
          "the program did not " + what + DescribeEvent(missing) + RecordedAt(replay, missing.ms),
          missing.data);
      result.difference_ms = result.replayed_ms;
    }
  }
  if (result.differs) result.difference_ms += result.from_ms;
  std::lock_guard<std::mutex> hold(replay.lock);
  replay.result = nullptr;
  replay.events.clear();
  replay.writes.clear();
  // The program's threads are parked; anything of theirs that reaches the backend fails.
  static ReplayResult after_the_run;
  after_the_run.differs = true;
  replay.result = &after_the_run;
  return result;
}

}  // namespace platform
