#include "te_builder.h"

#include <map>

namespace {

constexpr uint32_t SECTION_ALIGNMENT = 0x20; // as the module is linked (/align:32)
constexpr uint32_t SCN_RELOC = 0x42000040;   // initialised data, discardable, read
constexpr uint16_t REL_HIGHLOW = 3;
constexpr uint8_t SUBSYSTEM_BOOT_SERVICE_DRIVER = 11;
constexpr uint32_t DISPLACEMENT = TEST_STRIPPED_SIZE - 40;

uint32_t AlignUp(uint32_t Value) {
  return (Value + SECTION_ALIGNMENT - 1) & ~(SECTION_ALIGNMENT - 1);
}

// Base relocation blocks: one per 4 KiB page, entries padded to 4 bytes with ABSOLUTE ones.
std::vector<uint8_t> RelocationBlocks(const std::vector<uint32_t> &Offsets) {
  std::map<uint32_t, std::vector<uint16_t>> Pages;
  for (const uint32_t Offset : Offsets) {
    const uint32_t Rva = TEST_TEXT_RVA + Offset;
    Pages[Rva & ~0xFFFu].push_back(static_cast<uint16_t>(REL_HIGHLOW << 12 | (Rva & 0xFFF)));
  }
  std::vector<uint8_t> Blocks;
  for (auto &[Page, Entries] : Pages) {
    if (Entries.size() % 2 != 0) {
      Entries.push_back(0);
    }
    const size_t At = Blocks.size();
    Blocks.resize(At + 8 + 2 * Entries.size());
    PutU32(Blocks, At, Page);
    PutU32(Blocks, At + 4, static_cast<uint32_t>(8 + 2 * Entries.size()));
    for (size_t Index = 0; Index < Entries.size(); ++Index) {
      PutU16(Blocks, At + 8 + 2 * Index, Entries[Index]);
    }
  }
  return Blocks;
}

void PutSection(std::vector<uint8_t> &File, size_t At, const char *Name, uint32_t Rva,
                uint32_t Size, uint32_t Characteristics) {
  for (size_t Index = 0; Name[Index] != '\0'; ++Index) {
    File[At + Index] = static_cast<uint8_t>(Name[Index]);
  }
  PutU32(File, At + 8, Size);                     // VirtualSize
  PutU32(File, At + 12, Rva);                     // VirtualAddress
  PutU32(File, At + 16, AlignUp(Size));           // SizeOfRawData
  PutU32(File, At + SECTION_AT_RAW_POINTER, Rva); // PointerToRawData: in place
  PutU32(File, At + 36, Characteristics);
}

} // namespace

void PutU16(std::vector<uint8_t> &Bytes, size_t At, uint16_t Value) {
  Bytes[At] = static_cast<uint8_t>(Value);
  Bytes[At + 1] = static_cast<uint8_t>(Value >> 8);
}

void PutU32(std::vector<uint8_t> &Bytes, size_t At, uint32_t Value) {
  PutU16(Bytes, At, static_cast<uint16_t>(Value));
  PutU16(Bytes, At + 2, static_cast<uint16_t>(Value >> 16));
}

std::vector<uint8_t> BuildTe(const TestImage &Image) {
  const std::vector<uint8_t> Relocations = RelocationBlocks(Image.Relocated);
  const uint8_t Sections = Relocations.empty() ? 1 : 2;
  const uint32_t TextSize = static_cast<uint32_t>(Image.Code.size());
  const uint32_t RelocRva = TEST_TEXT_RVA + AlignUp(TextSize);
  const uint32_t RelocSize = static_cast<uint32_t>(Relocations.size());
  const uint32_t End = Relocations.empty() ? RelocRva : RelocRva + AlignUp(RelocSize);

  std::vector<uint8_t> File(End - DISPLACEMENT, 0);
  PutU16(File, 0, 0x5A56); // "VZ"
  PutU16(File, TE_AT_MACHINE, Image.Machine);
  File[4] = Sections;
  File[5] = SUBSYSTEM_BOOT_SERVICE_DRIVER;
  PutU16(File, TE_AT_STRIPPED_SIZE, TEST_STRIPPED_SIZE);
  PutU32(File, TE_AT_ENTRY, TEST_TEXT_RVA);
  PutU32(File, 12, TEST_TEXT_RVA); // BaseOfCode
  PutU32(File, TE_AT_IMAGE_BASE, TEST_IMAGE_BASE);
  PutSection(File, TE_AT_SECTIONS, ".text", TEST_TEXT_RVA, TextSize, Image.TextFlags);
  std::copy(Image.Code.begin(), Image.Code.end(), File.begin() + (TEST_TEXT_RVA - DISPLACEMENT));
  if (!Relocations.empty()) {
    PutU32(File, 24, RelocRva); // base relocation directory
    PutU32(File, 28, RelocSize);
    PutSection(File, TE_AT_SECTIONS + 40, ".reloc", RelocRva, RelocSize, SCN_RELOC);
    std::copy(Relocations.begin(), Relocations.end(), File.begin() + (RelocRva - DISPLACEMENT));
  }
  return File;
}
