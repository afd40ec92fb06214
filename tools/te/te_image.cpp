#include "te_image.h"

#include <algorithm>

#include "byte_io.h"
#include "pe_layout.h"
#include "relocation_blocks.h"

namespace {

uint64_t MemoryEnd(const TeSection &Section) {
  return uint64_t{Section.VirtualAddress} + std::max(Section.VirtualSize, Section.SizeOfRawData);
}

// Section names end up in one-line messages: control and non-ASCII bytes become '?'.
std::string SectionName(const std::vector<uint8_t> &File, uint64_t At) {
  std::string Name;
  for (uint32_t Index = 0; Index < SECTION_NAME_SIZE; Index++) {
    const uint8_t Byte = ReadU8(File, At + Index);
    if (Byte == 0) {
      break;
    }
    Name.push_back(Byte >= 0x20 && Byte < 0x7F ? static_cast<char>(Byte) : '?');
  }
  return Name;
}

// Reads the section header at At. HeadersEnd is the TE file offset where the section table ends:
// raw data must lie between it and the end of the file.
bool ParseSection(const std::vector<uint8_t> &File, uint64_t At, uint32_t Displacement,
                  uint64_t HeadersEnd, TeSection *Section, std::string *Error) {
  Section->Name = SectionName(File, At);
  Section->VirtualSize = ReadU32(File, At + SECTION_VIRTUAL_SIZE);
  Section->VirtualAddress = ReadU32(File, At + SECTION_VIRTUAL_ADDRESS);
  Section->SizeOfRawData = ReadU32(File, At + SECTION_SIZE_OF_RAW_DATA);
  Section->PointerToRawData = ReadU32(File, At + SECTION_POINTER_TO_RAW_DATA);
  Section->Characteristics = ReadU32(File, At + SECTION_CHARACTERISTICS);
  const std::string Where = "section " + Section->Name + ": ";
  const std::string Raw = Hex(Section->PointerToRawData) + "+" + Hex(Section->SizeOfRawData);
  if (Section->SizeOfRawData != 0) {
    if (Section->PointerToRawData < Displacement + HeadersEnd) {
      return Fail(Error, Where + "raw data " + Raw + " overlaps the headers or section table");
    }
    if (!Fits(File.size(), Section->PointerToRawData - Displacement, Section->SizeOfRawData)) {
      return Fail(Error, Where + "raw data " + Raw + " runs past the end of the file");
    }
  }
  if (MemoryEnd(*Section) > UINT32_MAX) {
    return Fail(Error,
                Where + "memory at RVA " + Hex(Section->VirtualAddress) + " runs past 4 GiB");
  }
  return true;
}

bool ParseRelocations(const std::vector<uint8_t> &File, uint64_t HeadersEnd, TeImage *Image,
                      std::string *Error) {
  if (Image->RelocationSize == 0) {
    return true;
  }
  const uint64_t Displacement = Image->Displacement();
  const std::string Range = Hex(Image->RelocationRva) + "+" + Hex(Image->RelocationSize);
  if (Image->RelocationRva < Displacement + HeadersEnd) {
    return Fail(Error, "relocation directory " + Range + " overlaps the headers or section table");
  }
  const uint64_t Offset = Image->RelocationRva - Displacement;
  if (!Fits(File.size(), Offset, Image->RelocationSize)) {
    return Fail(Error, "relocation directory " + Range + " runs past the end of the file");
  }
  if (!ParseRelocationBlocks(File, Offset, Image->RelocationSize, &Image->Relocations, Error)) {
    return false;
  }
  for (const TeRelocation &Relocation : Image->Relocations) {
    const uint64_t End = uint64_t{Relocation.Rva} + RelocationWidth(Relocation.Type);
    if (Relocation.Type != IMAGE_REL_BASED_ABSOLUTE && End > Image->SizeOfImage) {
      return Fail(Error, "relocation at RVA " + Hex(Relocation.Rva) + " (type " +
                             std::to_string(Relocation.Type) + ") lies outside the image (" +
                             Hex(Image->SizeOfImage) + " bytes)");
    }
  }
  return true;
}

} // namespace

