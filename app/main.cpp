// The process entry: answers --version and --help, joins the user's desktop session (one panel per
// user, stop signals close the main window), installs the program's resources and link device
// backends, starts the flight recorder, runs AppMain, and ends the process with its result. Every
// other argument is ignored.
#include "app/app_main.h"
#include "app/command_line.h"
#include "app/program_version.h"
#include "platform/desktop_session.h"
#include "platform/diagnostics.h"
#include "platform/flight_recorder.h"
#include "platform/resources.h"
#include "resources/panel_resources.h"
#include "sim/register.h"

int main(int argc, char** argv) {
  if (AnswerInformationRequest(argc, argv)) return 0;
  // First, while no thread exists: every thread the program starts inherits the blocked signals.
  platform::JoinDesktopSession("quelt-panel");
  SetResourceTable(&PanelResources());
  RegisterSimulatorDevices();
  // Said once the display is chosen, with the main window: a second start that only hands over to
  // the running panel neither starts a display nor says it.
  platform::LogStart(ProgramVersion);
  platform::StartFlightRecorder(ProgramVersion);
  // The link thread still runs: the process ends with it, without tearing down what it uses.
  ExitProcess(AppMain(nullptr, nullptr, nullptr, SW_SHOW));
}
