// A home program for the launch tests: writes the descriptors it was started with (one line,
// ascending, the listing's own left out) and then the names of its environment, one a line, to the
// file named by its argument, whole once it exists.
#include <dirent.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

extern char** environ;

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  DIR* listing = opendir("/proc/self/fd");
  if (!listing) return 1;
  std::vector<int> descriptors;
  while (const dirent* entry = readdir(listing)) {
    if (entry->d_name[0] == '.') continue;
    const int fd = std::atoi(entry->d_name);
    if (fd != dirfd(listing)) descriptors.push_back(fd);
  }
  closedir(listing);
  std::sort(descriptors.begin(), descriptors.end());
  std::string text;
  for (int fd : descriptors) text += (text.empty() ? "" : " ") + std::to_string(fd);
  text += "\n";
  for (char** setting = environ; *setting; ++setting) {
    const std::string line = *setting;
    text += line.substr(0, line.find('=')) + "\n";
  }
  const std::string partial = std::string(argv[1]) + ".partial";
  FILE* file = std::fopen(partial.c_str(), "w");
  if (!file) return 1;
  std::fputs(text.c_str(), file);
  std::fclose(file);
  return std::rename(partial.c_str(), argv[1]) == 0 ? 0 : 1;
}
