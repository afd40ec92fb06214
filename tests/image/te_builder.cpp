#include "te_builder.h"

#include <cstring>
#include <map>

#include "struct_io.h"

using namespace pe;

namespace {

constexpr uint32_t SECTION_ALIGNMENT = 0x20; // as the module is linked (/align:32)
constexpr uint32_t SCN_RELOC = 0x42000040;   // initialised data, discardable, read
constexpr uint32_t DISPLACEMENT = TEST_STRIPPED_SIZE - sizeof(EFI_TE_IMAGE_HEADER);

uint32_t AlignUp(uint32_t Value) {
  return (Value + SECTION_ALIGNMENT - 1) & ~(SECTION_ALIGNMENT - 1);
}

// Base relocation blocks: one per 4 KiB page, entries padded to 4 bytes with ABSOLUTE ones. With
// no offset, one block of padding: the module's image always has a .reloc section.
std::vector<uint8_t> RelocationBlocks(const std::vector<uint32_t> &Offsets) {
  std::map<uint32_t, std::vector<uint16_t>> Pages;
  if (Offsets.empty()) {
    Pages[TEST_TEXT_RVA & ~0xFFFu] = {IMAGE_REL_BASED_ABSOLUTE << 12,
                                      IMAGE_REL_BASED_ABSOLUTE << 12};
  }
  for (const uint32_t Offset : Offsets) {
    const uint32_t Rva = TEST_TEXT_RVA + Offset;
    Pages[Rva & ~0xFFFu].push_back(
        static_cast<uint16_t>(IMAGE_REL_BASED_HIGHLOW << 12 | (Rva & 0xFFF)));
  }
  std::vector<uint8_t> Blocks;
  for (auto &[Page, Entries] : Pages) {
    if (Entries.size() % 2 != 0) {
      Entries.push_back(IMAGE_REL_BASED_ABSOLUTE << 12);
    }
    const uint32_t Size = static_cast<uint32_t>(sizeof(IMAGE_BASE_RELOCATION) + 2 * Entries.size());
    const size_t At = Blocks.size();
    PutStruct(&Blocks, At, IMAGE_BASE_RELOCATION{Page, Size});
    for (size_t Index = 0; Index < Entries.size(); ++Index) {
      PutStruct(&Blocks, At + sizeof(IMAGE_BASE_RELOCATION) + 2 * Index, Entries[Index]);
    }
  }
  return Blocks;
}

// The header of a section whose data sits at its RVA.
IMAGE_SECTION_HEADER Section(const char *Name, uint32_t Rva, uint32_t Size,
                             uint32_t Characteristics) {
  IMAGE_SECTION_HEADER Header{};
  std::memcpy(Header.Name, Name, std::strlen(Name));
  Header.VirtualSize = Size;
  Header.VirtualAddress = Rva;
  Header.SizeOfRawData = AlignUp(Size);
  Header.PointerToRawData = Rva;
  Header.Characteristics = Characteristics;
  return Header;
}

} // namespace

void PutU16(std::vector<uint8_t> &Bytes, size_t At, uint16_t Value) {
  PutStruct(&Bytes, At, Value);
}

void PutU32(std::vector<uint8_t> &Bytes, size_t At, uint32_t Value) {
  PutStruct(&Bytes, At, Value);
}

std::vector<uint8_t> BuildTe(const TestImage &Image) {
  const std::vector<uint8_t> Relocations = RelocationBlocks(Image.Relocated);
  const uint32_t TextSize = static_cast<uint32_t>(Image.Code.size());
  const uint32_t RelocRva = TEST_TEXT_RVA + AlignUp(TextSize);
  const uint32_t RelocSize = static_cast<uint32_t>(Relocations.size());
  const uint32_t End = RelocRva + AlignUp(RelocSize);

  EFI_TE_IMAGE_HEADER Header{};
  Header.Signature = EFI_TE_IMAGE_HEADER_SIGNATURE;
  Header.Machine = Image.Machine;
  Header.NumberOfSections = 2;
  Header.Subsystem = IMAGE_SUBSYSTEM_EFI_BOOT_SERVICE_DRIVER;
  Header.StrippedSize = TEST_STRIPPED_SIZE;
  Header.AddressOfEntryPoint = TEST_TEXT_RVA;
  Header.BaseOfCode = TEST_TEXT_RVA;
  Header.ImageBase = TEST_IMAGE_BASE;
  std::vector<uint8_t> File(End - DISPLACEMENT, 0);
  PutStruct(&File, TE_AT_SECTIONS, Section(".text", TEST_TEXT_RVA, TextSize, Image.TextFlags));
  std::copy(Image.Code.begin(), Image.Code.end(), File.begin() + (TEST_TEXT_RVA - DISPLACEMENT));
  Header.DataDirectory[EFI_TE_IMAGE_DIRECTORY_ENTRY_BASERELOC] = {RelocRva, RelocSize};
  PutStruct(&File, TE_AT_SECTIONS + sizeof(IMAGE_SECTION_HEADER),
            Section(".reloc", RelocRva, RelocSize, SCN_RELOC));
  std::copy(Relocations.begin(), Relocations.end(), File.begin() + (RelocRva - DISPLACEMENT));
  PutStruct(&File, 0, Header);
  return File;
}
