// The storage card: "\Storage Card\..." paths of the head unit map into the host folder named by
// QUELT_STORAGE_CARD, as a host path or as an entry of an open folder.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/files/card_entries.h"
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

// The card folder and the components below it, each in the letter case found on the card.
bool MapStorageComponents(const std::string& device_path, std::string* root,
                          std::vector<std::string>* components) {
  const std::size_t prefix_length = sizeof kCardPrefix - 1;
  if (device_path.size() < prefix_length || !IsSeparator(device_path[0])) return false;
  if (!SameIgnoringCase("\\" + device_path.substr(1, prefix_length - 1), kCardPrefix)) return false;
  if (device_path.size() > prefix_length && !IsSeparator(device_path[prefix_length])) return false;
  const char* folder = std::getenv("QUELT_STORAGE_CARD");
  if (folder == nullptr || *folder == 0) return false;

  std::string component;
  for (std::size_t i = prefix_length; i <= device_path.size(); ++i) {
    if (i < device_path.size() && !IsSeparator(device_path[i])) {
      component.push_back(device_path[i]);
      continue;
    }
    if (component == "..") return false;
    if (!component.empty() && component != ".") components->push_back(component);
    component.clear();
  }
  *root = folder;
  while (root->size() > 1 && root->back() == '/') root->pop_back();
  std::string path = *root;
  for (std::string& name : *components) {
    name = ResolveComponent(path, name);
    path += "/" + name;
  }
  return true;
}

}  // namespace

bool MapStoragePath(const std::string& device_path, std::string* host_path) {
  std::string path;
  std::vector<std::string> components;
  if (!MapStorageComponents(device_path, &path, &components)) return false;
  for (const std::string& name : components) path += "/" + name;
  if (host_path != nullptr) *host_path = path;
  return true;
}

bool MapStoragePathW(LPCWSTR device_path, std::string* host_path) {
  return device_path != nullptr && MapStoragePath(Utf8FromWide(device_path), host_path);
}

bool files::OpenCardEntry(const char* device_path, CardEntry* entry) {
  std::string root;
  std::vector<std::string> components;
  if (device_path == nullptr || !MapStorageComponents(device_path, &root, &components)) {
    errno = ENOENT;
    return false;
  }
  if (components.empty()) {
    errno = EISDIR;
    return false;
  }
  int folder = open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  for (std::size_t i = 0; folder != -1 && i + 1 < components.size(); ++i) {
    const int inner =
        openat(folder, components[i].c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    close(folder);
    folder = inner;
  }
  if (folder == -1) {
    // A link where a folder should be is no folder of the card.
    if (errno == ELOOP || errno == ENOTDIR) errno = ENOENT;
    return false;
  }
  entry->folder = folder;
  entry->name = components.back();
  return true;
}

}  // namespace platform
