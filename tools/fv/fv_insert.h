// Inserting the module's PEIM file into the volume of a firmware image that holds the PEI core,
// rebased to run where it lands.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "edit_check.h"
#include "firmware_tree.h"
#include "fv_format.h"
#include "peim_file.h"

struct InsertOptions {
  bool Replace = false;   // swap a file of the same name and type instead of refusing
  bool HasBase = false;   // Base is the volume's execute-in-place base, not its images'
  uint64_t Base = 0;      // (when they agree on one, it must be that)
  bool HasVolume = false; // of the volumes holding a PEI core, the one named Volume
  fv::EFI_GUID Volume{};
  bool Early = false; // list the file first in the volume's PEI apriori file (apriori.h)
};

// Out is Image's bytes with Peim placed in the free space of the one volume holding a PEI core:
// after a pad file if needed, at the first offset where its data meets its alignment attribute
// and its TE image's base, once rebased to (volume base) + (offset of RVA 0 in the volume), is
// a multiple of 32. The containers around that volume are rebuilt (rebuild.h) and the result
// checked (edit_check.h). Report gives what was done, one fact a line, and names the sections
// not looked into. Refuses, with one line in Error: no or several PEI core volumes, a PEI core
// of another machine than the module's, a file of the same name (unless Replace, and then only
// one of the same type), the name live in another volume, no base (neither Options nor
// agreeing images) or a given one that contradicts the images', a file never completed before
// the free space, no room, a container that cannot be rebuilt, or, with Early, what ListFirst
// refuses.
[[nodiscard]] EditOutcome InsertPeim(const FirmwareImage &Image, const PeimFile &Peim,
                                     const InsertOptions &Options, std::vector<uint8_t> *Out,
                                     std::string *Report, std::string *Error,
                                     const FaultHook &Hook = {});
