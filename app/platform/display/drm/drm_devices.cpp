// The card and the screen it drives: the first card (or QUELT_DRM_DEVICE's) with a connected
// connector, that connector's preferred mode, and a CRTC that can drive it. Start reading at
// OpenCard. A card whose DRM master another program holds (a compositor on this seat) cannot set
// a mode: that is said and the next card, or the next display, is tried.
#include <dirent.h>
#include <unistd.h>
#include <xf86drm.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "platform/display/drm/drm_output_choice.h"
#include "platform/display/drm/drm_state.h"

namespace platform::display::drm {
namespace {

ModeCandidate CandidateOf(const drmModeModeInfo& mode) {
  return ModeCandidate{mode.hdisplay, mode.vdisplay, static_cast<int>(mode.vrefresh),
                       (mode.type & DRM_MODE_TYPE_PREFERRED) != 0};
}

// The CRTC already driving the connector, else the first free one its encoders can use.
std::uint32_t CrtcFor(int card, const drmModeRes& resources, const drmModeConnector& connector) {
  if (drmModeEncoder* encoder = drmModeGetEncoder(card, connector.encoder_id)) {
    const std::uint32_t crtc = encoder->crtc_id;
    drmModeFreeEncoder(encoder);
    if (crtc) return crtc;
  }
  for (int index = 0; index < connector.count_encoders; ++index) {
    drmModeEncoder* encoder = drmModeGetEncoder(card, connector.encoders[index]);
    if (!encoder) continue;
    const std::uint32_t possible = encoder->possible_crtcs;
    drmModeFreeEncoder(encoder);
    for (int crtc = 0; crtc < resources.count_crtcs; ++crtc) {
      if (possible & (1u << crtc)) return resources.crtcs[crtc];
    }
  }
  return 0;
}

ConnectorCandidate CandidateOf(const drmModeConnector& connector) {
  ConnectorCandidate candidate{
      connector.connector_id, connector.connection == DRM_MODE_CONNECTED, {}};
  for (int mode = 0; mode < connector.count_modes; ++mode) {
    candidate.modes.push_back(CandidateOf(connector.modes[mode]));
  }
  return candidate;
}

std::vector<drmModeConnector*> Connectors(int card, const drmModeRes& resources) {
  std::vector<drmModeConnector*> connectors;
  for (int index = 0; index < resources.count_connectors; ++index) {
    if (drmModeConnector* connector = drmModeGetConnector(card, resources.connectors[index])) {
      connectors.push_back(connector);
    }
  }
  return connectors;
}

// Reads the card's connectors and takes the chosen one's mode and CRTC into the record.
bool FindScreen(int card, std::string* why_not) {
  drmModeRes* resources = drmModeGetResources(card);
  if (!resources) {
    *why_not = "it has no modes to set (not a display card)";
    return false;
  }
  const std::vector<drmModeConnector*> connectors = Connectors(card, *resources);
  std::vector<ConnectorCandidate> candidates;
  for (const drmModeConnector* connector : connectors)
    candidates.push_back(CandidateOf(*connector));
  const OutputChoice choice = ChooseOutput(candidates);
  bool found = false;
  if (choice.connector < 0) {
    *why_not = "no screen is connected to it";
  } else {
    const drmModeConnector& connector = *connectors[choice.connector];
    DrmDisplay& display = Drm();
    display.crtc = CrtcFor(card, *resources, connector);
    display.connector = connector.connector_id;
    display.mode = connector.modes[choice.mode];
    display.width = display.mode.hdisplay;
    display.height = display.mode.vdisplay;
    found = display.crtc != 0;
    if (!found) *why_not = "no CRTC can drive its connected screen";
  }
  for (drmModeConnector* connector : connectors) drmModeFreeConnector(connector);
  drmModeFreeResources(resources);
  return found;
}

// The first opener of a card is its master; logind and seatd make us master when the seat is
// ours. Anyone else holding it is a display server of its own.
bool BecomeMaster(int card) { return drmIsMaster(card) || drmSetMaster(card) == 0; }

int CardNumber(const std::string& name) { return std::atoi(name.c_str() + 4); }

}  // namespace

std::vector<ConnectorCandidate> ReadConnectors(int card) {
  std::vector<ConnectorCandidate> candidates;
  drmModeRes* resources = drmModeGetResources(card);
  if (!resources) return candidates;
  for (drmModeConnector* connector : Connectors(card, *resources)) {
    candidates.push_back(CandidateOf(*connector));
    drmModeFreeConnector(connector);
  }
  drmModeFreeResources(resources);
  return candidates;
}

std::vector<std::string> CardPaths() {
  const char* named = std::getenv("QUELT_DRM_DEVICE");
  if (named && *named) return {named};
  std::vector<std::string> names;
  if (DIR* folder = opendir("/dev/dri")) {
    while (const dirent* entry = readdir(folder)) {
      if (std::strncmp(entry->d_name, "card", 4) == 0) names.push_back(entry->d_name);
    }
    closedir(folder);
  }
  std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
    return CardNumber(a) < CardNumber(b);
  });
  std::vector<std::string> paths;
  for (const std::string& name : names) paths.push_back("/dev/dri/" + name);
  return paths;
}

bool OpenCard(const std::string& path, std::string* why_not) {
  DrmDisplay& display = Drm();
  int device_id = -1;
  const int card = OpenSeatDevice(path.c_str(), &device_id);
  if (card < 0) {
    *why_not = std::string("the seat cannot open it (") + std::strerror(errno) + ")";
    return false;
  }
  std::uint64_t dumb_buffers = 0;
  bool usable = false;
  if (drmGetCap(card, DRM_CAP_DUMB_BUFFER, &dumb_buffers) != 0 || !dumb_buffers) {
    *why_not = "it has no dumb buffers";
  } else if (FindScreen(card, why_not)) {
    usable = BecomeMaster(card);
    if (!usable) *why_not = "another program (a compositor?) is its DRM master";
  }
  if (!usable) {
    CloseSeatDevice(device_id);
    return false;
  }
  display.card = card;
  display.card_device = device_id;
  display.card_path = path;
  return true;
}

void CloseCard() {
  DrmDisplay& display = Drm();
  if (display.card < 0) return;
  CloseSeatDevice(display.card_device);
  display.card = -1;
  display.card_device = -1;
}

bool ShowFrontBuffer() {
  DrmDisplay& display = Drm();
  ++display.flip_generation;
  std::uint32_t connector = display.connector;
  return drmModeSetCrtc(display.card, display.crtc,
                        display.buffers[display.scanout.front].framebuffer, 0, 0, &connector, 1,
                        &display.mode) == 0;
}

}  // namespace platform::display::drm
