// Runs the whole program in virtual time on the headless display, with a storage card of its
// own in a temporary folder and the panel's resources installed.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "platform/testing.h"
#include "platform/win32.h"

class ShellTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Puts the sample compact-view background on the card.
  void PlaceCompactBackground();
  // Starts the program's main thread: AppMain with the given show code, or before it whatever
  // prepare does on the main thread.
  void StartProgram(int show_code = SW_SHOW, std::function<void()> prepare = nullptr);
  // How many times the home program was started (it appends a line to a log on the card).
  int HomeProgramStarts() const;
  std::string CardPath(const std::string& name) const;
  // Runs action on the program's main thread, inside its message loop, at the next advance.
  void RunOnMainThread(std::function<void()> action);
  // The trace entries whose text starts with prefix, in order.
  std::vector<platform::TraceEntry> TraceStartingWith(const std::string& prefix) const;

  std::string card_;
  HWND hook_window_ = nullptr;
  platform::VirtualRunScope* run_ = nullptr;
};
