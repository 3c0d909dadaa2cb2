// A scratch disk image for the device tests: 1024 sectors, sector n filled with the byte n % 251,
// in a temporary folder that goes away with it.
#pragma once

#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

class ImageFile {
 public:
  static constexpr int Sectors = 1024;

  ImageFile() {
    char folder[] = "/tmp/quelt-devices-XXXXXX";
    folder_ = mkdtemp(folder);
    path_ = folder_ + "/unit.img";
    std::vector<std::uint8_t> contents(Sectors * 512);
    for (int i = 0; i < Sectors * 512; ++i) contents[i] = static_cast<std::uint8_t>(i / 512 % 251);
    const int fd = open(path_.c_str(), O_CREAT | O_TRUNC | O_WRONLY, 0600);
    if (write(fd, contents.data(), contents.size()) != static_cast<ssize_t>(contents.size())) {
      std::abort();
    }
    close(fd);
  }
  ~ImageFile() {
    unlink(path_.c_str());
    rmdir(folder_.c_str());
  }

  const std::string& path() const { return path_; }
  const std::string& folder() const { return folder_; }

  // The image's bytes, read past any device.
  std::vector<std::uint8_t> Read(int sector, int count) const {
    std::vector<std::uint8_t> bytes(count * 512);
    const int fd = open(path_.c_str(), O_RDONLY);
    if (pread(fd, bytes.data(), bytes.size(), sector * 512) != static_cast<ssize_t>(bytes.size())) {
      bytes.clear();
    }
    close(fd);
    return bytes;
  }

  void Write(int sector, const std::vector<std::uint8_t>& bytes) const {
    const int fd = open(path_.c_str(), O_WRONLY);
    if (pwrite(fd, bytes.data(), bytes.size(), sector * 512) !=
        static_cast<ssize_t>(bytes.size())) {
      std::abort();
    }
    fsync(fd);
    close(fd);
  }

 private:
  std::string folder_;
  std::string path_;
};
