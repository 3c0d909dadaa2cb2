// How the files module reaches an entry of the storage card: through the folder that holds it,
// opened by a walk that follows no symbolic link below the card folder, and the *at calls.
//
// The card of the head unit is a FAT file system: it holds plain files and folders and nothing
// else. A symbolic link, FIFO, device or socket in the host folder is no part of such a card, so
// the panel treats it as missing rather than follow it or block on it. Only the card folder itself
// (QUELT_STORAGE_CARD) may be a link, to wherever an integrator mounts the card.
#pragma once

#include <string>

namespace platform::files {

struct CardEntry {
  int folder = -1;   // open descriptor of the folder that holds the entry; the caller closes it
  std::string name;  // the entry's name in that folder, in the letter case found there
};

// False, with errno set, when the path is not on the card, a folder on the way is missing or is
// not a plain folder, or the path names the card folder itself.
bool OpenCardEntry(const char* device_path, CardEntry* entry);

// openat with O_NOFOLLOW | O_NONBLOCK added, so that neither a link nor a FIFO without a writer
// can redirect or hold the caller; anything but a regular file counts as missing (ENOENT). The
// descriptor returned blocks again as usual. -1 on failure.
int OpenRegularFileAt(int folder, const std::string& name, int flags);

}  // namespace platform::files
