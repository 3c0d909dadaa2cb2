// Replacing a file of the storage card whole: the old content stays until the commit, a failed or
// abandoned replacement leaves no trace, and temporary files of writers that died are removed by
// the next replacement while a live writer's is left alone.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/win32.h"

namespace {

constexpr char kPath[] = "\\Storage Card\\hbSET.DAT";

class StorageReplacement : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/quelt-card-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    root_ = pattern;
    setenv("QUELT_STORAGE_CARD", root_.c_str(), 1);
  }
  void TearDown() override {
    unsetenv("QUELT_STORAGE_CARD");
    ASSERT_EQ(std::system(("rm -rf '" + root_ + "'").c_str()), 0);
  }
  std::string Content() const {
    std::ifstream file(root_ + "/hbSET.DAT", std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), {});
  }
  void Place(const std::string& name, const std::string& content) const {
    std::ofstream(root_ + "/" + name, std::ios::binary) << content;
  }
  std::vector<std::string> Entries() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(root_)) {
      names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }
  std::string root_;
};

TEST_F(StorageReplacement, OldContentStaysUntilTheCommit) {
  Place("hbSET.DAT", "UA31 and more");
  FILE* replacement = StorageFileOpenReplacement(kPath, "wt");
  ASSERT_NE(replacement, nullptr);
  ASSERT_EQ(std::fprintf(replacement, "__00"), 4);
  ASSERT_EQ(std::fflush(replacement), 0);
  EXPECT_EQ(Content(), "UA31 and more");
  EXPECT_EQ(Entries().size(), 2u);

  EXPECT_TRUE(StorageFileCommit(replacement, TRUE));
  EXPECT_EQ(Content(), "__00");
  EXPECT_EQ(Entries(), std::vector<std::string>{"hbSET.DAT"});
}

// An abandoned replacement, or one that cannot take the file's place (a folder stands there),
// leaves the card as it was.
TEST_F(StorageReplacement, FailedReplacementLeavesNoTrace) {
  struct Case {
    const char* situation;
    bool folder_in_place;
    BOOL complete;
  };
  for (const Case& row :
       {Case{"abandoned", false, FALSE}, Case{"folder in the place", true, TRUE}}) {
    SCOPED_TRACE(row.situation);
    ASSERT_EQ(std::system(("rm -rf '" + root_ + "/hbSET.DAT'").c_str()), 0);
    if (row.folder_in_place) {
      ASSERT_EQ(mkdir((root_ + "/hbSET.DAT").c_str(), 0755), 0);
    } else {
      Place("hbSET.DAT", "UA31");
    }
    FILE* replacement = StorageFileOpenReplacement(kPath, "wt");
    ASSERT_NE(replacement, nullptr);
    std::fprintf(replacement, "__00");
    EXPECT_FALSE(StorageFileCommit(replacement, row.complete));
    EXPECT_EQ(Entries(), std::vector<std::string>{"hbSET.DAT"});
    struct stat status {};
    ASSERT_EQ(lstat((root_ + "/hbSET.DAT").c_str(), &status), 0);
    EXPECT_EQ(S_ISDIR(status.st_mode), row.folder_in_place);
    if (!row.folder_in_place) {
      EXPECT_EQ(Content(), "UA31");
    }
  }
}

TEST_F(StorageReplacement, LeftoversOfDeadWritersGoAndALiveWritersStays) {
  Place("hbSET.DAT", "UA31");
  Place("hbSET.DAT.tmp-1-0", "U");
  Place("hbSET.DAT.tmp-2-7", "");
  Place("hbSET.DAT.tmp-3-1", "_A");
  Place("other.tmp-1-0", "not ours");
  const int live = open((root_ + "/hbSET.DAT.tmp-3-1").c_str(), O_RDONLY);
  ASSERT_EQ(flock(live, LOCK_EX), 0);

  FILE* replacement = StorageFileOpenReplacement(kPath, "wt");
  ASSERT_NE(replacement, nullptr);
  std::fprintf(replacement, "__00");
  EXPECT_TRUE(StorageFileCommit(replacement, TRUE));
  close(live);
  EXPECT_EQ(Entries(),
            (std::vector<std::string>{"hbSET.DAT", "hbSET.DAT.tmp-3-1", "other.tmp-1-0"}));
  EXPECT_EQ(Content(), "__00");
}

TEST_F(StorageReplacement, RefusesWhatIsNoReplacement) {
  for (const char* mode : {"r", "rt", "a", "w+", "wx", ""}) {
    EXPECT_EQ(StorageFileOpenReplacement(kPath, mode), nullptr) << mode;
  }
  EXPECT_EQ(StorageFileOpenReplacement(kPath, nullptr), nullptr);
  EXPECT_EQ(StorageFileOpenReplacement("\\Windows\\hbSET.DAT", "wt"), nullptr);
  EXPECT_EQ(StorageFileOpenReplacement("\\Storage Card\\Missing\\hbSET.DAT", "wt"), nullptr);
  EXPECT_FALSE(StorageFileCommit(nullptr, TRUE));
  // A stream that is no replacement is left alone.
  FILE* plain = StorageFileOpen(kPath, "wt");
  ASSERT_NE(plain, nullptr);
  EXPECT_FALSE(StorageFileCommit(plain, TRUE));
  EXPECT_EQ(std::fclose(plain), 0);
  EXPECT_EQ(Entries(), std::vector<std::string>{"hbSET.DAT"});
}

}  // namespace
