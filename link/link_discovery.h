// Finding the controller's block device among "DSK1:" to "DSK5:" by the signature in sector 597,
// and getting it back after a failed transfer. Link thread only.
#pragma once

#include "platform/win32.h"

// Pause between two probes, and before the first probe of a reconnect.
constexpr DWORD ProbePauseMs = 200;
// Once this many probes have failed in the life of the link thread, a reconnect probes only once.
constexpr std::uint32_t FailedProbeLimit = 30;

// Opens the device that ProbeNameIndex names, closing any other first.
void ReopenLinkDevice();
// Tries the five names in order and keeps the first device that carries a signature open:
// LinkConnected 1 and LinkVariant set, or LinkConnected 0 and LinkHandle invalid.
void ProbeLinkDevice();
// One probe, counted in FailedProbeCount when it found nothing, then the pause.
void ProbeCountAndPause();
// Closes the device and probes again until it is back or the failed probes exceed the limit.
// Takes at least 400 ms; the caller goes on whatever the outcome.
void ReconnectLink();
