// The text te-run prints for one run: where the image and its arguments were, the platform's
// port trace and serial line, the entry's result, the counts and any faults.
#pragma once

#include <string>

#include "image_runner.h"

std::string RunReport(const RunResult &Result, const PlatformModel &Model);
