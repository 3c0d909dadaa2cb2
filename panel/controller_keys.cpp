// Each key code either has an action of its own or is answered with a group-2 reply whose value
// depends only on whether the navigation program was last seen in front; any other code is
// ignored but still counts as the previous key. Start reading at OnControllerKey.
#include "panel/controller_keys.h"

#include "app/panel_state.h"
#include "panel/packet_values.h"
#include "panel/panel_view.h"
#include "panel/window_visibility.h"

namespace {

constexpr std::uint8_t VolumeUpKey = 0x52;
constexpr std::uint8_t VolumeDownKey = 0x51;
// Byte 5 beside the volume code: 1 when the controller repeats the same key, else 2.
constexpr std::uint8_t RepeatedKeyStep = 0x01;
constexpr std::uint8_t NewKeyStep = 0x02;

constexpr std::uint8_t NavigationInFrontReply = 0xB8;
constexpr std::uint8_t NavigationBehindReply = 0x88;

void ReplyVolumeArrow(CommandPacket& reply, std::uint8_t key, std::uint8_t code) {
  reply[CommandByteVolumeArrow] = code;
  reply[CommandByteArrowStep] = Panel.PreviousControllerKey == key ? RepeatedKeyStep : NewKeyStep;
  QueueCommand(reply);
}

void ReplyVolumeUp(CommandPacket& reply) { ReplyVolumeArrow(reply, VolumeUpKey, VolumeUpCode); }

void ReplyVolumeDown(CommandPacket& reply) {
  ReplyVolumeArrow(reply, VolumeDownKey, VolumeDownCode);
}

// The show reply reports USB AUDIO only when the last heartbeat packet did.
void ShowPanelWithReply(CommandPacket& reply) {
  SetCommandGroup(reply, StatusGroup, StatusBase | Panel.UsbAudioBit);
  QueueCommand(reply);
  ShowPanel();
}

void TogglePanelWindow(CommandPacket& reply) {
  if (!PanelInFront()) {
    ShowPanelWithReply(reply);
    return;
  }
  Panel.StreamMode = 0;
  HidePanel();
}

void TogglePanelView(CommandPacket&) {
  if (PanelInFront()) SwitchPanelMode(OtherPanelMode(), ViewSwitchPauseMs);
}

void StopStreamingAndHide(CommandPacket&) {
  Panel.StreamMode = 0;
  if (PanelInFront()) HidePanel();
}

void ReportNavigationAndHide(CommandPacket& reply) {
  // With no "Atlan" window and nothing in the foreground both are null, which reads as the
  // navigation program being in front.
  const bool navigation_in_front = GetForegroundWindow() == Panel.NavigationWindow;
  SetCommandGroup(reply, KeyReplyGroup,
                  navigation_in_front ? NavigationInFrontReply : NavigationBehindReply);
  QueueCommand(reply);
  Panel.StreamMode = 0;
  Panel.NavigationInFront = navigation_in_front ? 1 : 0;
  if (PanelInFront()) HidePanel();
}

struct KeyAction {
  std::uint8_t code;
  void (*act)(CommandPacket& reply);
};

const KeyAction KeyActions[] = {
    {VolumeUpKey, ReplyVolumeUp},    {VolumeDownKey, ReplyVolumeDown}, {0x82, TogglePanelWindow},
    {0x53, ShowPanelWithReply},      {0x83, TogglePanelView},          {0x3A, StopStreamingAndHide},
    {0x56, ReportNavigationAndHide},
};

struct GroupReply {
  std::uint8_t code;
  std::uint8_t value_navigation_in_front;  // byte 10 when NavigationInFront is 1
  std::uint8_t value_otherwise;
};

const GroupReply GroupReplies[] = {
    {0x34, 0x08, 0x28},
    {0x35, 0xC8, 0x48},
    {0x37, 0xA8, 0xA8},
    {0x81, 0x00, 0x00},
};

void ActOnKey(std::uint8_t code, CommandPacket& reply) {
  for (const KeyAction& key : KeyActions) {
    if (key.code != code) continue;
    key.act(reply);
    return;
  }
  for (const GroupReply& key : GroupReplies) {
    if (key.code != code) continue;
    SetCommandGroup(
        reply, KeyReplyGroup,
        Panel.NavigationInFront == 1 ? key.value_navigation_in_front : key.value_otherwise);
    QueueCommand(reply);
    return;
  }
}

}  // namespace

void OnControllerKey() {
  // Taking the code empties the mailbox at once: a code the link thread leaves meanwhile waits
  // for its own message instead of being wiped when this one is done.
  const std::uint8_t code = Panel.ControllerKey.exchange(0);
  if (code == 0) return;
  CommandPacket reply = BlankCommandPacket;
  reply[CommandByteTag] = CommandTagValue;
  Panel.TouchPacketTag = CommandTagValue;
  ActOnKey(code, reply);
  Panel.PreviousControllerKey = code;
}
