// Converting the crafted PE and reading the result back.
#include <algorithm>

#include <gtest/gtest.h>

#include "pe_builder.h"
#include "pe_to_te.h"
#include "te_check.h"

namespace {

using namespace pe_test;

TEST(RoundTrip, TeHeaderCarriesThePeFields) {
  const Pe Image = BuildValidPe();
  std::vector<uint8_t> Te;
  std::string Error;
  ASSERT_TRUE(ConvertPeToTe(Image.Bytes, &Te, &Error)) << Error;
  TeImage Parsed;
  ASSERT_TRUE(ParseAndCheckTeImage(Te, &Parsed, &Error)) << Error;

  EXPECT_EQ(Te[0], 'V');
  EXPECT_EQ(Te[1], 'Z');
  EXPECT_EQ(Parsed.Machine, 0x014C);
  EXPECT_EQ(Parsed.NumberOfSections, 2);
  EXPECT_EQ(Parsed.Subsystem, 11);
  EXPECT_EQ(Parsed.StrippedSize, SECTION_TABLE);
  EXPECT_EQ(Parsed.AddressOfEntryPoint, ENTRY);
  EXPECT_EQ(Parsed.BaseOfCode, TEXT);
  EXPECT_EQ(Parsed.ImageBase, IMAGE_BASE);
  const auto &Directories = Parsed.DataDirectory;
  EXPECT_EQ(Directories[pe::EFI_TE_IMAGE_DIRECTORY_ENTRY_BASERELOC].VirtualAddress, RELOC);
  EXPECT_EQ(Directories[pe::EFI_TE_IMAGE_DIRECTORY_ENTRY_BASERELOC].Size, RELOC_SIZE);
  EXPECT_EQ(Directories[pe::EFI_TE_IMAGE_DIRECTORY_ENTRY_DEBUG].VirtualAddress, 0u);
  EXPECT_EQ(Directories[pe::EFI_TE_IMAGE_DIRECTORY_ENTRY_DEBUG].Size, 0u);
  EXPECT_EQ(Parsed.SizeOfImage, FILE_SIZE);

  ASSERT_EQ(Parsed.Sections.size(), 2u);
  const uint32_t Expected[2][6] = {{TEXT, TEXT_SIZE, TEXT_SIZE, TEXT, TEXT_FLAGS, 0},
                                   {RELOC, RELOC_SIZE, RELOC_RAW, RELOC, RELOC_FLAGS, 1}};
  for (const auto &Row : Expected) {
    const TeSection &Section = Parsed.Sections[Row[5]];
    EXPECT_EQ(Section.Name, Row[5] == 0 ? ".text" : ".reloc");
    EXPECT_EQ(Section.VirtualAddress, Row[0]);
    EXPECT_EQ(Section.VirtualSize, Row[1]);
    EXPECT_EQ(Section.SizeOfRawData, Row[2]);
    EXPECT_EQ(Section.PointerToRawData, Row[3]);
    EXPECT_EQ(Section.Characteristics, Row[4]);
  }

  ASSERT_EQ(Parsed.Relocations.size(), 4u);
  for (uint32_t Index = 0; Index < 3; Index++) {
    EXPECT_EQ(Parsed.Relocations[Index].Rva, HIGHLOW_SITES[Index]);
    EXPECT_EQ(Parsed.Relocations[Index].Type, 3);
  }
  EXPECT_EQ(Parsed.Relocations[3].Type, 0);

  ASSERT_EQ(Te.size(), TE_HEADER_SIZE + FILE_SIZE - SECTION_TABLE);
  EXPECT_TRUE(
      std::equal(Te.begin() + TE_HEADER_SIZE, Te.end(), Image.Bytes.begin() + SECTION_TABLE));
}

// RVA r sits at TE offset r - Displacement(): the HIGHLOW words read back there.
TEST(RoundTrip, RvaMapsToTeOffset) {
  std::vector<uint8_t> Te;
  std::string Error;
  ASSERT_TRUE(ConvertPeToTe(BuildValidPe().Bytes, &Te, &Error)) << Error;
  TeImage Parsed;
  ASSERT_TRUE(ParseTeImage(Te, &Parsed, &Error)) << Error;
  for (uint32_t Index = 0; Index < 3; Index++) {
    const uint32_t Offset = HIGHLOW_SITES[Index] - Parsed.Displacement();
    const uint32_t Word =
        Te[Offset] | Te[Offset + 1] << 8 | Te[Offset + 2] << 16 | Te[Offset + 3] << 24;
    EXPECT_EQ(Word, IMAGE_BASE + HIGHLOW_TARGETS[Index]);
    uint32_t Read = 0;
    EXPECT_TRUE(ReadImageU32(Parsed, HIGHLOW_SITES[Index], &Read));
    EXPECT_EQ(Read, Word);
  }
}

} // namespace
