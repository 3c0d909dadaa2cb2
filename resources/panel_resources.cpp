#include "resources/panel_resources.h"

#include "resources/embedded_files.h"

namespace {

// Both are "QUELT_VER120": a second start finds the running window by this class and title.
const ResourceString Strings[] = {
    {1, W("QUELT_VER120")},  // title of the main window
    {2, W("QUELT_VER120")},  // class name of the main window
};

// Ctrl+A gives command 40002 and Ctrl+Q command 1; the main window answers both without effect.
const ACCEL MainAccelerators[] = {
    {FVIRTKEY | FCONTROL, 'A', 40002},
    {FVIRTKEY | FCONTROL, 'Q', 1},
};

const ResourceAccelerators AcceleratorTables[] = {
    {2, MainAccelerators, sizeof MainAccelerators / sizeof MainAccelerators[0]},
};

}  // namespace

const ResourceTable& PanelResources() {
  // Built on first use: the counts of the embedded files live in another translation unit.
  static const ResourceTable table = {
      EmbeddedBitmaps,   EmbeddedBitmapCount,
      Strings,           sizeof Strings / sizeof Strings[0],
      AcceleratorTables, sizeof AcceleratorTables / sizeof AcceleratorTables[0],
      EmbeddedIcons,     EmbeddedIconCount,
  };
  return table;
}
