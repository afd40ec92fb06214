// fv-tool list: the tree of a firmware image's volumes, files and sections.
#pragma once

#include <string>

#include "firmware_tree.h"

// One line per volume, file and section, indented two spaces a level, with offsets (from the
// start of the volume, decoded data or image they lie in), sizes, GUIDs and type names; free
// space per volume, its execute-in-place base when its images agree on one, and the image base
// of each PE32 and TE section.
std::string DescribeFirmware(const FirmwareImage &Image);
