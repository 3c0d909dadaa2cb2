// What a program includes to offer the simulated controller as "sim" in QUELT_LINK_DEVICES:
// RegisterSimulatorDevices(), declared with the block device backends it joins.
#pragma once

#include "platform/block_device.h"
