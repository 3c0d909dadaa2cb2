// The storage card: path mapping into QUELT_STORAGE_CARD, StorageFileOpen in text mode, and what
// counts as a file of the card.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <fstream>
#include <functional>
#include <iostream>
#include <iterator>
#include <string>

#include "platform/internal/module_interfaces.h"
#include "platform/win32.h"

namespace {

class StorageCard : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/quelt-card-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    root_ = pattern;
    ASSERT_EQ(mkdir((root_ + "/App").c_str(), 0755), 0);
    std::ofstream(root_ + "/App/hbHome.exe") << "#!/bin/sh\n";
    setenv("QUELT_STORAGE_CARD", root_.c_str(), 1);
  }
  void TearDown() override {
    unsetenv("QUELT_STORAGE_CARD");
    std::string command = "rm -rf '" + root_ + "'";
    ASSERT_EQ(std::system(command.c_str()), 0);
  }
  std::string root_;
};

TEST_F(StorageCard, MapsHeadUnitPathsIntoTheFolder) {
  struct {
    const char* device_path;
    const char* host_path;  // below the card folder; null: not mapped
  } const cases[] = {
      {"\\Storage Card\\hbSET.DAT", "/hbSET.DAT"},
      {"\\Storage Card\\App\\hbHome.exe", "/App/hbHome.exe"},
      {"\\storage card\\app\\HBHOME.EXE", "/App/hbHome.exe"},  // matched as on FAT
      {"\\Storage Card", ""},
      {"\\Storage Card\\", ""},
      {"/Storage Card/App/./hbHome.exe", "/App/hbHome.exe"},
      {"\\Storage Card\\New\\file.txt", "/New/file.txt"},
      {"\\Storage Card\\..\\etc\\passwd", nullptr},
      {"\\Storage Card\\App\\..\\..\\x", nullptr},
      {"\\Storage Cards\\x", nullptr},
      {"\\Windows\\x", nullptr},
      {"Storage Card\\x", nullptr},
      {"", nullptr},
  };
  for (const auto& c : cases) {
    std::string mapped;
    bool ok = platform::MapStoragePath(c.device_path, &mapped);
    EXPECT_EQ(ok, c.host_path != nullptr) << c.device_path;
    if (ok && c.host_path != nullptr) {
      EXPECT_EQ(mapped, root_ + c.host_path) << c.device_path;
    }
  }
  std::string mapped;
  EXPECT_TRUE(platform::MapStoragePathW(u"\\Storage Card\\QUELTIMAGE.bmp", &mapped));
  EXPECT_EQ(mapped, root_ + "/QUELTIMAGE.bmp");
  EXPECT_FALSE(platform::MapStoragePathW(nullptr, &mapped));
}

TEST_F(StorageCard, UnsetFolderMapsNothing) {
  unsetenv("QUELT_STORAGE_CARD");
  std::string mapped;
  EXPECT_FALSE(platform::MapStoragePath("\\Storage Card\\hbSET.DAT", &mapped));
  EXPECT_EQ(StorageFileOpen("\\Storage Card\\hbSET.DAT", "wt"), nullptr);
}

TEST_F(StorageCard, TextModeWritesAndReadsBack) {
  FILE* file = StorageFileOpen("\\Storage Card\\hbSET.DAT", "wt");
  ASSERT_NE(file, nullptr);
  std::fprintf(file, "%d%d%d%d", 1, 0, 3, 1);
  std::fclose(file);
  std::ifstream written(root_ + "/hbSET.DAT");
  std::string content;
  written >> content;
  EXPECT_EQ(content, "1031");

  file = StorageFileOpen("\\Storage Card\\HBSET.DAT", "rt");
  ASSERT_NE(file, nullptr);
  char digits[8] = {};
  EXPECT_EQ(std::fscanf(file, "%4s", digits), 1);
  EXPECT_STREQ(digits, "1031");
  std::fclose(file);
}

