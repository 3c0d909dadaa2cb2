// The simulated controller inside the panel's own process, reached as "sim[:options]" in
// QUELT_LINK_DEVICES once RegisterSimulatorDevices() (sim/register.h) has run.
//
// The process has one simulated unit. The first open of a "sim" entry starts it with that
// entry's options unless a test started it already; every "sim" entry stands for the same unit,
// which answers under one DSK name at a time (the first it is opened as, until it vanishes and
// comes back as another). Options of later entries are not applied to a running unit.
#pragma once

#include <memory>
#include <string>

#include "sim/controller.h"

namespace sim {

// Starts a fresh unit with the given options (as after "sim:"), replacing any running one;
// devices open on the old unit keep it. Null with a message on stderr for bad options.
std::shared_ptr<Controller> StartInProcessController(const std::string& options = "");
// The running unit, or null.
std::shared_ptr<Controller> InProcessController();
// Forgets the running unit: the next open of a "sim" entry starts a new one.
void StopInProcessController();

}  // namespace sim
