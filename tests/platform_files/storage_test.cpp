// The storage card: path mapping into QUELT_STORAGE_CARD and StorageFileOpen in text mode.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
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

}  // namespace
