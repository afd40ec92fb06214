#include "platform_options.h"

#include <cstdint>
#include <string>

#include "command_line.h"
#include "platform_model.h"

bool IsPlatformOption(const std::string &Name) {
  return Name == "--probe" || Name == "--busy";
}

bool SetPlatformOption(const CommandWord &Option, PlatformOptions *Options, std::string *Error) {
  const bool Probe = Option.Name == "--probe";
  uint64_t Value = 0;
  if (!ParseOptionNumber(Option, Probe ? 0xFF : MAX_BUSY_POLLS, &Value, Error)) {
    return false;
  }
  if (Probe) {
    Options->Probe = static_cast<uint8_t>(Value);
  } else {
    Options->BusyPollsPerByte = static_cast<uint32_t>(Value);
  }
  return true;
}
