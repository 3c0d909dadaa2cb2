// The command queue: two pending packets at most, oldest first. The main thread appends touch,
// heartbeat and key packets while the link thread appends its start-up packets and takes the head,
// so every change of the queue runs whole under its lock.
#include "link/command_queue.h"

#include <cstring>
#include <mutex>

#include "link/sector_transfer.h"

namespace {

// Two pending packets; a third lands in the spare slot beyond the count and is never sent.
constexpr std::uint8_t PendingLimit = 2;

}  // namespace

void QueueCommand(const CommandPacket& packet) {
  CommandQueueRecord& queue = Panel.CommandQueue;
  std::lock_guard<std::mutex> guard(queue.lock);
  std::memcpy(queue.slots[queue.count], packet.data(), packet.size());
  if (queue.count < PendingLimit) ++queue.count;
}

bool CommandPending() {
  CommandQueueRecord& queue = Panel.CommandQueue;
  std::lock_guard<std::mutex> guard(queue.lock);
  return queue.count != 0;
}

int TransmitCommand() {
  if (Panel.LinkConnected != 1) return 0;
  {
    CommandQueueRecord& queue = Panel.CommandQueue;
    std::lock_guard<std::mutex> guard(queue.lock);
    std::memcpy(Panel.CommandSectorImage, queue.slots[0], CommandSentBytes);
    std::memcpy(queue.slots[0], queue.slots[1], CommandSentBytes);
    std::memcpy(queue.slots[1], queue.slots[2], CommandSentBytes);
    if (queue.count != 0) --queue.count;
  }
  // The packet left the queue before the write: a write that fails loses it, and the next poll
  // tick reconnects.
  if (WriteCommandSector()) return 1;
  Panel.LinkConnected = 0;
  return 0;
}

void SendStartupCommands() {
  QueueCommand(StartupPacket1);
  TransmitCommand();
  Sleep(100);
  QueueCommand(StartupPacket2);
  TransmitCommand();
  Sleep(100);
  Panel.UsbAudioBit = 0;
  QueueCommand(StartupPacket3);
  TransmitCommand();
  Sleep(300);
  Panel.UsbAudioBit = 0;
  QueueCommand(StartupPacket4);
  TransmitCommand();
}
