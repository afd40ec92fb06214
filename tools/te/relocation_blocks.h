// Reading a base relocation directory: a run of blocks, each a page RVA, its own size in bytes
// and 16-bit entries (type in the top 4 bits, offset within the page in the low 12).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "te_image.h"

// Reads the Size-byte directory at file offset Offset of File, which the caller has checked
// lies inside File. Appends every entry, ABSOLUTE padding included, to Relocations. Refuses a
// block whose SizeOfBlock is below 8, odd, or runs past the directory.
bool ParseRelocationBlocks(const std::vector<uint8_t> &File, uint64_t Offset, uint32_t Size,
                           std::vector<TeRelocation> *Relocations, std::string *Error);

// Bytes a relocation of Type rewrites at its RVA: 0 for ABSOLUTE padding, 1 for types these
// tools do not apply (the RVA itself must still be in the image).
uint32_t RelocationWidth(uint8_t Type);
