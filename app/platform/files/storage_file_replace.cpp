// Replacing a file of the storage card whole: the new content goes to a temporary file beside it,
// which takes the old file's place by one rename only once it is on the card. A power cut or a
// full card at any moment leaves either the old content or the new one, never an empty or partial
// file.
//
// A writer that dies leaves its temporary file behind. The next replacement of the same file
// removes such leftovers: a live writer holds an exclusive flock on its own temporary file, so a
// leftover is one whose lock can be taken.
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <map>
#include <mutex>
#include <string>

#include "platform/files/card_entries.h"
#include "platform/internal/module_interfaces.h"

namespace platform {
namespace {

struct Replacement {
  int folder;
  std::string temporary;
  std::string name;
};

std::mutex replacements_lock;
std::map<FILE*, Replacement> replacements;
std::atomic<unsigned> next_serial{0};

// Temporary files are named "<name>.tmp-<process>-<serial>".
std::string TemporaryPrefix(const std::string& name) { return name + ".tmp-"; }

void RemoveLeftovers(int folder, const std::string& name) {
  const std::string prefix = TemporaryPrefix(name);
  const int listing = openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  DIR* dir = listing == -1 ? nullptr : fdopendir(listing);
  if (dir == nullptr) {
    if (listing != -1) close(listing);
    return;
  }
  while (const dirent* entry = readdir(dir)) {
    if (std::strncmp(entry->d_name, prefix.c_str(), prefix.size()) != 0) continue;
    const int fd = files::OpenRegularFileAt(folder, entry->d_name, O_RDONLY);
    if (fd == -1) continue;
    if (flock(fd, LOCK_EX | LOCK_NB) == 0) unlinkat(folder, entry->d_name, 0);
    close(fd);
  }
  closedir(dir);
}

// A new, empty temporary file in the folder, locked as its writer's; -1 on failure.
int CreateTemporary(int folder, const std::string& name, std::string* temporary) {
  for (int attempt = 0; attempt < 100; ++attempt) {
    *temporary =
        TemporaryPrefix(name) + std::to_string(getpid()) + "-" + std::to_string(next_serial++);
    const int fd = openat(folder, temporary->c_str(),
                          O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd == -1 && errno == EEXIST) continue;
    if (fd == -1) return -1;
    if (flock(fd, LOCK_EX | LOCK_NB) == 0) return fd;
    close(fd);
    unlinkat(folder, temporary->c_str(), 0);
    return -1;
  }
  return -1;
}

bool ValidReplacementMode(const char* mode) {
  if (mode == nullptr || mode[0] != 'w') return false;
  for (const char* c = mode + 1; *c != 0; ++c) {
    if (*c != 't' && *c != 'b') return false;
  }
  return true;
}

}  // namespace
}  // namespace platform

using namespace platform;

FILE* StorageFileOpenReplacement(const char* path, const char* mode) {
  if (!ValidReplacementMode(mode)) {
    errno = EINVAL;
    return nullptr;
  }
  files::CardEntry entry;
  if (!files::OpenCardEntry(path, &entry)) return nullptr;
  RemoveLeftovers(entry.folder, entry.name);
  std::string temporary;
  const int fd = CreateTemporary(entry.folder, entry.name, &temporary);
  FILE* stream = fd == -1 ? nullptr : fdopen(fd, "w");
  if (stream == nullptr) {
    const int error = errno;
    if (fd != -1) {
      close(fd);
      unlinkat(entry.folder, temporary.c_str(), 0);
    }
    close(entry.folder);
    errno = error;
    return nullptr;
  }
  std::lock_guard<std::mutex> hold(replacements_lock);
  replacements[stream] = Replacement{entry.folder, temporary, entry.name};
  return stream;
}

BOOL StorageFileCommit(FILE* stream, BOOL complete) {
  Replacement replacement;
  {
    std::lock_guard<std::mutex> hold(replacements_lock);
    const auto found = replacements.find(stream);
    if (found == replacements.end()) return FALSE;
    replacement = found->second;
    replacements.erase(found);
  }
  bool kept =
      complete && std::fflush(stream) == 0 && !std::ferror(stream) && fsync(fileno(stream)) == 0;
  kept = std::fclose(stream) == 0 && kept;
  const char* temporary = replacement.temporary.c_str();
  RecordCardFile(replacement.name.c_str(), true, kept, replacement.folder, temporary);
  kept = kept &&
         renameat(replacement.folder, temporary, replacement.folder, replacement.name.c_str()) == 0;
  if (!kept) unlinkat(replacement.folder, temporary, 0);
  // Only a synced folder holds the new name for certain; until then the caller counts the
  // content as unwritten and writes it again.
  kept = kept && fsync(replacement.folder) == 0;
  close(replacement.folder);
  return kept ? TRUE : FALSE;
}
