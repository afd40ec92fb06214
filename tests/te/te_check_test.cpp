// The checker and the inspector on TE images converted from the crafted PE, then altered.
#include <cstddef>
#include <functional>

#include <gtest/gtest.h>

#include "pe_builder.h"
#include "pe_format.h"
#include "pe_to_te.h"
#include "te_check.h"
#include "te_listing.h"

namespace {

using namespace pe_test;

// File offsets of the TE header fields the cases patch.
using TeHeader = pe::EFI_TE_IMAGE_HEADER;
constexpr uint32_t TE_MACHINE = offsetof(TeHeader, Machine);
constexpr uint32_t TE_SECTIONS = offsetof(TeHeader, NumberOfSections);
constexpr uint32_t TE_SUBSYSTEM = offsetof(TeHeader, Subsystem);
constexpr uint32_t TE_STRIPPED = offsetof(TeHeader, StrippedSize);
constexpr uint32_t TE_ENTRY = offsetof(TeHeader, AddressOfEntryPoint);
constexpr uint32_t TE_RELOC_DIR = offsetof(TeHeader, DataDirectory);
constexpr uint32_t TE_DEBUG_DIR = TE_RELOC_DIR + sizeof(pe::IMAGE_DATA_DIRECTORY);

Pe ValidTe() {
  Pe Te;
  std::string Error;
  EXPECT_TRUE(ConvertPeToTe(BuildValidPe().Bytes, &Te.Bytes, &Error)) << Error;
  return Te;
}

struct TeFault {
  const char *Name;
  std::function<void(Pe &)> Change;
  const char *Expected;
};

void PrintTo(const TeFault &Case, std::ostream *Stream) {
  *Stream << Case.Name;
}

// One case per line.
// clang-format off
const TeFault FAULTS[] = {
    {"Signature", [](Pe &T) { T.Put16(0, 0x5A4D); }, "bad TE signature 0x5a4d"},
    {"MachineX64", [](Pe &T) { T.Put16(TE_MACHINE, 0x8664); }, "machine 0x8664 (x64) is not IA-32"},
    {"RuntimeDriver", [](Pe &T) { T.Bytes[TE_SUBSYSTEM] = 12; }, "subsystem 12 (EFI runtime driver)"},
    {"DebugDirectory", [](Pe &T) { T.Put32(TE_DEBUG_DIR, 0x260); T.Put32(TE_DEBUG_DIR + 4, 28); }, "debug directory present"},
    {"StrippedBelowHeader", [](Pe &T) { T.Put16(TE_STRIPPED, 39); }, "StrippedSize 39 is smaller than the 40-byte TE header"},
    {"StrippedShifted", [](Pe &T) { T.Put16(TE_STRIPPED, 0x130); }, ".reloc: raw data 0x280+0x20 runs past the end"},
    {"TableOverRawData", [](Pe &T) { T.Bytes[TE_SECTIONS] = 6; }, ".text: raw data 0x200+0x80 overlaps the headers"},
    {"TablePastEnd", [](Pe &T) { T.Bytes[TE_SECTIONS] = 255; }, "section table (255 entries) runs past"},
    {"EntryInReloc", [](Pe &T) { T.Put32(TE_ENTRY, 0x290); }, "entry point 0x290 is outside .text"},
    {"RelocDirShort", [](Pe &T) { T.Put32(TE_RELOC_DIR + 4, 8); }, "SizeOfBlock 16 runs past the relocation directory"},
    {"RelocDirInHeaders", [](Pe &T) { T.Put32(TE_RELOC_DIR, 0x120); }, "relocation directory 0x120+0x10 overlaps the headers"},
    {"NoRelocDir", [](Pe &T) { T.Put32(TE_RELOC_DIR, 0); T.Put32(TE_RELOC_DIR + 4, 0); }, "relocation directory 0x0+0x0 is not the .reloc section"},
};
// clang-format on

class TeCheckFault : public testing::TestWithParam<TeFault> {};

TEST_P(TeCheckFault, IsRefusedWithItsReason) {
  Pe Te = ValidTe();
  GetParam().Change(Te);
  TeImage Image;
  std::string Error;
  EXPECT_FALSE(ParseAndCheckTeImage(Te.Bytes, &Image, &Error));
  EXPECT_NE(Error.find(GetParam().Expected), std::string::npos) << Error;
  EXPECT_EQ(Error.find('\n'), std::string::npos) << Error;
}

INSTANTIATE_TEST_SUITE_P(Variants, TeCheckFault, testing::ValuesIn(FAULTS),
                         [](const testing::TestParamInfo<TeFault> &Info) {
                           return std::string(Info.param.Name);
                         });

TEST(TeInspect, ListsFieldsFlagsRelocationsAndSizes) {
  const Pe Te = ValidTe();
  TeImage Image;
  std::string Error;
  ASSERT_TRUE(ParseTeImage(Te.Bytes, &Image, &Error)) << Error;
  const std::string Text = DescribeTeImage(Image);
  const char *Expected[] = {
      "Machine              0x014c (IA-32)\n",
      "Subsystem            11 (EFI boot service driver)\n",
      "StrippedSize         0x0138 (312 bytes",
      "AddressOfEntryPoint  0x00000200 (.text)\n",
      "ImageBase            0x0000000000400000\n",
      "BaseRelocation       RVA 0x00000280, 16 bytes\n",
      "Sections (2)\n",
      "flags 0x68000020: code, not paged, execute, read\n",
      "flags 0x42000040: initialized data, discardable, read\n",
      "RVA 0x00000210  HIGHLOW   value 0x00400270 -> RVA 0x00000270 (.text)\n",
      "RVA 0x00000000  ABSOLUTE  padding\n",
      "TE image bytes       400\n",
      ".text bytes          128\n",
      "relocations          4 (3 HIGHLOW, 1 other)\n",
  };
  for (const char *Line : Expected) {
    EXPECT_NE(Text.find(Line), std::string::npos) << Line << "\nin:\n" << Text;
  }
}

} // namespace
