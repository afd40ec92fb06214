// Converting the module's PE32 image to its TE image.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "struct_io.h"

// Builds Te from Pe: the 40-byte TE header, then the PE bytes from StrippedSize (the file
// offset of the section table) to the end. Entry point, BaseOfCode, section headers and
// relocation RVAs stay those of the PE image. Refuses anything but a PE32 IA-32 executable
// whose headers fit the TE header's fields and which passes CheckTeImage once converted. On
// failure Te is left untouched and Error holds a one-line reason.
[[nodiscard]] bool ConvertPeToTe(ByteView Pe, std::vector<uint8_t> *Te, std::string *Error);

// The TE form of any IA-32 PE32 executable whose headers fit the TE header's fields, built as
// ConvertPeToTe builds it but without the module's contract checks: for reading an image that
// may carry debug sections and a debug directory, such as the module's debug twin. Te is set
// only on success.
[[nodiscard]] bool ReadPeAsTe(ByteView Pe, std::vector<uint8_t> *Te, std::string *Error);
