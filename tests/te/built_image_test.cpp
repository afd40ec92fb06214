// The image the build produced (build/image/oemcom.efi and oemcom.te).
#include <fstream>
#include <sstream>

#include <gtest/gtest.h>

#include "messages.h"
#include "pe_format.h"
#include "pe_to_te.h"
#include "te_cli.h"
#include "te_image.h"
#include "te_rebase.h"

namespace {

std::vector<uint8_t> ReadAll(const char *Path) {
  std::ifstream Stream(Path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(Stream), {});
}

size_t Count(const std::string &Text, const std::string &Part) {
  size_t Found = 0;
  for (size_t At = Text.find(Part); At != std::string::npos; At = Text.find(Part, At + 1)) {
    Found++;
  }
  return Found;
}

TEST(BuiltImage, InspectShowsTwoSectionsAndHighLowRelocations) {
  std::ostringstream Out;
  std::ostringstream Err;
  ASSERT_EQ(RunTeTool({"inspect", OEMCOM_TE_PATH}, Out, Err), 0) << Err.str();
  const std::string Text = Out.str();
  EXPECT_NE(Text.find("Sections (2)\n  .text "), std::string::npos) << Text;
  EXPECT_EQ(Count(Text, "           flags 0x"), 2u) << Text;
  EXPECT_NE(Text.find("\n  .reloc "), std::string::npos) << Text;
  EXPECT_GE(Count(Text, "  HIGHLOW   value 0x"), 1u) << Text;
  EXPECT_NE(Text.find("Check\n  passed\n"), std::string::npos) << Text;
}

TEST(BuiltImage, CheckPrintsTheSizeLine) {
  std::ostringstream Out;
  std::ostringstream Err;
  ASSERT_EQ(RunTeTool({"check", OEMCOM_TE_PATH}, Out, Err), 0) << Err.str();
  const std::string Expected = "oemcom.te: " + std::to_string(ReadAll(OEMCOM_TE_PATH).size()) +
                               " bytes, TE image checks passed\n";
  EXPECT_EQ(Out.str(), Expected);
}

// The TE file on disk is exactly what converting the PE on disk gives.
TEST(BuiltImage, TeMatchesItsPe) {
  std::vector<uint8_t> Te;
  std::string Error;
  ASSERT_TRUE(ConvertPeToTe(ReadAll(OEMCOM_PE_PATH), &Te, &Error)) << Error;
  EXPECT_EQ(Te, ReadAll(OEMCOM_TE_PATH));
}

// The TE form of the PE at Path, rebased so that its .text starts at TEXT_ADDRESS; Image is
// parsed from Te, which must outlive it.
constexpr uint64_t TEXT_ADDRESS = 0x00810000;
void ReadRebasedText(const char *Path, std::vector<uint8_t> *Te, TeImage *Image,
                     const TeSection **Text) {
  std::string Error;
  ASSERT_TRUE(ReadPeAsTe(ReadAll(Path), Te, &Error)) << Path << ": " << Error;
  ASSERT_TRUE(ParseTeImage(*Te, Image, &Error)) << Path << ": " << Error;
  ASSERT_FALSE(Image->Sections.empty()) << Path;
  const uint64_t Base = TEXT_ADDRESS - Image->Sections[0].VirtualAddress;
  uint32_t Applied = 0;
  ASSERT_TRUE(RebaseTeImage(Te, Base, &Applied, &Error)) << Path << ": " << Error;
  ASSERT_TRUE(ParseTeImage(*Te, Image, &Error)) << Path << ": " << Error;
  *Text = &Image->Sections[0];
  ASSERT_EQ((*Text)->Name, ".text") << Path;
}

// The debug twin runs the shipped code: its .text, moved to the same address, holds the same
// bytes, relocated fields included; after them comes only the debug directory lld-link adds.
TEST(BuiltImage, DebugTwinCodeEqualsShippedCode) {
  std::vector<uint8_t> ShippedTe;
  std::vector<uint8_t> TwinTe;
  TeImage Shipped;
  TeImage Twin;
  const TeSection *ShippedText = nullptr;
  const TeSection *TwinText = nullptr;
  ASSERT_NO_FATAL_FAILURE(ReadRebasedText(OEMCOM_PE_PATH, &ShippedTe, &Shipped, &ShippedText));
  ASSERT_NO_FATAL_FAILURE(ReadRebasedText(OEMCOM_DEBUG_PE_PATH, &TwinTe, &Twin, &TwinText));
  const uint32_t Size = ShippedText->VirtualSize;
  ASSERT_GE(TwinText->VirtualSize, Size);
  ASSERT_LE(Size, ShippedText->SizeOfRawData);
  const ByteView ShippedCode(&ShippedTe[ShippedText->PointerToRawData - Shipped.Displacement()],
                             Size);
  const ByteView TwinCode(&TwinTe[TwinText->PointerToRawData - Twin.Displacement()], Size);
  for (uint32_t Offset = 0; Offset < Size; ++Offset) {
    ASSERT_EQ(ShippedCode[Offset], TwinCode[Offset])
        << "first difference at .text offset " << Hex(Offset) << " (address "
        << Hex(TEXT_ADDRESS + Offset) << ")";
  }
  const pe::IMAGE_DATA_DIRECTORY &Debug =
      Twin.DataDirectory[pe::EFI_TE_IMAGE_DIRECTORY_ENTRY_DEBUG];
  if (TwinText->VirtualSize > Size) {
    EXPECT_GE(Debug.VirtualAddress, TwinText->VirtualAddress + Size)
        << "the twin's .text has more than the shipped code and its debug directory";
  }
  EXPECT_EQ(Shipped.Relocations.size(), Twin.Relocations.size());
}

} // namespace
