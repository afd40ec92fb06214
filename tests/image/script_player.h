// A script player: IA-32 code that makes the port accesses of a table,
// and the TE image around it. Driven by the module's expected script, it is a stand-in for
// the module that real firmware can load; with one change to the script, a faulty module.
#pragma once

#include <cstdint>
#include <vector>

#include "port_names.h"

// The TE image (subsystem 11, one base relocation) of the player with Script as its table. Script
// is a run for a probe other than 0xFF with no busy polls: its probe read becomes a test that
// skips the Super I/O writes when the probe reads 0xFF, each LSR read a wait for THRE, other
// reads plain reads and writes plain writes. The player returns EFI_SUCCESS.
std::vector<uint8_t> PlayerImage(const std::vector<PortAccess> &Script);
