// Accelerator tables loaded during a virtual run go with it.
#pragma once

namespace platform {

void ClearAcceleratorTables();

}  // namespace platform
