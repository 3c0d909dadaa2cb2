// The "sim" block device backend: opens of DSKn that reach the in-process simulated unit.
#include "sim/in_process.h"

#include <mutex>

#include "platform/diagnostics.h"
#include "sim/register.h"

namespace sim {
namespace {

std::mutex running_lock;
std::shared_ptr<Controller> running;

std::shared_ptr<Controller> Start(const std::string& options_text) {
  ControllerOptions options;
  std::string error;
  if (!ParseControllerOptions(options_text, &options, &error)) {
    // The panel probes five times a second; one complaint per mistake is enough.
    static std::string last_error;
    if (error != last_error) platform::LogLine(platform::LogPriority::Warning, error);
    last_error = error;
    return nullptr;
  }
  return std::make_shared<Controller>(options);
}

struct SimDevice {
  std::shared_ptr<Controller> controller;
  std::uint64_t session;
};

void* OpenSim(const char* options, int device_number) {
  std::shared_ptr<Controller> controller;
  {
    std::lock_guard<std::mutex> hold(running_lock);
    if (!running) running = Start(options);
    controller = running;
  }
  if (!controller) return nullptr;
  const std::uint64_t session = controller->Open(device_number);
  if (session == 0) return nullptr;
  return new SimDevice{controller, session};
}

std::uint64_t SimSectorCount(void*) { return ControllerSectors; }

bool ReadSim(void* device, std::uint64_t first_sector, std::uint32_t sectors, std::uint8_t* data,
             std::uint32_t* bytes_moved) {
  auto* sim = static_cast<SimDevice*>(device);
  return sim->controller->Read(sim->session, first_sector, sectors, data, bytes_moved);
}

bool WriteSim(void* device, std::uint64_t first_sector, std::uint32_t sectors,
              const std::uint8_t* data, std::uint32_t* bytes_moved) {
  auto* sim = static_cast<SimDevice*>(device);
  return sim->controller->Write(sim->session, first_sector, sectors, data, bytes_moved);
}

void CloseSim(void* device) { delete static_cast<SimDevice*>(device); }

}  // namespace

std::shared_ptr<Controller> StartInProcessController(const std::string& options) {
  std::shared_ptr<Controller> controller = Start(options);
  std::lock_guard<std::mutex> hold(running_lock);
  running = controller;
  return controller;
}

std::shared_ptr<Controller> InProcessController() {
  std::lock_guard<std::mutex> hold(running_lock);
  return running;
}

void StopInProcessController() {
  std::lock_guard<std::mutex> hold(running_lock);
  running.reset();
}

}  // namespace sim

void RegisterSimulatorDevices() {
  platform::RegisterBlockDeviceBackend(
      "sim", {sim::OpenSim, sim::SimSectorCount, sim::ReadSim, sim::WriteSim, sim::CloseSim});
}
