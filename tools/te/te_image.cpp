#include "te_image.h"

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <string>
#include <vector>

#include "messages.h"
#include "pe_format.h"
#include "struct_io.h"

using namespace pe;

namespace {

uint64_t MemoryEnd(const TeSection &Section) {
  return uint64_t{Section.VirtualAddress} + std::max(Section.VirtualSize, Section.SizeOfRawData);
}

// Section names end up in one-line messages: control and non-ASCII bytes become '?'.
std::string SectionName(const IMAGE_SECTION_HEADER &Header) {
  std::string Name(std::begin(Header.Name),
                   std::find(std::begin(Header.Name), std::end(Header.Name), 0));
  std::replace_if(
      Name.begin(), Name.end(), [](char Byte) { return Byte < 0x20 || Byte >= 0x7F; }, '?');
  return Name;
}

// Decodes a section header. HeadersEnd is the TE file offset where the section table ends: raw
// data must lie between it and the end of the file.
[[nodiscard]] bool ParseSection(ByteView File, const IMAGE_SECTION_HEADER &Header,
                                uint32_t Displacement, uint64_t HeadersEnd, TeSection *Section,
                                std::string *Error) {
  *Section = {SectionName(Header),  Header.VirtualSize,      Header.VirtualAddress,
              Header.SizeOfRawData, Header.PointerToRawData, Header.Characteristics};
  const auto RawData = [Section](const char *Problem) {
    return "section " + Section->Name + ": raw data " + Hex(Section->PointerToRawData) + "+" +
           Hex(Section->SizeOfRawData) + Problem;
  };
  if (Section->SizeOfRawData != 0) {
    if (Section->PointerToRawData < Displacement + HeadersEnd) {
      return Fail(Error, RawData(" overlaps the headers or section table"));
    }
    if (!Fits(File.size(), Section->PointerToRawData - Displacement, Section->SizeOfRawData)) {
      return Fail(Error, RawData(" runs past the end of the file"));
    }
  }
  if (MemoryEnd(*Section) > UINT32_MAX) {
    return Fail(Error, "section " + Section->Name + ": memory at RVA " +
                           Hex(Section->VirtualAddress) + " runs past 4 GiB");
  }
  return true;
}

// Appends every entry of a base relocation directory (its bytes: IMAGE_BASE_RELOCATION blocks,
// each followed by its 16-bit entries), ABSOLUTE padding included, to Relocations.
[[nodiscard]] bool ParseRelocationBlocks(ByteView Directory, std::vector<TeRelocation> *Relocations,
                                         std::string *Error) {
  const uint64_t Size = Directory.size();
  IMAGE_BASE_RELOCATION Block{};
  for (uint64_t Position = 0; Position < Size; Position += Block.SizeOfBlock) {
    const auto Where = [Position] {
      return "relocation block at directory offset " + Hex(Position);
    };
    const auto SizeOfBlock = [&Where, &Block] {
      return Where() + ": SizeOfBlock " + std::to_string(Block.SizeOfBlock);
    };
    if (!ReadStruct(Directory, Position, &Block)) {
      return Fail(Error, Where() + ": its 8-byte header runs past the relocation directory (" +
                             std::to_string(Size) + " bytes)");
    }
    if (Block.SizeOfBlock < sizeof(Block)) {
      return Fail(Error, SizeOfBlock() + " is below 8");
    }
    if (Block.SizeOfBlock % 2 != 0) {
      return Fail(Error, SizeOfBlock() + " is not a multiple of 2");
    }
    if (!Fits(Size, Position, Block.SizeOfBlock)) {
      return Fail(Error, SizeOfBlock() + " runs past the relocation directory (" +
                             std::to_string(Size - Position) + " bytes left)");
    }
    uint16_t Entry = 0;
    for (uint64_t At = Position + sizeof(Block);
         At < Position + Block.SizeOfBlock && ReadStruct(Directory, At, &Entry);
         At += sizeof(Entry)) {
      const uint64_t Rva = uint64_t{Block.VirtualAddress} + (Entry & 0x0FFF);
      if (Rva > UINT32_MAX) {
        return Fail(Error, Where() + ": entry RVA " + Hex(Rva) + " does not fit 32 bits");
      }
      Relocations->push_back({static_cast<uint32_t>(Rva), static_cast<uint8_t>(Entry >> 12)});
    }
  }
  return true;
}

// Bytes a relocation of Type rewrites at its RVA: 0 for ABSOLUTE padding, 1 for types these
// tools do not apply (the RVA itself must still be in the image).
uint32_t RelocationWidth(uint8_t Type) {
  switch (Type) {
  case IMAGE_REL_BASED_ABSOLUTE:
    return 0;
  case IMAGE_REL_BASED_HIGH:
  case IMAGE_REL_BASED_LOW:
    return 2;
  case IMAGE_REL_BASED_HIGHLOW:
    return 4;
  case IMAGE_REL_BASED_DIR64:
    return 8;
  default:
    return 1;
  }
}

[[nodiscard]] bool ParseRelocations(uint64_t HeadersEnd, TeImage *Image, std::string *Error) {
  const IMAGE_DATA_DIRECTORY &Relocations =
      Image->DataDirectory[EFI_TE_IMAGE_DIRECTORY_ENTRY_BASERELOC];
  if (Relocations.Size == 0) {
    return true;
  }
  const uint64_t Displacement = Image->Displacement();
  const auto Range = [&Relocations](const char *Problem) {
    return "relocation directory " + Hex(Relocations.VirtualAddress) + "+" + Hex(Relocations.Size) +
           Problem;
  };
  if (Relocations.VirtualAddress < Displacement + HeadersEnd) {
    return Fail(Error, Range(" overlaps the headers or section table"));
  }
  ByteView Directory;
  if (!SubView(Image->Bytes, Relocations.VirtualAddress - Displacement, Relocations.Size,
               &Directory)) {
    return Fail(Error, Range(" runs past the end of the file"));
  }
  if (!ParseRelocationBlocks(Directory, &Image->Relocations, Error)) {
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

bool ParseTeImage(ByteView File, TeImage *Image, std::string *Error) {
  EFI_TE_IMAGE_HEADER Header{};
  if (!ReadStruct(File, 0, &Header)) {
    return Fail(Error, "file is " + std::to_string(File.size()) +
                           " bytes, shorter than the 40-byte TE header");
  }
  if (Header.Signature != EFI_TE_IMAGE_HEADER_SIGNATURE) {
    return Fail(Error,
                "bad TE signature " + Hex(Header.Signature, 4) + " (expected 0x5a56, \"VZ\")");
  }
  if (Header.StrippedSize < sizeof(Header)) {
    return Fail(Error, "StrippedSize " + std::to_string(Header.StrippedSize) +
                           " is smaller than the 40-byte TE header");
  }
  std::vector<IMAGE_SECTION_HEADER> Table(Header.NumberOfSections);
  if (!ReadStruct(File, sizeof(Header), Table.data(), Table.size())) {
    return Fail(Error, "section table (" + std::to_string(Table.size()) +
                           " entries) runs past the end of the file");
  }
  const uint64_t HeadersEnd = sizeof(Header) + Table.size() * sizeof(IMAGE_SECTION_HEADER);
  TeImage Out{Header, {}, {}, 0, File};
  uint64_t PreviousEnd = 0;
  for (const IMAGE_SECTION_HEADER &Raw : Table) {
    TeSection Section;
    if (!ParseSection(File, Raw, Out.Displacement(), HeadersEnd, &Section, Error)) {
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
  if (!ParseRelocations(HeadersEnd, &Out, Error)) {
    return false;
  }
  *Image = Out;
  return true;
}

const TeSection *FindSectionByRva(const TeImage &Image, uint64_t Rva) {
  const auto Found =
      std::find_if(Image.Sections.begin(), Image.Sections.end(), [Rva](const TeSection &Section) {
        return Rva >= Section.VirtualAddress && Rva < MemoryEnd(Section);
      });
  return Found != Image.Sections.end() ? &*Found : nullptr;
}

bool ReadImageU32(const TeImage &Image, uint32_t Rva, uint32_t *Value) {
  const TeSection *Section = FindSectionByRva(Image, Rva);
  if (Section == nullptr || !Fits(Section->SizeOfRawData, Rva - Section->VirtualAddress, 4)) {
    return false;
  }
  const uint64_t Offset =
      uint64_t{Section->PointerToRawData} - Image.Displacement() + (Rva - Section->VirtualAddress);
  return ReadStruct(Image.Bytes, Offset, Value);
}
