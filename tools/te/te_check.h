// What the module's TE image must be, beyond being a well-formed TE file.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "te_image.h"

// Checks an image ParseTeImage accepted from File: IA-32, subsystem 11, StrippedSize no
// smaller than the PE32 headers it replaced, exactly .text (code, execute, read, not paged, not
// writable) then .reloc (discardable), each at file offset == RVA, entry point inside .text, no
// debug directory, relocation directory equal to .reloc's memory, only HIGHLOW and ABSOLUTE
// relocations, and every HIGHLOW inside .text holding an address inside .text (its end
// included: a one-past-the-end pointer). On failure sets Error to a one-line reason.
[[nodiscard]] bool CheckTeImage(const TeImage &Image, const std::vector<uint8_t> &File,
                                std::string *Error);

// ParseTeImage, then CheckTeImage.
[[nodiscard]] bool ParseAndCheckTeImage(const std::vector<uint8_t> &File, TeImage *Image,
                                        std::string *Error);
