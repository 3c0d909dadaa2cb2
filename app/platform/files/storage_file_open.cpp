// StorageFileOpen: stdio streams on files of the storage card, opened so that only a regular file
// of the card is ever read or written (see card_entries.h).
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "platform/files/card_entries.h"
#include "platform/internal/module_interfaces.h"

namespace platform {

int files::OpenRegularFileAt(int folder, const std::string& name, int flags) {
  const int fd = openat(folder, name.c_str(), flags | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0666);
  if (fd == -1) {
    // A link (or a FIFO nobody reads, opened for writing) stands where no file of the card is.
    if (errno == ELOOP || errno == ENXIO) errno = ENOENT;
    return -1;
  }
  struct stat status {};
  const bool regular = fstat(fd, &status) == 0 && S_ISREG(status.st_mode);
  const int status_flags = regular ? fcntl(fd, F_GETFL) : -1;
  if (status_flags == -1 || fcntl(fd, F_SETFL, status_flags & ~O_NONBLOCK) == -1) {
    close(fd);
    errno = ENOENT;
    return -1;
  }
  return fd;
}

}  // namespace platform

FILE* StorageFileOpen(const char* path, const char* mode) {
  if (path == nullptr || mode == nullptr || (mode[0] != 'r' && mode[0] != 'w' && mode[0] != 'a')) {
    errno = EINVAL;
    return nullptr;
  }
  // Text and binary are the same on the host.
  bool update = false;
  for (const char* c = mode + 1; *c != 0; ++c) {
    if (*c == '+') {
      update = true;
    } else if (*c != 't' && *c != 'b') {
      errno = EINVAL;
      return nullptr;
    }
  }
  int flags = update ? O_RDWR : (mode[0] == 'r' ? O_RDONLY : O_WRONLY);
  if (mode[0] == 'w') flags |= O_CREAT | O_TRUNC;
  if (mode[0] == 'a') flags |= O_CREAT | O_APPEND;

  platform::files::CardEntry entry;
  if (!platform::files::OpenCardEntry(path, &entry)) return nullptr;
  const int fd = platform::files::OpenRegularFileAt(entry.folder, entry.name, flags);
  if (mode[0] == 'r' && !update)
    platform::RecordCardFile(path, false, fd != -1, entry.folder, entry.name.c_str());
  close(entry.folder);
  if (fd == -1) return nullptr;
  const std::string stream_mode = std::string(1, mode[0]) + (update ? "+" : "");
  FILE* stream = fdopen(fd, stream_mode.c_str());
  if (stream == nullptr) close(fd);
  return stream;
}
