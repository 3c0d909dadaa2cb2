// Link devices that are block device nodes or image files. Transfers use O_DIRECT where the file
// system allows it, through an aligned bounce buffer, so that every read reaches the device: the
// controller changes its sectors behind the kernel's back, and a cached page would be stale.
// Where O_DIRECT is refused, reads drop the cached pages first and writes end with fdatasync:
// a command packet sitting in the page cache has not reached the controller.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "platform/devices/devices.h"

namespace platform {
namespace {

// O_DIRECT wants buffers aligned to the device's logical block; a page covers every such size.
constexpr std::size_t BounceAlignment = 4096;

struct FileDevice {
  std::string path;
  int fd = -1;
  bool direct = false;
  std::uint64_t sectors = 0;
  std::mutex lock;  // one transfer at a time through the bounce buffer
  void* bounce = nullptr;
  std::size_t bounce_bytes = 0;
};

std::string SystemError(const std::string& what, const std::string& path) {
  return what + " " + path + ": " + std::strerror(errno);
}

void NoteBufferedFallback(const std::string& path) {
  NoteOnce(path + " does not take O_DIRECT transfers; going through the page cache," +
           " dropping cached pages before each read and syncing after each write");
}

void DropDirectIo(FileDevice* device) {
  const int flags = fcntl(device->fd, F_GETFL);
  if (flags != -1) fcntl(device->fd, F_SETFL, flags & ~O_DIRECT);
  device->direct = false;
  NoteBufferedFallback(device->path);
}

// POSIX_FADV_DONTNEED drops only the pages wholly inside its range, and a sector range seldom
// starts and ends on page boundaries: widen it to every page the transfer touches.
void DropCachedPages(int fd, off_t offset, std::size_t bytes) {
  const off_t page = static_cast<off_t>(sysconf(_SC_PAGESIZE));
  const off_t first = offset / page * page;
  const off_t end = (offset + static_cast<off_t>(bytes) + page - 1) / page * page;
  posix_fadvise(fd, first, end - first, POSIX_FADV_DONTNEED);
}

bool EnsureBounce(FileDevice* device, std::size_t bytes) {
  if (device->bounce_bytes >= bytes) return true;
  void* bigger = nullptr;
  if (posix_memalign(&bigger, BounceAlignment, bytes) != 0) return false;
  std::free(device->bounce);
  device->bounce = bigger;
  device->bounce_bytes = bytes;
  return true;
}

void* OpenFile(const char* path, int) {
  int fd = open(path, O_RDWR | O_DIRECT | O_CLOEXEC);
  bool direct = fd != -1;
  if (fd == -1 && errno == EINVAL) {
    fd = open(path, O_RDWR | O_CLOEXEC);
    if (fd != -1) NoteBufferedFallback(path);
  }
  if (fd == -1) {
    NoteOnce(SystemError("cannot open link device", path));
    return nullptr;
  }
  struct stat status;
  const off_t end = lseek(fd, 0, SEEK_END);
  if (fstat(fd, &status) != 0 || !(S_ISREG(status.st_mode) || S_ISBLK(status.st_mode)) || end < 0) {
    NoteOnce(std::string("link device ") + path + " is neither an image file nor a block device");
    close(fd);
    return nullptr;
  }
  auto* device = new FileDevice;
  device->path = path;
  device->fd = fd;
  device->direct = direct;
  device->sectors = static_cast<std::uint64_t>(end) / BlockSectorBytes;
  return device;
}

std::uint64_t FileSectorCount(void* device) { return static_cast<FileDevice*>(device)->sectors; }

// pread or pwrite of the whole range, retried after interruptions and partial transfers, and
// once more without O_DIRECT when the device refuses the alignment. Returns the bytes moved.
template <typename Transfer>
std::size_t TransferAll(FileDevice* device, std::size_t bytes, off_t offset, Transfer transfer) {
  std::size_t moved = 0;
  while (moved < bytes) {
    const ssize_t done = transfer(static_cast<char*>(device->bounce) + moved, bytes - moved,
                                  offset + static_cast<off_t>(moved));
    if (done > 0) {
      moved += static_cast<std::size_t>(done);
    } else if (done < 0 && errno == EINTR) {
      continue;
    } else if (done < 0 && errno == EINVAL && device->direct && moved == 0) {
      DropDirectIo(device);
    } else {
      break;
    }
  }
  return moved;
}

bool ReadFile(void* opened, std::uint64_t first_sector, std::uint32_t sectors, std::uint8_t* data,
              std::uint32_t* bytes_moved) {
  auto* device = static_cast<FileDevice*>(opened);
  const std::size_t bytes = std::size_t{sectors} * BlockSectorBytes;
  const off_t offset = static_cast<off_t>(first_sector * BlockSectorBytes);
  std::lock_guard<std::mutex> hold(device->lock);
  *bytes_moved = 0;
  if (!EnsureBounce(device, bytes)) return false;
  const std::size_t moved =
      TransferAll(device, bytes, offset, [&](void* at, std::size_t n, off_t o) {
        if (!device->direct) DropCachedPages(device->fd, o, n);
        return pread(device->fd, at, n, o);
      });
  std::memcpy(data, device->bounce, moved);
  *bytes_moved = static_cast<std::uint32_t>(moved);
  return moved == bytes;
}

bool WriteFile(void* opened, std::uint64_t first_sector, std::uint32_t sectors,
               const std::uint8_t* data, std::uint32_t* bytes_moved) {
  auto* device = static_cast<FileDevice*>(opened);
  const std::size_t bytes = std::size_t{sectors} * BlockSectorBytes;
  const off_t offset = static_cast<off_t>(first_sector * BlockSectorBytes);
  std::lock_guard<std::mutex> hold(device->lock);
  *bytes_moved = 0;
  if (!EnsureBounce(device, bytes)) return false;
  std::memcpy(device->bounce, data, bytes);
  const std::size_t moved =
      TransferAll(device, bytes, offset,
                  [&](void* at, std::size_t n, off_t o) { return pwrite(device->fd, at, n, o); });
  // Bytes that may never leave the page cache count as not written.
  if (!device->direct && fdatasync(device->fd) != 0) return false;
  *bytes_moved = static_cast<std::uint32_t>(moved);
  return moved == bytes;
}

void CloseFile(void* opened) {
  auto* device = static_cast<FileDevice*>(opened);
  close(device->fd);
  std::free(device->bounce);
  delete device;
}

}  // namespace

const BlockDeviceBackend FileBlockDevice = {OpenFile, FileSectorCount, ReadFile, WriteFile,
                                            CloseFile};

}  // namespace platform
