// Link discovery: which of "DSK1:" to "DSK5:" is the controller, told by the signature at the
// start of sector 597. The last character of the signature names the link variant. The log gets
// one line when the link is found, one when it is lost, and one for a device that opens but is
// not the controller (until it goes away): not one for every probe.
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

// format takes the device name, then the variant (1 or 2).
void ReportLink(LPCWSTR format) {
  WCHAR line[80];
  wsprintfW(line, format, LinkDeviceNames[Panel.ProbeNameIndex], Panel.LinkVariant + 1);
  OutputDebugStringW(line);
}

void ReportWrongSignatureOnce(bool opened) {
  const std::uint8_t device_bit = static_cast<std::uint8_t>(1u << Panel.ProbeNameIndex);
  if (!opened) {
    Panel.WrongSignatureReported &= static_cast<std::uint8_t>(~device_bit);
  } else if ((Panel.WrongSignatureReported & device_bit) == 0) {
    Panel.WrongSignatureReported |= device_bit;
    ReportLink(W("%s opens but carries no controller signature in sector 597"));
  }
}

}  // namespace

void ReopenLinkDevice() {
  CloseLinkDevice();
  Panel.LinkHandle =
      CreateFileW(LinkDeviceNames[Panel.ProbeNameIndex % LinkDeviceCount],
                  GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
}

void ProbeLinkDevice() {
  for (Panel.ProbeNameIndex = 0; Panel.ProbeNameIndex < LinkDeviceCount; ++Panel.ProbeNameIndex) {
    ReopenLinkDevice();
    // Cleared first so that a read that fails cannot match on what an earlier device left here.
    std::memset(Panel.ProbeBuffer, 0, sizeof Panel.ProbeBuffer);
    ReadProbeSector();
    Panel.LinkConnected = 0;
    if (ProbeBufferCarriesSignature()) {
      Panel.LinkConnected = 1;
      Panel.LinkVariant = Panel.ProbeBuffer[SignatureLength - 1] == '2' ? 1 : 0;
      if (!Panel.LinkReported) ReportLink(W("link found on %s (variant %d)"));
      Panel.LinkReported = true;
      return;
    }
    ReportWrongSignatureOnce(LinkDeviceOpen());
    CloseLinkDevice();
  }
}

void ProbeCountAndPause() {
  ProbeLinkDevice();
  if (Panel.LinkConnected == 0) ++Panel.FailedProbeCount;
  Sleep(ProbePauseMs);
}

void ReconnectLink() {
  if (Panel.LinkReported) ReportLink(W("the link on %s is lost; probing again"));
  Panel.LinkReported = false;
  CloseLinkDevice();
  Sleep(ProbePauseMs);
  Panel.LinkConnected = 0;
  do {
    ProbeCountAndPause();
  } while (Panel.LinkConnected != 1 && Panel.FailedProbeCount <= FailedProbeLimit);
}
