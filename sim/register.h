// What a program calls to offer the simulated controller as "sim" in QUELT_LINK_DEVICES: it
// registers the simulator as a block device backend of the platform.
#pragma once

#include "platform/block_device.h"

void RegisterSimulatorDevices();
