// The text form of a port trace, one access a line, as te-run reads it with --check-trace and
// writes it with --print-script:
//   R 0x0259 0x00
//   W 0x0243 0x87
//   R 0x0245 0xdf x3
// Direction R or W, the port as 0x and 1 to 4 hex digits, the value as 0x and 1 or 2 hex
// digits, any case, separated by blanks; a read may end in "x" and a decimal count, for that
// many of it in a row. Blank lines and lines starting with '#' are skipped.
#pragma once

#include <string>
#include <vector>

#include "port_names.h"

// Reads the trace file at Path into Accesses (unnamed), identical reads in a row as one run. On
// failure returns false and sets Error to "cannot open: ..." or, for a malformed line, "line N:
// ...".
[[nodiscard]] bool ReadTraceFile(const std::string &Path, std::vector<PortAccess> *Accesses,
                                 std::string *Error);

// "W 0x0243 0x87", without a line end.
std::string TraceLine(const PortAccess &Access);
