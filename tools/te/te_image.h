// Reading a TE (Terse Executable) image, the PI firmware's compact form of a PE32 image: a
// 40-byte header replaces the DOS, COFF and optional headers; the section table and the
// section data follow as they stood in the PE file from StrippedSize on.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

constexpr uint32_t TE_HEADER_SIZE = 40;
constexpr uint16_t TE_SIGNATURE = 0x5A56; // "VZ"

struct TeSection {
  std::string Name; // up to 8 characters
  uint32_t VirtualSize;
  uint32_t VirtualAddress;
  uint32_t SizeOfRawData;
  uint32_t PointerToRawData; // as in the PE file; subtract TeImage::Displacement() for TE
  uint32_t Characteristics;
};

struct TeRelocation {
  uint32_t Rva;
  uint8_t Type; // IMAGE_REL_BASED_*: 0 ABSOLUTE, 3 HIGHLOW
};

struct TeImage {
  uint16_t Machine;
  uint8_t NumberOfSections;
  uint8_t Subsystem;
  uint16_t StrippedSize;
  uint32_t AddressOfEntryPoint;
  uint32_t BaseOfCode;
  uint64_t ImageBase;
  uint32_t RelocationRva;
  uint32_t RelocationSize;
  uint32_t DebugRva;
  uint32_t DebugSize;
  std::vector<TeSection> Sections;
  std::vector<TeRelocation> Relocations; // ABSOLUTE padding entries included
  uint32_t SizeOfImage;                  // end of the last section's memory, as an RVA: the largest
                                         // VirtualAddress + max(VirtualSize, SizeOfRawData)

  // RVA r is at TE file offset r - Displacement(); in memory the TE header sits at
  // (image base) + Displacement().
  uint32_t Displacement() const { return StrippedSize - TE_HEADER_SIZE; }
};

// Parses File as a TE image. Checks every header, table and relocation block against the
// file's bounds. On failure returns false and sets Error to a one-line reason.
bool ParseTeImage(const std::vector<uint8_t> &File, TeImage *Image, std::string *Error);

// The section whose memory [VirtualAddress, VirtualAddress + max(VirtualSize, SizeOfRawData))
// holds Rva, or null.
const TeSection *FindSectionByRva(const TeImage &Image, uint64_t Rva);

// The first section named Name, or null.
const TeSection *FindSectionByName(const TeImage &Image, const std::string &Name);

// Reads the little-endian 32-bit value at Rva from the raw data of the section holding it.
// False when the 4 bytes are not all inside that section's raw data in File.
bool ReadImageU32(const TeImage &Image, const std::vector<uint8_t> &File, uint32_t Rva,
                  uint32_t *Value);
