// quelt-sim-lcd-png: screen captures of the simulated unit's LCD, for the eye and for reviews.
//
//   quelt-sim-lcd-png [option=value ...] STEP ...
//
// Options are the simulator's (controller_options.h). Steps run in order:
//   press=NAME    touch a front-panel key and release it (NAME as "FM", "PRESET 3", "SEEK UP")
//   vol=up|down   touch a VOL arrow and release it;  file=up|down: the same for FILE
//   eject         touch EJECT and release it
//   hold=NAME@N   hold a key for N repeats of the panel's 270 ms touch repeat, then release it
//   wait=MS       let time pass
//   shot=PATH     read the LCD stream as a panel does and write the next whole frame to PATH
//   image=PATH    write an image file that stands in for the unit's device, with the signature
//                 and the next whole frame (sim/unit_image.h): QUELT_LINK_DEVICES=PATH
// Each LCD pixel becomes a 3 x 3 block, lit amber on the dark glass.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/png_file.h"
#include "sim/controller.h"
#include "sim/lcd_stream.h"
#include "sim/unit_image.h"

namespace {

constexpr int Zoom = 3;
constexpr std::uint8_t Lit[3] = {255, 170, 30};
constexpr std::uint8_t Dark[3] = {28, 20, 12};

std::vector<std::uint8_t> LcdToRgb(const sim::LcdImage& image) {
  std::vector<std::uint8_t> rgb;
  rgb.reserve(sim::LcdWidth * sim::LcdHeight * Zoom * Zoom * 3);
  for (int y = 0; y < sim::LcdHeight * Zoom; ++y) {
    for (int x = 0; x < sim::LcdWidth * Zoom; ++x) {
      const std::uint8_t* colour = sim::LcdPixel(image, x / Zoom, y / Zoom) ? Lit : Dark;
      rgb.insert(rgb.end(), colour, colour + 3);
    }
  }
  return rgb;
}

// Reads the exchange sectors as the panel's stream poll does until a frame that began after
// this call is complete.
bool CaptureFrame(sim::Controller* controller, std::uint64_t session, sim::LcdImage* frame) {
  sim::LcdStream stream;
  std::uint8_t sectors[sim::ExchangeSectors * sim::SectorBytes];
  for (int read = 0; read < 100 && stream.frames < 2; ++read) {
    std::uint32_t moved = 0;
    if (!controller->Read(session, sim::ExchangeSector, sim::ExchangeSectors, sectors, &moved)) {
      return false;
    }
    for (std::uint32_t i = 0; i < sim::ExchangeSectors; ++i) {
      sim::FileLcdSector(&stream, sectors + i * sim::SectorBytes);
    }
  }
  *frame = stream.last_frame;
  return stream.frames >= 2;
}

bool Send(sim::Controller* controller, std::uint64_t session, const sim::Packet& packet) {
  std::uint8_t sector[sim::SectorBytes] = {};
  std::memcpy(sector, packet.data(), packet.size());
  std::uint32_t moved = 0;
  return controller->Write(session, sim::ExchangeSector, 1, sector, &moved);
}

bool Touch(sim::Controller* controller, std::uint64_t session, const sim::Packet& packet,
           int repeats = 0) {
  for (int i = 0; i <= repeats; ++i) {
    if (!Send(controller, session, packet)) return false;
    if (repeats) Sleep(270);
  }
  return Send(controller, session, sim::ReleasePacket());
}

bool KeyPacket(const std::string& name, sim::Packet* packet) {
  const sim::PanelKey key = sim::PanelKeyByName(name);
  if (key == sim::PanelKey::None) {
    std::fprintf(stderr, "quelt-sim-lcd-png: no key \"%s\"\n", name.c_str());
    return false;
  }
  *packet = sim::TouchKeyPacket(key);
  return true;
}

bool WriteImage(sim::Controller* controller, std::uint64_t session, const std::string& path) {
  std::uint8_t signature[sim::SectorBytes];
  std::uint32_t moved = 0;
  sim::LcdImage frame;
  std::string error = "cannot read the simulated unit";
  if (controller->Read(session, sim::ProbeSector, 1, signature, &moved) &&
      CaptureFrame(controller, session, &frame) &&
      sim::WriteUnitImage(path, signature, frame, &error)) {
    return true;
  }
  std::fprintf(stderr, "quelt-sim-lcd-png: %s\n", error.c_str());
  return false;
}

bool RunStep(sim::Controller* controller, std::uint64_t session, const std::string& step) {
  const std::size_t equals = step.find('=');
  const std::string verb = step.substr(0, equals);
  const std::string value = equals == std::string::npos ? "" : step.substr(equals + 1);
  sim::Packet packet;
  if (verb == "press") return KeyPacket(value, &packet) && Touch(controller, session, packet);
  if (verb == "vol") return Touch(controller, session, sim::VolumePacket(value == "up"));
  if (verb == "file") return Touch(controller, session, sim::FilePacket(value == "up"));
  if (verb == "eject") return Touch(controller, session, sim::EjectPacket());
  if (verb == "hold") {
    const std::size_t at = value.find('@');
    return at != std::string::npos && KeyPacket(value.substr(0, at), &packet) &&
           Touch(controller, session, packet, std::atoi(value.c_str() + at + 1));
  }
  if (verb == "wait") {
    Sleep(static_cast<DWORD>(std::atoi(value.c_str())));
    return true;
  }
  if (verb == "shot") {
    sim::LcdImage frame;
    if (!CaptureFrame(controller, session, &frame)) return false;
    if (platform::WritePngFile(value, sim::LcdWidth * Zoom, sim::LcdHeight * Zoom,
                               LcdToRgb(frame))) {
      return true;
    }
    std::perror(value.c_str());
    return false;
  }
  if (verb == "image") return WriteImage(controller, session, value);
  std::fprintf(stderr, "quelt-sim-lcd-png: unknown step \"%s\"\n", step.c_str());
  return false;
}

bool IsStep(const std::string& argument) {
  for (const char* verb :
       {"press=", "vol=", "file=", "eject", "hold=", "wait=", "shot=", "image="}) {
    if (argument.compare(0, std::strlen(verb), verb) == 0) return true;
  }
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  sim::ControllerOptions options;
  int first_step = 1;
  for (; first_step < argc && !IsStep(argv[first_step]); ++first_step) {
    const std::string option = argv[first_step];
    const std::size_t equals = option.find('=');
    std::string error = "simulator option \"" + option + "\" is not key=value";
    if (equals == std::string::npos ||
        !sim::SetControllerOption(option.substr(0, equals), option.substr(equals + 1), &options,
                                  &error)) {
      std::fprintf(stderr, "quelt-sim-lcd-png: %s\n", error.c_str());
      return 2;
    }
  }
  if (first_step == argc) {
    std::fprintf(stderr, "usage: quelt-sim-lcd-png [option=value ...] STEP ... (see the source)\n");
    return 2;
  }
  sim::Controller controller(options);
  const std::uint64_t session = controller.Open(0);
  for (int i = first_step; i < argc; ++i) {
    if (!RunStep(&controller, session, argv[i])) {
      std::fprintf(stderr, "quelt-sim-lcd-png: step \"%s\" failed\n", argv[i]);
      return 1;
    }
  }
  return 0;
}
