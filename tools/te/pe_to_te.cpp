#include "pe_to_te.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "image_rules.h"
#include "messages.h"
#include "pe_format.h"
#include "struct_io.h"
#include "te_check.h"
#include "te_image.h"

using namespace pe;

namespace {

// The PE headers the TE header is made from, as read from inside the file.
struct PeHeaders {
  uint64_t CoffAt = 0; // file offset of the COFF header
  IMAGE_FILE_HEADER Coff{};
  IMAGE_OPTIONAL_HEADER32 Optional{};
  IMAGE_DATA_DIRECTORY Directories[DIRECTORIES_NEEDED]{};
  uint64_t StrippedSize = 0; // file offset of the section table
};

[[nodiscard]] bool ReadDosAndCoff(ByteView Pe, PeHeaders *Headers, std::string *Error) {
  IMAGE_DOS_HEADER Dos{};
  if (!ReadStruct(Pe, 0, &Dos)) {
    return Fail(Error, "not a PE image: " + std::to_string(Pe.size()) +
                           " bytes, shorter than the 64-byte DOS header");
  }
  if (Dos.e_magic != IMAGE_DOS_SIGNATURE) {
    return Fail(Error, "not a PE image: no MZ signature");
  }
  uint32_t Signature = 0;
  Headers->CoffAt = uint64_t{Dos.e_lfanew} + sizeof(Signature);
  if (Dos.e_lfanew < sizeof(Dos) || !ReadStruct(Pe, Dos.e_lfanew, &Signature) ||
      !ReadStruct(Pe, Headers->CoffAt, &Headers->Coff)) {
    return Fail(Error, "bad e_lfanew " + Hex(Dos.e_lfanew) +
                           ": the PE and COFF headers must follow the DOS header inside the file");
  }
  if (Signature != IMAGE_NT_SIGNATURE) {
    return Fail(Error, "bad PE signature at " + Hex(Dos.e_lfanew) + ": expected \"PE\\0\\0\"");
  }
  const IMAGE_FILE_HEADER &Coff = Headers->Coff;
  if (!CheckIa32Machine(Coff.Machine, Error)) {
    return false;
  }
  if ((Coff.Characteristics & IMAGE_FILE_EXECUTABLE_IMAGE) == 0) {
    return Fail(Error, "not an executable image: IMAGE_FILE_EXECUTABLE_IMAGE is clear");
  }
  if (Coff.NumberOfSections > 0xFF) {
    return Fail(Error, "NumberOfSections " + std::to_string(Coff.NumberOfSections) +
                           " does not fit the TE header's 8-bit field");
  }
  return true;
}

[[nodiscard]] bool ReadOptionalHeader(ByteView Pe, PeHeaders *Headers, std::string *Error) {
  const uint16_t OptionalSize = Headers->Coff.SizeOfOptionalHeader;
  const IMAGE_OPTIONAL_HEADER32 &Optional = Headers->Optional;
  if (OptionalSize < sizeof(Optional)) {
    return Fail(Error, "SizeOfOptionalHeader " + std::to_string(OptionalSize) +
                           " is too small for a PE32 optional header (96 bytes)");
  }
  const uint64_t OptionalAt = Headers->CoffAt + sizeof(IMAGE_FILE_HEADER);
  if (!ReadStruct(Pe, OptionalAt, &Headers->Optional)) {
    return Fail(Error, "optional header runs past the end of the file");
  }
  if (Optional.Magic != IMAGE_NT_OPTIONAL_HDR32_MAGIC) {
    return Fail(Error, "optional header magic " + Hex(Optional.Magic) + " is not PE32 (0x10b)");
  }
  if (Optional.Subsystem > 0xFF) {
    return Fail(Error, "Subsystem " + std::to_string(Optional.Subsystem) +
                           " does not fit the TE header's 8-bit field");
  }
  const uint32_t Directories = Optional.NumberOfRvaAndSizes;
  if (Directories < DIRECTORIES_NEEDED) {
    return Fail(Error, "NumberOfRvaAndSizes " + std::to_string(Directories) +
                           " is too small: the relocation and debug directories need 7");
  }
  if (OptionalSize < sizeof(Optional) + uint64_t{Directories} * sizeof(IMAGE_DATA_DIRECTORY)) {
    return Fail(Error, "SizeOfOptionalHeader " + std::to_string(OptionalSize) +
                           " is too small for its " + std::to_string(Directories) +
                           " data directories");
  }
  if (!ReadStruct(Pe, OptionalAt + sizeof(Optional), Headers->Directories, DIRECTORIES_NEEDED)) {
    return Fail(Error, "data directories run past the end of the file");
  }
  Headers->StrippedSize = OptionalAt + OptionalSize;
  return true;
}

// The contract checks that the TE header cannot express.
[[nodiscard]] bool CheckPeOnly(const PeHeaders &Headers, std::string *Error) {
  const IMAGE_OPTIONAL_HEADER32 &Optional = Headers.Optional;
  if (Optional.SectionAlignment != Optional.FileAlignment) {
    return Fail(Error, "SectionAlignment " + Hex(Optional.SectionAlignment) +
                           " differs from FileAlignment " + Hex(Optional.FileAlignment) +
                           " (TE needs file offset == RVA)");
  }
  const IMAGE_DATA_DIRECTORY &Import = Headers.Directories[IMAGE_DIRECTORY_ENTRY_IMPORT];
  if (Import.VirtualAddress != 0 || Import.Size != 0) {
    return Fail(Error, "import table present (RVA " + Hex(Import.VirtualAddress) + ", " +
                           std::to_string(Import.Size) + " bytes): the module must import nothing");
  }
  return CheckNoDebugDirectory(Headers.Directories[IMAGE_DIRECTORY_ENTRY_DEBUG], Error);
}

// The TE header's field widths: the section table's offset in 16 bits, the table in the file.
[[nodiscard]] bool CheckTeFields(ByteView Pe, const PeHeaders &Headers, std::string *Error) {
  if (Headers.StrippedSize > 0xFFFF) {
    return Fail(Error, "StrippedSize " + Hex(Headers.StrippedSize) +
                           " does not fit the TE header's 16-bit field");
  }
  const uint16_t Sections = Headers.Coff.NumberOfSections;
  if (!Fits(Pe.size(), Headers.StrippedSize, uint64_t{Sections} * sizeof(IMAGE_SECTION_HEADER))) {
    return Fail(Error, "section table (" + std::to_string(Sections) + " entries at " +
                           Hex(Headers.StrippedSize) + ") runs past the end of the file");
  }
  return true;
}

std::vector<uint8_t> BuildTe(ByteView Pe, const PeHeaders &Headers) {
  EFI_TE_IMAGE_HEADER Header{};
  Header.Signature = EFI_TE_IMAGE_HEADER_SIGNATURE;
  Header.Machine = Headers.Coff.Machine;
  Header.NumberOfSections = static_cast<uint8_t>(Headers.Coff.NumberOfSections);
  Header.Subsystem = static_cast<uint8_t>(Headers.Optional.Subsystem);
  Header.StrippedSize = static_cast<uint16_t>(Headers.StrippedSize);
  Header.AddressOfEntryPoint = Headers.Optional.AddressOfEntryPoint;
  Header.BaseOfCode = Headers.Optional.BaseOfCode;
  Header.ImageBase = Headers.Optional.ImageBase;
  Header.DataDirectory[EFI_TE_IMAGE_DIRECTORY_ENTRY_BASERELOC] =
      Headers.Directories[IMAGE_DIRECTORY_ENTRY_BASERELOC];
  Header.DataDirectory[EFI_TE_IMAGE_DIRECTORY_ENTRY_DEBUG] =
      Headers.Directories[IMAGE_DIRECTORY_ENTRY_DEBUG];
  std::vector<uint8_t> Te;
  Te.reserve(sizeof(Header) + Pe.size() - Headers.StrippedSize);
  PutStruct(&Te, 0, Header);
  Te.insert(Te.end(), Pe.begin() + static_cast<std::ptrdiff_t>(Headers.StrippedSize), Pe.end());
  return Te;
}

// The headers of an IA-32 PE32 executable whose TE form the TE header's fields can express.
[[nodiscard]] bool ReadPeHeaders(ByteView Pe, PeHeaders *Headers, std::string *Error) {
  return ReadDosAndCoff(Pe, Headers, Error) && ReadOptionalHeader(Pe, Headers, Error) &&
         CheckTeFields(Pe, *Headers, Error);
}

} // namespace

bool ReadPeAsTe(ByteView Pe, std::vector<uint8_t> *Te, std::string *Error) {
  PeHeaders Headers;
  if (!ReadPeHeaders(Pe, &Headers, Error)) {
    return false;
  }
  *Te = BuildTe(Pe, Headers);
  return true;
}

bool ConvertPeToTe(ByteView Pe, std::vector<uint8_t> *Te, std::string *Error) {
  PeHeaders Headers;
  if (!ReadPeHeaders(Pe, &Headers, Error) || !CheckPeOnly(Headers, Error)) {
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
