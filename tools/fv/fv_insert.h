// Inserting the module's PEIM file into the volume of a firmware image that holds the PEI core,
// rebased to run where it lands.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "firmware_tree.h"
#include "peim_file.h"

struct InsertOptions {
  bool Replace = false; // swap a file of the same name instead of refusing
  bool HasBase = false; // Base is the volume's execute-in-place base, not its images'
  uint64_t Base = 0;
};

// Out is Image's bytes with Peim placed in the free space of the one volume holding a PEI core:
// after a pad file if needed, at the first offset where its data meets its alignment attribute
// and its TE image's base, once rebased to (volume base) + (offset of RVA 0 in the volume), is
// a multiple of 32. The containers around that volume are rebuilt (rebuild.h); the result must
// read back as a firmware image. Report gives what was done, one fact a line. Refuses, with
// one line in Error: no or several PEI core volumes, a file of the same name (unless Replace),
// no base (neither Options nor agreeing images), no room, or a container that cannot be
// rebuilt.
[[nodiscard]] bool InsertPeim(const FirmwareImage &Image, const PeimFile &Peim,
                              const InsertOptions &Options, std::vector<uint8_t> *Out,
                              std::string *Report, std::string *Error);
