// The storage card: "\Storage Card\..." paths of the head unit map into the host folder named by
// QUELT_STORAGE_CARD, and StorageFileOpen opens files there with stdio.
#include <dirent.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/internal/module_interfaces.h"

namespace platform {

namespace {

constexpr char kCardPrefix[] = "\\storage card";

char FoldCase(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameIgnoringCase(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (FoldCase(a[i]) != FoldCase(b[i])) return false;
  }
  return true;
}

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

// The entry of folder whose name equals name but for letter case, or name itself.
std::string ResolveComponent(const std::string& folder, const std::string& name) {
  struct stat info {};
  if (lstat((folder + "/" + name).c_str(), &info) == 0) return name;
  DIR* dir = opendir(folder.c_str());
  if (dir == nullptr) return name;
  std::string found = name;
  while (const dirent* entry = readdir(dir)) {
    if (SameIgnoringCase(entry->d_name, name)) {
      found = entry->d_name;
      break;
    }
  }
  closedir(dir);
  return found;
}

}  // namespace

bool MapStoragePath(const std::string& device_path, std::string* host_path) {
  const std::size_t prefix_length = sizeof kCardPrefix - 1;
  if (device_path.size() < prefix_length || !IsSeparator(device_path[0])) return false;
  if (!SameIgnoringCase("\\" + device_path.substr(1, prefix_length - 1), kCardPrefix)) return false;
  if (device_path.size() > prefix_length && !IsSeparator(device_path[prefix_length])) return false;
  const char* root = std::getenv("QUELT_STORAGE_CARD");
  if (root == nullptr || *root == 0) return false;

  std::vector<std::string> components;
  std::string component;
  for (std::size_t i = prefix_length; i <= device_path.size(); ++i) {
    if (i < device_path.size() && !IsSeparator(device_path[i])) {
      component.push_back(device_path[i]);
      continue;
    }
    if (component == "..") return false;
    if (!component.empty() && component != ".") components.push_back(component);
    component.clear();
  }
  std::string path = root;
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  for (const std::string& name : components) path += "/" + ResolveComponent(path, name);
  if (host_path != nullptr) *host_path = path;
  return true;
}

bool MapStoragePathW(LPCWSTR device_path, std::string* host_path) {
  return device_path != nullptr && MapStoragePath(Utf8FromWide(device_path), host_path);
}

}  // namespace platform

FILE* StorageFileOpen(const char* path, const char* mode) {
  std::string host_path;
  if (path == nullptr || mode == nullptr || (mode[0] != 'r' && mode[0] != 'w' && mode[0] != 'a')) {
    errno = EINVAL;
    return nullptr;
  }
  // Text and binary are the same on the host; "e" keeps the file from programs started later.
  std::string host_mode(1, mode[0]);
  for (const char* c = mode + 1; *c != 0; ++c) {
    if (*c == '+') {
      host_mode += '+';
    } else if (*c != 't' && *c != 'b') {
      errno = EINVAL;
      return nullptr;
    }
  }
  host_mode += 'e';
  if (!platform::MapStoragePath(path, &host_path)) {
    errno = ENOENT;
    return nullptr;
  }
  return std::fopen(host_path.c_str(), host_mode.c_str());
}
