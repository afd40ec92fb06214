#include "pe_to_te.h"

#include "byte_io.h"
#include "pe_layout.h"
#include "te_check.h"
#include "te_image.h"
#include "te_names.h"

namespace {

// File offsets of the PE headers, once their ranges are known to lie inside the file.
struct PeHeaders {
  uint32_t Coff = 0;
  uint64_t Optional = 0;
  uint16_t NumberOfSections = 0;
  uint64_t StrippedSize = 0; // file offset of the section table
};

bool ReadDosAndCoff(const std::vector<uint8_t> &Pe, PeHeaders *Headers, std::string *Error) {
  if (Pe.size() < DOS_HEADER_SIZE) {
    return Fail(Error, "not a PE image: " + std::to_string(Pe.size()) +
                           " bytes, shorter than the 64-byte DOS header");
  }
  if (ReadU16(Pe, 0) != DOS_SIGNATURE) {
    return Fail(Error, "not a PE image: no MZ signature");
  }
  const uint32_t Lfanew = ReadU32(Pe, DOS_LFANEW);
  if (Lfanew < DOS_HEADER_SIZE || !Fits(Pe.size(), Lfanew, PE_SIGNATURE_SIZE + COFF_HEADER_SIZE)) {
    return Fail(Error, "bad e_lfanew " + Hex(Lfanew) +
                           ": the PE and COFF headers must follow the DOS header inside the file");
  }
  if (ReadU32(Pe, Lfanew) != PE_SIGNATURE) {
    return Fail(Error, "bad PE signature at " + Hex(Lfanew) + ": expected \"PE\\0\\0\"");
  }
  Headers->Coff = Lfanew + PE_SIGNATURE_SIZE;
  const uint16_t Machine = ReadU16(Pe, Headers->Coff + COFF_MACHINE);
  if (Machine != IMAGE_FILE_MACHINE_I386) {
    return Fail(Error, "machine " + Hex(Machine, 4) + " (" + MachineName(Machine) +
                           ") is not IA-32 (0x014c)");
  }
  if ((ReadU16(Pe, Headers->Coff + COFF_CHARACTERISTICS) & IMAGE_FILE_EXECUTABLE_IMAGE) == 0) {
    return Fail(Error, "not an executable image: IMAGE_FILE_EXECUTABLE_IMAGE is clear");
  }
  Headers->NumberOfSections = ReadU16(Pe, Headers->Coff + COFF_NUMBER_OF_SECTIONS);
  if (Headers->NumberOfSections > 0xFF) {
    return Fail(Error, "NumberOfSections " + std::to_string(Headers->NumberOfSections) +
                           " does not fit the TE header's 8-bit field");
  }
  return true;
}

bool ReadOptionalHeader(const std::vector<uint8_t> &Pe, PeHeaders *Headers, std::string *Error) {
  const uint16_t OptionalSize = ReadU16(Pe, Headers->Coff + COFF_SIZE_OF_OPTIONAL_HEADER);
  if (OptionalSize < OPT_DATA_DIRECTORIES) {
    return Fail(Error, "SizeOfOptionalHeader " + std::to_string(OptionalSize) +
                           " is too small for a PE32 optional header (96 bytes)");
  }
  const uint64_t Optional = Headers->Coff + COFF_HEADER_SIZE;
  if (!Fits(Pe.size(), Optional, OPT_DATA_DIRECTORIES)) {
    return Fail(Error, "optional header runs past the end of the file");
  }
  const uint16_t Magic = ReadU16(Pe, Optional + OPT_MAGIC);
  if (Magic != PE32_MAGIC) {
    return Fail(Error, "optional header magic " + Hex(Magic) + " is not PE32 (0x10b)");
  }
  const uint16_t Subsystem = ReadU16(Pe, Optional + OPT_SUBSYSTEM);
  if (Subsystem > 0xFF) {
    return Fail(Error, "Subsystem " + std::to_string(Subsystem) +
                           " does not fit the TE header's 8-bit field");
  }
  const uint32_t Directories = ReadU32(Pe, Optional + OPT_NUMBER_OF_RVA_AND_SIZES);
  if (Directories < DIRS_NEEDED) {
    return Fail(Error, "NumberOfRvaAndSizes " + std::to_string(Directories) +
                           " is too small: the relocation and debug directories need 7");
  }
  if (OptionalSize < OPT_DATA_DIRECTORIES + uint64_t{Directories} * DATA_DIRECTORY_SIZE) {
    return Fail(Error, "SizeOfOptionalHeader " + std::to_string(OptionalSize) +
                           " is too small for its " + std::to_string(Directories) +
                           " data directories");
  }
  if (!Fits(Pe.size(), Optional,
            OPT_DATA_DIRECTORIES + uint64_t{DIRS_NEEDED} * DATA_DIRECTORY_SIZE)) {
    return Fail(Error, "data directories run past the end of the file");
  }
  Headers->Optional = Optional;
  Headers->StrippedSize = Optional + OptionalSize;
  return true;
}

uint32_t Directory(const std::vector<uint8_t> &Pe, const PeHeaders &Headers, uint32_t Index,
                   uint32_t Field) {
  return ReadU32(Pe, Headers.Optional + OPT_DATA_DIRECTORIES +
                         uint64_t{Index} * DATA_DIRECTORY_SIZE + Field);
}

// The contract checks that the TE header cannot express, and the TE header's field widths.
bool CheckPeOnly(const std::vector<uint8_t> &Pe, const PeHeaders &Headers, std::string *Error) {
  const uint32_t SectionAlignment = ReadU32(Pe, Headers.Optional + OPT_SECTION_ALIGNMENT);
  const uint32_t FileAlignment = ReadU32(Pe, Headers.Optional + OPT_FILE_ALIGNMENT);
  if (SectionAlignment != FileAlignment) {
    return Fail(Error, "SectionAlignment " + Hex(SectionAlignment) +
                           " differs from FileAlignment " + Hex(FileAlignment) +
                           " (TE needs file offset == RVA)");
  }
  const uint32_t ImportRva = Directory(Pe, Headers, DIR_IMPORT, 0);
  const uint32_t ImportSize = Directory(Pe, Headers, DIR_IMPORT, 4);
  if (ImportRva != 0 || ImportSize != 0) {
    return Fail(Error, "import table present (RVA " + Hex(ImportRva) + ", " +
                           std::to_string(ImportSize) + " bytes): the module must import nothing");
  }
  const uint32_t DebugRva = Directory(Pe, Headers, DIR_DEBUG, 0);
  const uint32_t DebugSize = Directory(Pe, Headers, DIR_DEBUG, 4);
  if (DebugRva != 0 || DebugSize != 0) {
    return Fail(Error, "debug directory present (RVA " + Hex(DebugRva) + ", " +
                           std::to_string(DebugSize) + " bytes): the image must carry none");
  }
  if (Headers.StrippedSize > 0xFFFF) {
    return Fail(Error, "StrippedSize " + Hex(Headers.StrippedSize) +
                           " does not fit the TE header's 16-bit field");
  }
  if (!Fits(Pe.size(), Headers.StrippedSize,
            uint64_t{Headers.NumberOfSections} * SECTION_HEADER_SIZE)) {
    return Fail(Error, "section table (" + std::to_string(Headers.NumberOfSections) +
                           " entries at " + Hex(Headers.StrippedSize) +
                           ") runs past the end of the file");
  }
  return true;
}

std::vector<uint8_t> BuildTe(const std::vector<uint8_t> &Pe, const PeHeaders &Headers) {
  std::vector<uint8_t> Te;
  Te.reserve(TE_HEADER_SIZE + Pe.size() - Headers.StrippedSize);
  AppendLe(&Te, TE_SIGNATURE, 2);
  AppendLe(&Te, ReadU16(Pe, Headers.Coff + COFF_MACHINE), 2);
  AppendLe(&Te, Headers.NumberOfSections, 1);
  AppendLe(&Te, ReadU16(Pe, Headers.Optional + OPT_SUBSYSTEM), 1);
  AppendLe(&Te, Headers.StrippedSize, 2);
  AppendLe(&Te, ReadU32(Pe, Headers.Optional + OPT_ADDRESS_OF_ENTRY_POINT), 4);
  AppendLe(&Te, ReadU32(Pe, Headers.Optional + OPT_BASE_OF_CODE), 4);
  AppendLe(&Te, ReadU32(Pe, Headers.Optional + OPT_IMAGE_BASE), 8);
  AppendLe(&Te, Directory(Pe, Headers, DIR_BASE_RELOCATION, 0), 4);
  AppendLe(&Te, Directory(Pe, Headers, DIR_BASE_RELOCATION, 4), 4);
  AppendLe(&Te, Directory(Pe, Headers, DIR_DEBUG, 0), 4);
  AppendLe(&Te, Directory(Pe, Headers, DIR_DEBUG, 4), 4);
  Te.insert(Te.end(), Pe.begin() + static_cast<std::ptrdiff_t>(Headers.StrippedSize), Pe.end());
  return Te;
}

} // namespace

bool ConvertPeToTe(const std::vector<uint8_t> &Pe, std::vector<uint8_t> *Te, std::string *Error) {
  PeHeaders Headers;
  if (!ReadDosAndCoff(Pe, &Headers, Error) || !ReadOptionalHeader(Pe, &Headers, Error) ||
      !CheckPeOnly(Pe, Headers, Error)) {
    return false;
  }
  std::vector<uint8_t> Built = BuildTe(Pe, Headers);
  TeImage Image;
  if (!ParseAndCheckTeImage(Built, &Image, Error)) {
    return false;
  }
  *Te = std::move(Built);
  return true;
}
