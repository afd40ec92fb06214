// Taking a file out of a firmware image, and copying a file's image out of it: the undo of
// insert, and a look at what a volume runs.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "edit_check.h"
#include "firmware_tree.h"
#include "fv_format.h"

// Out is Image's bytes without the one live file named Name, in whichever volume holds it: the
// last file goes back to free space with the pad files right before it (those insert adds for
// alignment), any other becomes a pad file of its size; a PEI apriori file listing Name lists it
// no more, the pad file after it growing back. The containers around the volume are
// rebuilt and the result checked as insert's is (edit_check.h). Refuses what insert refuses:
// an unknown name, one live in several places, the PEI core, or a container that cannot be
// rebuilt.
[[nodiscard]] EditOutcome RemoveNamedFile(const FirmwareImage &Image, const fv::EFI_GUID &Name,
                                          std::vector<uint8_t> *Out, std::string *Report,
                                          std::string *Error, const FaultHook &Hook = {});

// Out is the image in the one PE32 or TE section of the live file named Name, as it lies in the
// firmware: rebased to run there. Refuses what remove refuses, and a file with no image section
// or several.
[[nodiscard]] bool ExtractImage(const FirmwareImage &Image, const fv::EFI_GUID &Name,
                                std::vector<uint8_t> *Out, std::string *Report, std::string *Error);
