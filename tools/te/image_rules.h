// The rules the module's TE image is held to that more than one tool applies: the converter to
// its input, the checker to any TE image, and the runner's loader before it places an image.
// Each rule has one definition here, with its refusal text.
#pragma once

#include <string>

#include "pe_format.h"
#include "te_image.h"

// The image is for IA-32 (machine 0x014c).
[[nodiscard]] bool CheckIa32Machine(uint16_t Machine, std::string *Error);

// The image carries no debug directory: Debug is all zeros.
[[nodiscard]] bool CheckNoDebugDirectory(const pe::IMAGE_DATA_DIRECTORY &Debug, std::string *Error);

// The relocation is HIGHLOW or ABSOLUTE padding, the only base relocations of an IA-32 image.
[[nodiscard]] bool CheckIa32Relocation(const TeRelocation &Relocation, std::string *Error);

// The section's file data, if it has any, starts at its RVA, so the file laid out from the image
// base puts it at its address unmoved.
[[nodiscard]] bool CheckSitsAtItsRva(const TeSection &Section, std::string *Error);
