// ShellExecuteEx: starts an executable from the storage card with its parameters, refuses what
// cannot run (a link at any level of its path among it), hands the program none of the panel's
// descriptors and only the session's environment, and leaves no zombie behind although nothing
// waits for the program.
#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/win32.h"

namespace {

// Children of this process that have ended but were not collected.
int ZombieChildren() {
  int zombies = 0;
  DIR* proc = opendir("/proc");
  while (const dirent* entry = readdir(proc)) {
    std::ifstream stat(std::string("/proc/") + entry->d_name + "/stat");
    std::string line;
    if (!std::getline(stat, line)) continue;
    // pid (comm) state ppid ...: the command may hold blanks, so read after the last ')'.
    std::istringstream rest(line.substr(line.rfind(')') + 1));
    char state = 0;
    int parent = 0;
    rest >> state >> parent;
    zombies += state == 'Z' && parent == getpid();
  }
  closedir(proc);
  return zombies;
}

// Waits (without a time limit of its own: ctest's timeout guards) until done() holds.
template <typename Condition>
void WaitFor(Condition done) {
  while (!done()) std::this_thread::sleep_for(std::chrono::milliseconds(5));
}

class ShellExecute : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/quelt-shell-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    root_ = pattern;
    mkdir((root_ + "/App").c_str(), 0755);
    // A script started from its descriptor has /dev/fd/N for $0: it names its folder itself.
    std::ofstream(root_ + "/App/hbHome.exe")
        << "#!/bin/sh\ncd '" << root_
        << "/App' && printf '%s|' \"$@\" > ran.tmp && mv ran.tmp ran\n";
    chmod((root_ + "/App/hbHome.exe").c_str(), 0755);
    std::ofstream(root_ + "/App/notes.txt") << "not a program\n";
    setenv("QUELT_STORAGE_CARD", root_.c_str(), 1);
  }
  void TearDown() override {
    unsetenv("QUELT_STORAGE_CARD");
    ASSERT_EQ(std::system(("rm -rf '" + root_ + "'").c_str()), 0);
  }

  SHELLEXECUTEINFO Info(LPCWSTR file, LPCWSTR parameters = nullptr) {
    SHELLEXECUTEINFO info{};
    info.cbSize = sizeof info;
    info.lpFile = file;
    info.lpParameters = parameters;
    info.nShow = SW_SHOW;
    return info;
  }

  std::string root_;
};

TEST_F(ShellExecute, StartsTheProgramWithItsParametersAndLeavesNoZombie) {
  SHELLEXECUTEINFO info = Info(u"\\Storage Card\\App\\hbHome.exe", u"-a \"two words\"");
  ASSERT_TRUE(ShellExecuteEx(&info));
  EXPECT_GT(reinterpret_cast<std::uintptr_t>(info.hInstApp), 32u);
  std::string ran = root_ + "/App/ran";
  WaitFor([&] { return access(ran.c_str(), F_OK) == 0; });
  std::string arguments;
  std::getline(std::ifstream(ran), arguments);
  EXPECT_EQ(arguments, "-a|two words|");
  WaitFor([] { return ZombieChildren() == 0; });
}

TEST_F(ShellExecute, RefusesWhatCannotRun) {
  struct {
    const char* name;
    LPCWSTR file;
    std::uintptr_t code;
  } const cases[] = {
      {"missing", u"\\Storage Card\\App\\gone.exe", 2},
      {"not executable", u"\\Storage Card\\App\\notes.txt", 5},
      {"a folder", u"\\Storage Card\\App", 2},
      {"off the card", u"\\Windows\\hbHome.exe", 2},
      {"climbing out", u"\\Storage Card\\..\\bin\\sh", 2},
  };
  for (const auto& c : cases) {
    SHELLEXECUTEINFO info = Info(c.file);
    EXPECT_FALSE(ShellExecuteEx(&info)) << c.name;
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(info.hInstApp), c.code) << c.name;
  }
  SHELLEXECUTEINFO info = Info(u"\\Storage Card\\App\\hbHome.exe");
  info.lpVerb = u"print";
  EXPECT_FALSE(ShellExecuteEx(&info));
  info = Info(u"\\Storage Card\\App\\hbHome.exe");
  info.cbSize = 60;  // the 32-bit size: callers pass sizeof on this host
  EXPECT_FALSE(ShellExecuteEx(&info));
  info = Info(nullptr);
  EXPECT_FALSE(ShellExecuteEx(&info));
  EXPECT_FALSE(ShellExecuteEx(nullptr));
  unsetenv("QUELT_STORAGE_CARD");
  info = Info(u"\\Storage Card\\App\\hbHome.exe");
  EXPECT_FALSE(ShellExecuteEx(&info));
  EXPECT_NE(access((root_ + "/App/ran").c_str(), F_OK), 0);
}

