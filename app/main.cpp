// The process entry: joins the user's desktop session (one panel per user, stop signals close the
// main window), installs the program's resources and link device backends, runs AppMain, and ends
// the process with its result. The panel reads no command line.
#include "app/app_main.h"
#include "platform/desktop_session.h"
#include "platform/resources.h"
#include "resources/panel_resources.h"
#include "sim/register.h"

int main() {
  // First, while no thread exists: every thread the program starts inherits the blocked signals.
  platform::JoinDesktopSession("quelt-panel");
  SetResourceTable(&PanelResources());
  RegisterSimulatorDevices();
  // The link thread still runs: the process ends with it, without tearing down what it uses.
  ExitProcess(AppMain(nullptr, nullptr, nullptr, SW_SHOW));
}
