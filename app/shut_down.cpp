#include "app/shut_down.h"

#include "app/drawing_objects.h"
#include "app/panel_state.h"

void ShutDownOnDestroy() {
  if (Panel.SettingsStream) {
    std::fclose(Panel.SettingsStream);
    Panel.SettingsStream = nullptr;
  }
  ReleaseDrawingObjects();
  PostQuitMessage(0);
}
