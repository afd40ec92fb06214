#include "port_io_fake.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "platform_model.h"
#include "port_io.h"

namespace {

PlatformModel *Attached = nullptr;

PlatformModel &Current(uint16_t Port) {
  if (Attached == nullptr) {
    std::fprintf(stderr, "port 0x%04x accessed with no platform model attached\n", Port);
    std::abort();
  }
  return *Attached;
}

} // namespace

ScopedPlatform::ScopedPlatform(PlatformModel &Model) : Previous(Attached) {
  Attached = &Model;
}

ScopedPlatform::~ScopedPlatform() {
  Attached = Previous;
}

uint8_t PortRead8(uint16_t Port) {
  return Current(Port).Read(Port);
}

void PortWrite8(uint16_t Port, uint8_t Value) {
  Current(Port).Write(Port, Value);
}
