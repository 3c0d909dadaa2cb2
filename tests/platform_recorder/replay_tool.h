// Running quelt-replay from the tests, and the files a recorder or a replay left in a folder.
#pragma once

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

namespace recorder_test {

// The names of the folder's files that end with suffix, sorted.
inline std::vector<std::string> FileNames(const std::string& folder, const std::string& suffix) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    const std::string name = entry.path().filename();
    if (name.size() > suffix.size() &&
        name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0) {
      names.push_back(name);
    }
  }
  std::sort(names.begin(), names.end());
  return names;
}

// quelt-replay with the arguments; its exit status, and its output in *output.
inline int RunReplay(const std::string& arguments, std::string* output) {
  std::FILE* replay = popen((std::string(QUELT_REPLAY) + " " + arguments + " 2>&1").c_str(), "r");
  if (replay == nullptr) return -1;
  char chunk[4096];
  while (std::size_t got = std::fread(chunk, 1, sizeof chunk, replay)) output->append(chunk, got);
  return pclose(replay);
}

}  // namespace recorder_test
