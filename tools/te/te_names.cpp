#include "te_names.h"

#include <cstdint>
#include <string>

#include "messages.h"
#include "name_table.h"

namespace {

constexpr Named MACHINES[] = {
    {0x014C, "IA-32"},     {0x8664, "x64"},         {0x0200, "Itanium"},
    {0x01C2, "ARM Thumb"}, {0x01C4, "ARM Thumb-2"}, {0xAA64, "AArch64"},
    {0x0EBC, "EBC"},       {0x5032, "RISC-V 32"},   {0x5064, "RISC-V 64"}};

constexpr Named SUBSYSTEMS[] = {{1, "native"},
                                {2, "Windows GUI"},
                                {3, "Windows console"},
                                {10, "EFI application"},
                                {11, "EFI boot service driver"},
                                {12, "EFI runtime driver"},
                                {13, "EFI ROM"}};

constexpr Named RELOCATION_TYPES[] = {{0, "ABSOLUTE"}, {1, "HIGH"},    {2, "LOW"},
                                      {3, "HIGHLOW"},  {4, "HIGHADJ"}, {10, "DIR64"}};

// Single-bit section flags; the alignment field (bits 20-23) is decoded separately.
constexpr Named SECTION_FLAGS[] = {{0x00000008, "no padding"},
                                   {0x00000020, "code"},
                                   {0x00000040, "initialized data"},
                                   {0x00000080, "uninitialized data"},
                                   {0x00000200, "link info"},
                                   {0x00000800, "link remove"},
                                   {0x00001000, "COMDAT"},
                                   {0x00008000, "global-pointer data"},
                                   {0x01000000, "extended relocations"},
                                   {0x02000000, "discardable"},
                                   {0x04000000, "not cached"},
                                   {0x08000000, "not paged"},
                                   {0x10000000, "shared"},
                                   {0x20000000, "execute"},
                                   {0x40000000, "read"},
                                   {0x80000000, "write"}};

constexpr uint32_t ALIGNMENT_FIELD = 0x00F00000;

} // namespace

std::string MachineName(uint16_t Machine) {
  return NameOf(MACHINES, Machine, "unknown");
}

std::string SubsystemName(uint16_t Subsystem) {
  return NameOf(SUBSYSTEMS, Subsystem, "unknown");
}

std::string RelocationTypeName(uint8_t Type) {
  return NameOf(RELOCATION_TYPES, Type, "unknown");
}

std::string SectionFlagWords(uint32_t Characteristics) {
  std::string Words;
  auto Add = [&Words](const std::string &Word) { Words += (Words.empty() ? "" : ", ") + Word; };
  uint32_t Left = Characteristics;
  for (const Named &Flag : SECTION_FLAGS) {
    if ((Characteristics & Flag.Value) != 0) {
      Add(Flag.Name);
      Left &= ~Flag.Value;
    }
  }
  const uint32_t Alignment = (Characteristics & ALIGNMENT_FIELD) >> 20;
  if (Alignment >= 1 && Alignment <= 14) {
    Add("align " + std::to_string(1u << (Alignment - 1)));
    Left &= ~ALIGNMENT_FIELD;
  }
  if (Left != 0) {
    Add("other " + Hex(Left, 8));
  }
  return Words.empty() ? "none" : Words;
}
