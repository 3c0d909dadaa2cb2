// QUELT_LINK_DEVICES: which target stands behind each of DSK1 to DSK5.
#include <cctype>

#include "platform/devices/devices.h"

namespace platform {
namespace {

bool StartsWith(const std::string& text, const char* prefix) {
  return text.compare(0, std::char_traits<char>::length(prefix), prefix) == 0;
}

bool IsNbdUri(const std::string& target) {
  return StartsWith(target, "nbd://") || StartsWith(target, "nbd+unix://") ||
         StartsWith(target, "nbds://") || StartsWith(target, "nbds+unix://");
}

// Length of the leading identifier [a-z][a-z0-9_]*, 0 when there is none.
std::size_t IdentifierLength(const std::string& text) {
  if (text.empty() || !std::islower(static_cast<unsigned char>(text[0]))) return 0;
  std::size_t length = 1;
  while (length < text.size()) {
    const unsigned char c = static_cast<unsigned char>(text[length]);
    if (!std::islower(c) && !std::isdigit(c) && c != '_') break;
    ++length;
  }
  return length;
}

// "scheme" or "scheme:options".
bool LooksLikeSchemeEntry(const std::string& entry) {
  const std::size_t length = IdentifierLength(entry);
  return length > 0 && !IsNbdUri(entry) && (length == entry.size() || entry[length] == ':');
}

// "key=value": an option that continues the previous scheme entry.
bool LooksLikeOption(const std::string& entry) {
  const std::size_t length = IdentifierLength(entry);
  return length > 0 && length < entry.size() && entry[length] == '=';
}

}  // namespace

std::array<std::string, LinkDeviceCount> ParseLinkDeviceList(const char* list) {
  std::array<std::string, LinkDeviceCount> targets;
  const std::string text = list ? list : "sim";
  int device = 0;
  bool previous_takes_options = false;
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t end = text.find(',', start);
    if (end == std::string::npos) end = text.size();
    const std::string entry = text.substr(start, end - start);
    start = end + 1;
    if (previous_takes_options && LooksLikeOption(entry)) {
      std::string& owner = targets[device - 1];
      owner += owner.find(':') == std::string::npos ? ":" : ",";
      owner += entry;
      continue;
    }
    if (device == LinkDeviceCount) {
      NoteOnce("QUELT_LINK_DEVICES names more than five devices; entries after DSK5 are ignored");
      break;
    }
    targets[device++] = entry;
    previous_takes_options = LooksLikeSchemeEntry(entry) || IsNbdUri(entry);
  }
  return targets;
}

bool ResolveLinkTarget(const std::string& target, BlockDeviceBackend* backend,
                       std::string* open_text) {
  if (target.empty()) return false;
  if (IsNbdUri(target)) {
    *backend = NbdBlockDevice;
    *open_text = target;
    return true;
  }
  if (LooksLikeSchemeEntry(target)) {
    const std::size_t colon = target.find(':');
    const std::string scheme = target.substr(0, colon);
    if (FindRegisteredBackend(scheme, backend)) {
      *open_text = colon == std::string::npos ? "" : target.substr(colon + 1);
      return true;
    }
    // A bare word may still name a file in the working directory; "word:..." cannot.
    if (colon != std::string::npos) {
      NoteOnce("no block device backend \"" + scheme + "\" for link device \"" + target + "\"");
      return false;
    }
  }
  *backend = FileBlockDevice;
  *open_text = target;
  return true;
}

}  // namespace platform
