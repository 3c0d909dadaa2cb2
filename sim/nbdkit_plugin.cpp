// The simulated controller as a network block device: an nbdkit plugin, so that a panel on one
// machine can reach a simulated unit on another ("nbd://host:port" in QUELT_LINK_DEVICES).
//
//   nbdkit --exit-with-parent -U /run/unit.sock ./quelt_sim_nbdkit.so variant=2 trace=/tmp/t
//       (panel: QUELT_LINK_DEVICES=nbd+unix:///?socket=/run/unit.sock)
//   nbdkit -i 127.0.0.1 -p 10809 ./quelt_sim_nbdkit.so      (panel: nbd://127.0.0.1:10809)
//
// Parameters are the simulator's options (controller_options.h). Every connection is an open of
// the device; requests run one at a time, as on the head unit's block driver.
#define NBDKIT_API_VERSION 2
#include <nbdkit-plugin.h>

#include <cerrno>
#include <memory>
#include <string>

#include "sim/controller.h"

#define THREAD_MODEL NBDKIT_THREAD_MODEL_SERIALIZE_ALL_REQUESTS

namespace {

sim::ControllerOptions options;
std::unique_ptr<sim::Controller> controller;

struct Connection {
  std::uint64_t session;
};

int Config(const char* key, const char* value) {
  std::string error;
  if (sim::SetControllerOption(key, value, &options, &error)) return 0;
  nbdkit_error("%s", error.c_str());
  return -1;
}

int ConfigComplete() {
  controller = std::make_unique<sim::Controller>(options);
  return 0;
}

void Unload() { controller.reset(); }

void* Open(int) {
  const std::uint64_t session = controller->Open(0);
  if (session == 0) {
    nbdkit_error("the simulated controller does not answer");
    return nullptr;
  }
  return new Connection{session};
}

void Close(void* handle) { delete static_cast<Connection*>(handle); }

int64_t GetSize(void*) { return sim::ControllerSectors * sim::SectorBytes; }

bool WholeSectors(uint32_t count, uint64_t offset) {
  return count % sim::SectorBytes == 0 && offset % sim::SectorBytes == 0;
}

// An NBD read moves all its bytes or fails: a short read of the controller fails here.
int Pread(void* handle, void* buffer, uint32_t count, uint64_t offset, uint32_t) {
  if (!WholeSectors(count, offset)) {
    nbdkit_set_error(EINVAL);
    return -1;
  }
  std::uint32_t moved = 0;
  if (!controller->Read(static_cast<Connection*>(handle)->session, offset / sim::SectorBytes,
                        count / sim::SectorBytes, static_cast<std::uint8_t*>(buffer), &moved) ||
      moved != count) {
    nbdkit_set_error(EIO);
    return -1;
  }
  return 0;
}

int Pwrite(void* handle, const void* buffer, uint32_t count, uint64_t offset, uint32_t) {
  if (!WholeSectors(count, offset)) {
    nbdkit_set_error(EINVAL);
    return -1;
  }
  std::uint32_t moved = 0;
  if (!controller->Write(static_cast<Connection*>(handle)->session, offset / sim::SectorBytes,
                         count / sim::SectorBytes, static_cast<const std::uint8_t*>(buffer),
                         &moved)) {
    nbdkit_set_error(EIO);
    return -1;
  }
  return 0;
}

nbdkit_plugin MakePlugin() {
  nbdkit_plugin plugin{};
  plugin.name = "quelt-sim";
  plugin.longname = "Quelt simulated audio-unit controller";
  plugin.version = "1.0";
  plugin.unload = Unload;
  plugin.config = Config;
  plugin.config_complete = ConfigComplete;
  plugin.config_help =
      "variant=1|2 signature=TEXT trace=PATH keys=CODE@MS;... fail_opens=N[@MS] "
      "fail_reads=N[@MS] short_reads=N[@MS] short_by=BYTES fail_writes=N[@MS] vanish=FOR[@MS] "
      "info=0|1";
  plugin.open = Open;
  plugin.close = Close;
  plugin.get_size = GetSize;
  plugin.pread = Pread;
  plugin.pwrite = Pwrite;
  return plugin;
}

nbdkit_plugin plugin = MakePlugin();

}  // namespace

NBDKIT_REGISTER_PLUGIN(plugin)
