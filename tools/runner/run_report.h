// The text te-run prints for one run: where the image and its arguments were, the platform's
// port trace and serial line, the entry's result, the counts and any faults.
#pragma once

#include <string>

#include "image_runner.h"

std::string RunReport(const RunResult &Result, const PlatformModel &Model);

// "0x00000000 (EFI_SUCCESS)", or the bare value when the status has no name.
std::string StatusText(uint32_t Status);
