// What the soak learns while the program runs, through the calls it wraps at link time (see
// wrapped_calls.cpp): the packets queued, every transfer with the device and its outcome, the
// start-up sequence, and each paint and refresh of the main window. It keeps the independent
// records (the packet ledger, the reassembled LCD, the reference screen), checks what can be
// checked at the moment of the call, and keeps the first failure with its virtual time.
#pragma once

#include <cstdint>
#include <string>
#include <thread>

#include "platform/win32.h"
#include "tests/soak/lcd_reference.h"
#include "tests/soak/packet_ledger.h"
#include "tests/soak/reference_screen.h"

struct LinkWatch {
  bool up = false;
  std::int64_t down_since_ms = 0;  // the program starts without a link
  std::int64_t up_since_ms = 0;
  int variant = 0;  // from the last signature read: 0 for ...0001, 1 for ...0002
  std::uint64_t recoveries = 0;
};

// Opens and transfers counted, so that the soak knows when an injected fault that waits for them
// has been used up, and at which virtual time the count it waits for was reached (-1: not yet).
struct TransferCounts {
  std::uint64_t opens = 0;
  std::uint64_t reads = 0;
  std::uint64_t writes = 0;
  std::uint64_t opens_awaited = 0;
  std::uint64_t reads_awaited = 0;
  std::int64_t opens_reached_ms = 0;
  std::int64_t reads_reached_ms = 0;
};

struct CheckCounts {
  std::uint64_t screens_after_refresh = 0;
  std::uint64_t screens_after_paint = 0;
  std::uint64_t matrices = 0;
  std::uint64_t stream_reads = 0;
  std::uint64_t status_reads = 0;
  std::uint64_t failed_reads = 0;  // failed or short exchange reads
  std::uint64_t probes = 0;
};

class SoakObserver {
 public:
  explicit SoakObserver(ReferenceScreen* screen) : screen_(screen) {}

  // ---- From the wrapped calls, on the program's threads ----
  void Queued(const std::uint8_t* produced);
  void StartupBegins();
  void SleptOnThisThread();
  void StartupEnds();
  void Opened();
  void Transferred(DWORD control_code, const SG_REQ& request, BOOL succeeded, DWORD bytes);
  void Painted();
  void Refreshed();

  // ---- For the soak's own thread, between steps ----
  void Fail(const std::string& what);
  // Notes the virtual time at which the counts of opens and reads reach these numbers.
  void AwaitTransfers(std::uint64_t opens, std::uint64_t reads);
  bool failed() const { return !failure_.empty(); }
  const std::string& failure() const { return failure_; }
  PacketLedger& ledger() { return ledger_; }
  const PacketLedger& ledger() const { return ledger_; }
  const LinkWatch& link() const { return link_; }
  const TransferCounts& transfers() const { return transfers_; }
  const CheckCounts& checks() const { return checks_; }
  const LcdReference& lcd() const { return lcd_; }

 private:
  void CheckScreen(std::uint64_t* count, const char* after);
  void LinkLost();

  ReferenceScreen* screen_;
  PacketLedger ledger_;
  LcdReference lcd_;
  LinkWatch link_;
  TransferCounts transfers_;
  CheckCounts checks_;
  std::string failure_;
  // The start-up sequence: four packets, each queued right after the previous one's pause.
  int startup_packets_queued_ = 0;
  std::thread::id startup_thread_;

 public:
  // When the device can be reached again after the current fault (virtual ms), or -1 while that
  // is not yet known; the soak's driver keeps it.
  std::int64_t device_back_ms = 0;
};

// The observer that the wrapped calls report to; null when nobody watches.
void SetSoakObserver(SoakObserver* observer);
SoakObserver* ActiveSoakObserver();