// Links are no part of the card: a link in the program's place, or in place of a folder on its
// way, leaves the program it points to unstarted, wherever that lies.
TEST_F(ShellExecute, AHomeProgramReachedThroughALinkDoesNotRun) {
  const std::string elsewhere = root_ + "-elsewhere";
  ASSERT_EQ(mkdir(elsewhere.c_str(), 0755), 0);
  ASSERT_EQ(std::system(("cp '" + root_ + "/App/hbHome.exe' '" + elsewhere + "/'").c_str()), 0);
  struct {
    const char* name;
    std::string link, target;
  } const cases[] = {
      {"the program", root_ + "/App/hbHome.exe", elsewhere + "/hbHome.exe"},
      {"its folder", root_ + "/App", elsewhere},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_EQ(std::system(("rm -rf '" + c.link + "'").c_str()), 0);
    ASSERT_EQ(symlink(c.target.c_str(), c.link.c_str()), 0);
    SHELLEXECUTEINFO info = Info(u"\\Storage Card\\App\\hbHome.exe");
    EXPECT_FALSE(ShellExecuteEx(&info));
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(info.hInstApp), 2u);
    ASSERT_EQ(std::system(("rm -f '" + c.link + "'; mkdir -p '" + root_ + "/App'").c_str()), 0);
  }
  WaitFor([] { return ZombieChildren() == 0; });
  EXPECT_NE(access((elsewhere + "/ran").c_str(), F_OK), 0) << "the linked program ran";
  ASSERT_EQ(std::system(("rm -rf '" + elsewhere + "'").c_str()), 0);
}

// The panel holds the link device, sockets and card files open, and its environment names them:
// none of that reaches the program. A descriptor without close-on-exec stands for them here.
TEST_F(ShellExecute, TheProgramGetsOnlyTheStandardDescriptorsAndTheSessionsEnvironment) {
  const std::string program = root_ + "/App/hbHome.exe";
  ASSERT_EQ(std::system(("cp '" QUELT_DESCRIPTOR_LISTER "' '" + program + "'").c_str()), 0);
  const int inherited = open("/dev/null", O_RDONLY);
  ASSERT_GE(inherited, 3);
  setenv("QUELT_LINK_DEVICES", "/dev/quelt-link", 1);
  setenv("HOME", "/home/panel", 1);
  const std::string report = root_ + "/report";
  const std::u16string parameters(report.begin(), report.end());
  SHELLEXECUTEINFO info = Info(u"\\Storage Card\\App\\hbHome.exe", parameters.c_str());
  const BOOL started = ShellExecuteEx(&info);
  close(inherited);
  unsetenv("QUELT_LINK_DEVICES");
  ASSERT_TRUE(started);
  WaitFor([&] { return access(report.c_str(), F_OK) == 0; });
  std::ifstream lines(report);
  std::string descriptors;
  std::getline(lines, descriptors);
  EXPECT_EQ(descriptors, "0 1 2");
  std::vector<std::string> names;
  for (std::string name; std::getline(lines, name);) names.push_back(name);
  EXPECT_NE(std::find(names.begin(), names.end(), "HOME"), names.end());
  EXPECT_EQ(std::find(names.begin(), names.end(), "QUELT_STORAGE_CARD"), names.end());
  EXPECT_EQ(std::find(names.begin(), names.end(), "QUELT_LINK_DEVICES"), names.end());
  WaitFor([] { return ZombieChildren() == 0; });
}

}  // namespace
