// How the devices module's files reach each other: the list of link devices, the backends by
// kind of target, and the one-time notes on stderr. Only app/platform/devices/ includes this.
#pragma once

#include <array>
#include <string>

#include "platform/block_device.h"

namespace platform {

constexpr int LinkDeviceCount = 5;

// The target of each of DSK1 to DSK5 from a QUELT_LINK_DEVICES value (null: unset, "sim").
// Entries are separated by commas; an entry "key=value" right after a "scheme[:...]" entry or an
// NBD URI continues that entry's options, so "sim:variant=2,trace=/tmp/t" is one target, and so is
// "nbd://host:10809,transfer_timeout_ms=300". Empty: no device.
std::array<std::string, LinkDeviceCount> ParseLinkDeviceList(const char* list);

// The backend for one target and the text it is opened with: the options of a registered scheme,
// the URI and its options for NBD, the path for a file or device node. False when no backend takes
// the target.
bool ResolveLinkTarget(const std::string& target, BlockDeviceBackend* backend,
                       std::string* open_text);

// A registered scheme's backend, or false.
bool FindRegisteredBackend(const std::string& scheme, BlockDeviceBackend* backend);

extern const BlockDeviceBackend FileBlockDevice;
extern const BlockDeviceBackend NbdBlockDevice;

// Writes the message as a warning line the first time it comes up in the process.
void NoteOnce(const std::string& message);

}  // namespace platform
