// Link discovery: which of "DSK1:" to "DSK5:" is the controller, told by the signature at the
// start of sector 597. The last character of the signature names the link variant.
#include "link/link_discovery.h"

#include <cstring>

#include "app/panel_state.h"
#include "link/sector_transfer.h"

namespace {

constexpr int SignatureLength = 11;
constexpr int LinkDeviceCount = 5;

void CloseLinkDevice() {
  if (LinkDeviceOpen()) CloseHandle(Panel.LinkHandle);
  Panel.LinkHandle = INVALID_HANDLE_VALUE;
}

// Each byte becomes one character as it stands, so a 0 byte ends the string early and a signature
// in another case or with other characters never compares equal.
bool ProbeBufferCarriesSignature() {
  for (int i = 0; i < SignatureLength; ++i) Panel.ProbeSignature[i] = Panel.ProbeBuffer[i];
  Panel.ProbeSignature[SignatureLength] = 0;
  return wcscmp(Panel.ProbeSignature, W("VANTREL0002")) == 0 ||
         wcscmp(Panel.ProbeSignature, W("VANTREL0001")) == 0;
}

}  // namespace

void ProbeLinkDevice() {
  for (Panel.ProbeNameIndex = 0; Panel.ProbeNameIndex < LinkDeviceCount; ++Panel.ProbeNameIndex) {
    CloseLinkDevice();
    Panel.LinkHandle =
        CreateFileW(LinkDeviceNames[Panel.ProbeNameIndex], GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                    OPEN_EXISTING, 0, nullptr);
    // Cleared first so that a read that fails cannot match on what an earlier device left here.
    std::memset(Panel.ProbeBuffer, 0, sizeof Panel.ProbeBuffer);
    ReadProbeSector();
    Panel.LinkConnected = 0;
    if (ProbeBufferCarriesSignature()) {
      Panel.LinkConnected = 1;
      Panel.LinkVariant = Panel.ProbeBuffer[SignatureLength - 1] == '2' ? 1 : 0;
      return;
    }
    CloseLinkDevice();
  }
}

void ProbeCountAndPause() {
  ProbeLinkDevice();
  if (Panel.LinkConnected == 0) ++Panel.FailedProbeCount;
  Sleep(ProbePauseMs);
}

void ReconnectLink() {
  CloseLinkDevice();
  Sleep(ProbePauseMs);
  Panel.LinkConnected = 0;
  do {
    ProbeCountAndPause();
  } while (Panel.LinkConnected != 1 && Panel.FailedProbeCount <= FailedProbeLimit);
}
