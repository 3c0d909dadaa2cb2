// The panel's resources: bitmaps 188, 190, 191, 192, 194 and 210 to 214, strings 1 (the main
// window's title) and 2 (its class name), icon group 101 and accelerator table 2. The program
// installs this table with SetResourceTable before it starts.
#pragma once

#include "platform/resources.h"

const ResourceTable& PanelResources();