bool ParseTeImage(const std::vector<uint8_t> &File, TeImage *Image, std::string *Error) {
  if (File.size() < TE_HEADER_SIZE) {
    return Fail(Error, "file is " + std::to_string(File.size()) +
                           " bytes, shorter than the 40-byte TE header");
  }
  const uint16_t Signature = ReadU16(File, TE_SIGNATURE_AT);
  if (Signature != TE_SIGNATURE) {
    return Fail(Error, "bad TE signature " + Hex(Signature, 4) + " (expected 0x5a56, \"VZ\")");
  }
  TeImage Out{};
  Out.Machine = ReadU16(File, TE_MACHINE);
  Out.NumberOfSections = ReadU8(File, TE_NUMBER_OF_SECTIONS);
  Out.Subsystem = ReadU8(File, TE_SUBSYSTEM);
  Out.StrippedSize = ReadU16(File, TE_STRIPPED_SIZE);
  Out.AddressOfEntryPoint = ReadU32(File, TE_ADDRESS_OF_ENTRY_POINT);
  Out.BaseOfCode = ReadU32(File, TE_BASE_OF_CODE);
  Out.ImageBase = ReadU32(File, TE_IMAGE_BASE) | uint64_t{ReadU32(File, TE_IMAGE_BASE + 4)} << 32;
  Out.RelocationRva = ReadU32(File, TE_RELOCATION_DIRECTORY);
  Out.RelocationSize = ReadU32(File, TE_RELOCATION_DIRECTORY + 4);
  Out.DebugRva = ReadU32(File, TE_DEBUG_DIRECTORY);
  Out.DebugSize = ReadU32(File, TE_DEBUG_DIRECTORY + 4);
  if (Out.StrippedSize < TE_HEADER_SIZE) {
    return Fail(Error, "StrippedSize " + std::to_string(Out.StrippedSize) +
                           " is smaller than the 40-byte TE header");
  }
  const uint64_t HeadersEnd = TE_HEADER_SIZE + uint64_t{Out.NumberOfSections} * SECTION_HEADER_SIZE;
  if (HeadersEnd > File.size()) {
    return Fail(Error, "section table (" + std::to_string(Out.NumberOfSections) +
                           " entries) runs past the end of the file");
  }
  uint64_t PreviousEnd = 0;
  for (uint32_t Index = 0; Index < Out.NumberOfSections; Index++) {
    TeSection Section;
    const uint64_t At = TE_HEADER_SIZE + uint64_t{Index} * SECTION_HEADER_SIZE;
    if (!ParseSection(File, At, Out.Displacement(), HeadersEnd, &Section, Error)) {
      return false;
    }
    if (Section.VirtualAddress < PreviousEnd) {
      return Fail(Error, "section " + Section.Name + " at RVA " + Hex(Section.VirtualAddress) +
                             " overlaps or precedes the section before it");
    }
    PreviousEnd = MemoryEnd(Section);
    Out.SizeOfImage = static_cast<uint32_t>(PreviousEnd);
    Out.Sections.push_back(Section);
  }
  if (!ParseRelocations(File, HeadersEnd, &Out, Error)) {
    return false;
  }
  *Image = Out;
  return true;
}

namespace {

template <typename Predicate>
const TeSection *FindSection(const TeImage &Image, Predicate Matches) {
  const auto Found = std::find_if(Image.Sections.begin(), Image.Sections.end(), Matches);
  return Found != Image.Sections.end() ? &*Found : nullptr;
}

} // namespace

const TeSection *FindSectionByRva(const TeImage &Image, uint64_t Rva) {
  return FindSection(Image, [Rva](const TeSection &Section) {
    return Rva >= Section.VirtualAddress && Rva < MemoryEnd(Section);
  });
}

const TeSection *FindSectionByName(const TeImage &Image, const std::string &Name) {
  return FindSection(Image, [&Name](const TeSection &Section) { return Section.Name == Name; });
}

bool ReadImageU32(const TeImage &Image, const std::vector<uint8_t> &File, uint32_t Rva,
                  uint32_t *Value) {
  const TeSection *Section = FindSectionByRva(Image, Rva);
  if (Section == nullptr || !Fits(Section->SizeOfRawData, Rva - Section->VirtualAddress, 4)) {
    return false;
  }
  const uint64_t Offset =
      uint64_t{Section->PointerToRawData} - Image.Displacement() + (Rva - Section->VirtualAddress);
  if (!Fits(File.size(), Offset, 4)) {
    return false;
  }
  *Value = ReadU32(File, Offset);
  return true;
}
