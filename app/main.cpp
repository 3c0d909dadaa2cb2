// The process entry: answers --version and --help, installs the program's resources and link
// device backends, says on standard error what it runs with, runs AppMain, and ends with its
// result. Every other argument is ignored.
#include "app/app_main.h"
#include "app/command_line.h"
#include "app/program_version.h"
#include "platform/diagnostics.h"
#include "platform/resources.h"
#include "resources/panel_resources.h"
#include "sim/register.h"

int main(int argc, char** argv) {
  if (AnswerInformationRequest(argc, argv)) return 0;
  SetResourceTable(&PanelResources());
  RegisterSimulatorDevices();
  platform::LogStart(ProgramVersion);
  return AppMain(nullptr, nullptr, nullptr, SW_SHOW);
}