TEST_F(StorageCard, RefusesWhatCannotBeOpened) {
  EXPECT_EQ(StorageFileOpen("\\Storage Card\\missing.dat", "rt"), nullptr);
  EXPECT_EQ(StorageFileOpen("\\Windows\\hbSET.DAT", "wt"), nullptr);
  EXPECT_EQ(StorageFileOpen("\\Storage Card\\x.dat", "wz"), nullptr);
  EXPECT_EQ(StorageFileOpen("\\Storage Card\\x.dat", "q"), nullptr);
  EXPECT_EQ(StorageFileOpen(nullptr, "rt"), nullptr);
  EXPECT_EQ(StorageFileOpen("\\Storage Card\\x.dat", nullptr), nullptr);
  EXPECT_NE(access((root_ + "/x.dat").c_str(), F_OK), 0);
}

std::string ReadWhole(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), {});
}

// Only regular files of the card open, for reading and for writing alike; whatever else stands
// in a file's place, or a link on the way to it, counts as missing: no link is followed (nor its
// target written), and no FIFO blocks the open.
TEST_F(StorageCard, AnythingButARegularFileOfTheCardIsMissing) {
  const std::string outside = root_ + "-outside";
  struct Case {
    const char* situation;
    const char* device_path;
    std::function<bool()> make;  // false: cannot be made here (a device node needs privileges)
  };
  const Case cases[] = {
      {"a link to a file", "\\Storage Card\\hbSET.DAT",
       [&] { return symlink((outside + "/file").c_str(), (root_ + "/hbSET.DAT").c_str()) == 0; }},
      {"a dangling link", "\\Storage Card\\hbSET.DAT",
       [&] { return symlink((outside + "/none").c_str(), (root_ + "/hbSET.DAT").c_str()) == 0; }},
      {"a FIFO", "\\Storage Card\\hbSET.DAT",
       [&] { return mkfifo((root_ + "/hbSET.DAT").c_str(), 0600) == 0; }},
      {"a device", "\\Storage Card\\hbSET.DAT",
       [&] { return mknod((root_ + "/hbSET.DAT").c_str(), S_IFCHR | 0600, makedev(1, 3)) == 0; }},
      {"a folder", "\\Storage Card\\App", [] { return true; }},
      {"a linked folder on the way", "\\Storage Card\\Linked\\file",
       [&] { return symlink(outside.c_str(), (root_ + "/Linked").c_str()) == 0; }},
      {"the card folder itself", "\\Storage Card", [] { return true; }},
  };
  for (const Case& row : cases) {
    SCOPED_TRACE(row.situation);
    ASSERT_EQ(mkdir(outside.c_str(), 0755), 0);
    std::ofstream(outside + "/file") << "outside";
    if (!row.make()) {
      std::cout << "skipped: cannot make " << row.situation << " here\n";
    } else {
      for (const char* mode : {"rt", "r+", "wt", "a"}) {
        SCOPED_TRACE(mode);
        FILE* file = StorageFileOpen(row.device_path, mode);
        EXPECT_EQ(file, nullptr);
        if (file != nullptr) std::fclose(file);
      }
      EXPECT_EQ(ReadWhole(outside + "/file"), "outside");
      EXPECT_FALSE(std::ifstream(outside + "/none").good());
    }
    unlink((root_ + "/hbSET.DAT").c_str());
    unlink((root_ + "/Linked").c_str());
    ASSERT_EQ(std::system(("rm -rf '" + outside + "'").c_str()), 0);
  }
}

// An integrator may point QUELT_STORAGE_CARD at a link to wherever the card is mounted.
TEST_F(StorageCard, TheCardFolderMayBeALink) {
  const std::string link = root_ + "-link";
  ASSERT_EQ(symlink(root_.c_str(), link.c_str()), 0);
  setenv("QUELT_STORAGE_CARD", link.c_str(), 1);
  FILE* file = StorageFileOpen("\\Storage Card\\App\\hbHome.exe", "rt");
  EXPECT_NE(file, nullptr);
  if (file != nullptr) std::fclose(file);
  unlink(link.c_str());
}

}  // namespace
