// Rules the module's TE image is held to, for the image check and the loader alike.
#pragma once

#include "pe_format.h"

namespace pe {

// A TE header keeps the base relocation and debug directories: a PE32 image needs the first 7.
constexpr uint32_t DIRECTORIES_NEEDED = IMAGE_DIRECTORY_ENTRY_DEBUG + 1;

// The fewest bytes of PE32 headers a TE header can stand in for (its smallest StrippedSize).
constexpr uint32_t MIN_STRIPPED_SIZE = sizeof(IMAGE_DOS_HEADER) + sizeof(IMAGE_NT_SIGNATURE) +
                                       sizeof(IMAGE_FILE_HEADER) + sizeof(IMAGE_OPTIONAL_HEADER32) +
                                       DIRECTORIES_NEEDED * sizeof(IMAGE_DATA_DIRECTORY);

// HIGHLOW, and ABSOLUTE padding: the only base relocations an IA-32 image may carry.
constexpr bool IsIa32Relocation(uint8_t Type) {
  return Type == IMAGE_REL_BASED_HIGHLOW || Type == IMAGE_REL_BASED_ABSOLUTE;
}

// The section's file data starts at its RVA, so the file laid out from the image base puts it at
// its address unmoved. Section: IMAGE_SECTION_HEADER, or the reader's TeSection with its names.
template <typename Section> constexpr bool SitsAtItsRva(const Section &Header) {
  return Header.PointerToRawData == Header.VirtualAddress;
}

} // namespace pe
