// "--version" alone on a command line: each command prints its name, the project's and the
// project's version, "te-run (oemcom) 1.0.0", the form help2man reads.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "oemcom_version.h"

// Prints Program's version line on Out when Arguments is "--version" alone; returns whether it
// did.
inline bool PrintsVersion(const std::vector<std::string> &Arguments, const char *Program,
                          std::ostream &Out) {
  if (Arguments.size() != 1 || Arguments[0] != "--version") {
    return false;
  }
  Out << Program << " (oemcom) " << OEMCOM_VERSION << "\n";
  return true;
}
