// The program itself, quelt-panel, as a user starts it: a child process with a storage card of
// its own (the compact background, and a home program that records each launch), a runtime folder
// of its own (the single-instance claim's scope is named after it, so tests running at once never
// meet), and whatever display and link devices a test adds.
#pragma once

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "tests/platform_desktop/child_processes.h"

class RealProgram : public ::testing::Test {
 protected:
  void SetUp() override;

  // Starts the panel with these settings ("NAME=value") besides the card and the runtime folder;
  // its standard error goes to a file of its own. 0 when it cannot start.
  pid_t StartPanel(const std::vector<std::string>& settings);
  // What the panel wrote on standard error so far.
  std::string ErrorsOf(pid_t panel) const;
  int HomeProgramStarts() const;
  std::string FolderPath(const std::string& name) const;

  platform::test::ScratchFolder folder_;
  platform::test::ChildProcesses children_;
  std::map<pid_t, std::string> error_files_;
};
