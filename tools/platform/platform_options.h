// The platform model's options as the run commands (te-run, oemcom-host-run) take them:
//   --probe VALUE   what the board's probe port reads, 0 to 0xFF
//   --busy N        LSR polls reporting busy before each byte, 0 to MAX_BUSY_POLLS
// The busy limit keeps a run quick and inside te-run's fixed instruction bound.
#pragma once

#include <cstdint>
#include <string>

#include "command_line.h"
#include "platform_model.h"

constexpr uint64_t MAX_BUSY_POLLS = 10000;

// True for "--probe" and "--busy".
bool IsPlatformOption(const std::string &Name);

// Sets the option Option names (IsPlatformOption) from its value. On a bad value returns false
// and sets Error: "--probe needs a number up to 255, not '0x100'".
[[nodiscard]] bool SetPlatformOption(const CommandWord &Option, PlatformOptions *Options,
                                     std::string *Error);
