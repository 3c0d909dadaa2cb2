#include "tests/app/program_fixture.h"

#include <sys/stat.h>

#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;
using namespace platform::test;

void RealProgram::SetUp() {
  ASSERT_FALSE(folder_.path().empty());
  fs::create_directories(FolderPath("card/App"));
  fs::create_directories(FolderPath("run"));
  fs::copy_file(fs::path(QUELT_SOURCE_DIR) / "resources/storage-card/QUELTIMAGE.bmp",
                FolderPath("card/QUELTIMAGE.bmp"));
  const std::string home = FolderPath("card/App/hbHome.exe");
  std::ofstream(home) << "#!/bin/sh\necho started >> '" << FolderPath("home.log") << "'\n";
  chmod(home.c_str(), 0755);
}

pid_t RealProgram::StartPanel(const std::vector<std::string>& settings) {
  std::vector<std::string> environment = {
      "PATH=/usr/bin:/bin", "QUELT_STORAGE_CARD=" + FolderPath("card"),
      "XDG_RUNTIME_DIR=" + FolderPath("run"), "QUELT_INSTANCE_SCOPE=" + FolderPath("run")};
  environment.insert(environment.end(), settings.begin(), settings.end());
  const std::string errors = FolderPath("panel-" + std::to_string(error_files_.size()) + ".err");
  const pid_t panel = children_.Start(QUELT_PANEL_PROGRAM, {}, environment, "/dev/null", errors);
  if (panel) error_files_[panel] = errors;
  return panel;
}

std::string RealProgram::ErrorsOf(pid_t panel) const {
  const auto found = error_files_.find(panel);
  return found == error_files_.end() ? std::string() : FileText(found->second);
}

int RealProgram::HomeProgramStarts() const {
  std::ifstream log(FolderPath("home.log"));
  int starts = 0;
  for (std::string line; std::getline(log, line);) ++starts;
  return starts;
}

std::string RealProgram::FolderPath(const std::string& name) const {
  return folder_.path() + "/" + name;
}
