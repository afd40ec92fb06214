// Reading a TE (Terse Executable) image, the PI firmware's compact form of a PE32 image: a
// 40-byte header replaces the DOS, COFF and optional headers; the section table and the
// section data follow as they stood in the PE file from StrippedSize on.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "pe_format.h"
#include "struct_io.h"

constexpr uint32_t TE_HEADER_SIZE = sizeof(pe::EFI_TE_IMAGE_HEADER);

// A TE header keeps the base relocation and debug directories: a PE32 image needs the first 7.
constexpr uint32_t DIRECTORIES_NEEDED = pe::IMAGE_DIRECTORY_ENTRY_DEBUG + 1;

// The fewest bytes of PE32 headers a TE header can stand in for (its smallest StrippedSize).
constexpr uint32_t MIN_STRIPPED_SIZE =
    sizeof(pe::IMAGE_DOS_HEADER) + sizeof(pe::IMAGE_NT_SIGNATURE) + sizeof(pe::IMAGE_FILE_HEADER) +
    sizeof(pe::IMAGE_OPTIONAL_HEADER32) + DIRECTORIES_NEEDED * sizeof(pe::IMAGE_DATA_DIRECTORY);

struct TeSection {
  std::string Name; // up to 8 characters
  uint32_t VirtualSize, VirtualAddress, SizeOfRawData;
  uint32_t PointerToRawData; // as in the PE file; subtract TeImage::Displacement() for TE
  uint32_t Characteristics;
};

struct TeRelocation {
  uint32_t Rva;
  uint8_t Type; // IMAGE_REL_BASED_*: 0 ABSOLUTE, 3 HIGHLOW
};

// The TE header, what the reader makes of the section table and relocation directory, and the
// file's bytes. Bytes is a view: the file it was parsed from must outlive the TeImage.
struct TeImage : pe::EFI_TE_IMAGE_HEADER {
  std::vector<TeSection> Sections;
  std::vector<TeRelocation> Relocations; // ABSOLUTE padding entries included
  uint32_t SizeOfImage;                  // end of the last section's memory, as an RVA: the largest
                                         // VirtualAddress + max(VirtualSize, SizeOfRawData)
  ByteView Bytes;                        // the whole file

  // RVA r is at TE file offset r - Displacement(); in memory the TE header sits at
  // (image base) + Displacement().
  uint32_t Displacement() const { return StrippedSize - TE_HEADER_SIZE; }
};

// Parses File as a TE image. Checks every header, table and relocation block against the
// file's bounds. On failure returns false and sets Error to a one-line reason.
[[nodiscard]] bool ParseTeImage(ByteView File, TeImage *Image, std::string *Error);

// The section whose memory [VirtualAddress, VirtualAddress + max(VirtualSize, SizeOfRawData))
// holds Rva, or null.
const TeSection *FindSectionByRva(const TeImage &Image, uint64_t Rva);

// Reads the little-endian 32-bit value at Rva from the raw data of the section holding it.
// False when the 4 bytes are not all inside that section's raw data.
[[nodiscard]] bool ReadImageU32(const TeImage &Image, uint32_t Rva, uint32_t *Value);
