// The process entry: installs the program's resources and link device backends, runs AppMain,
// and ends with its result. The panel reads no command line.
#include "app/app_main.h"
#include "platform/resources.h"
#include "resources/panel_resources.h"
#include "sim/register.h"

int main() {
  SetResourceTable(&PanelResources());
  RegisterSimulatorDevices();
  return AppMain(nullptr, nullptr, nullptr, SW_SHOW);
}
