// What the module's TE image must be, beyond being a well-formed TE file.
#pragma once

#include <string>

#include "struct_io.h"
#include "te_image.h"

// Checks an image ParseTeImage accepted: IA-32 with a 32-bit ImageBase, subsystem 11, StrippedSize
// no smaller than the PE32 headers it replaced, exactly .text (code, execute, read, not paged, not
// writable) then .reloc (discardable), each at file offset == RVA, entry point inside .text, no
// debug directory, relocation directory equal to .reloc's memory, only HIGHLOW and ABSOLUTE
// relocations, and every HIGHLOW inside .text holding an address inside .text (its end
// included: a one-past-the-end pointer). On failure sets Error to a one-line reason.
[[nodiscard]] bool CheckTeImage(const TeImage &Image, std::string *Error);

// ParseTeImage, then CheckTeImage.
[[nodiscard]] bool ParseAndCheckTeImage(ByteView File, TeImage *Image, std::string *Error);
