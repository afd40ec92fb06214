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

// The TE form of a PE, rebased so that its first section, .text, starts at TEXT_ADDRESS.
constexpr uint64_t TEXT_ADDRESS = 0x00810000;
struct RebasedText {
  std::vector<uint8_t> Te;
  uint64_t TextAt = 0;    // TE file offset of .text's raw data
  uint32_t TextSize = 0;  // its VirtualSize
  uint32_t TextRva = 0;   // its RVA
  uint32_t DebugRva = 0;  // the debug directory's RVA, 0 for none
  size_t Relocations = 0; // base relocation entries, ABSOLUTE padding included
};

// Reads the PE at Path into Text; the reason when it cannot, empty on success.
std::string ReadRebasedText(const char *Path, RebasedText *Text) {
  std::string Error;
  TeImage Image;
  uint32_t Applied = 0;
  if (!ReadPeAsTe(ReadAll(Path), &Text->Te, &Error) || !ParseTeImage(Text->Te, &Image, &Error)) {
    return Error;
  }
  if (Image.Sections.empty() || Image.Sections[0].Name != ".text") {
    return "the first section is not .text";
  }
  const uint64_t Base = TEXT_ADDRESS - Image.Sections[0].VirtualAddress;
  if (!RebaseTeImage(&Text->Te, Base, &Applied, &Error) ||
      !ParseTeImage(Text->Te, &Image, &Error)) {
    return Error;
  }
  const TeSection &Section = Image.Sections[0];
  if (Section.VirtualSize > Section.SizeOfRawData) {
    return ".text's VirtualSize exceeds its raw data";
  }
  Text->TextAt = Section.PointerToRawData - Image.Displacement();
  Text->TextSize = Section.VirtualSize;
  Text->TextRva = Section.VirtualAddress;
  Text->DebugRva = Image.DataDirectory[pe::EFI_TE_IMAGE_DIRECTORY_ENTRY_DEBUG].VirtualAddress;
  Text->Relocations = Image.Relocations.size();
  return "";
}

// The debug twin runs the shipped code: its .text, moved to the same address, holds the same
// bytes, relocated fields included; after them comes only the debug directory lld-link adds.
TEST(BuiltImage, DebugTwinCodeEqualsShippedCode) {
  RebasedText Shipped;
  RebasedText Twin;
  ASSERT_EQ(ReadRebasedText(OEMCOM_PE_PATH, &Shipped), "") << OEMCOM_PE_PATH;
  ASSERT_EQ(ReadRebasedText(OEMCOM_DEBUG_PE_PATH, &Twin), "") << OEMCOM_DEBUG_PE_PATH;
  const uint32_t Size = Shipped.TextSize;
  ASSERT_GE(Twin.TextSize, Size);
  for (uint32_t Offset = 0; Offset < Size; ++Offset) {
    ASSERT_EQ(Shipped.Te[Shipped.TextAt + Offset], Twin.Te[Twin.TextAt + Offset])
        << "first difference at .text offset " << Hex(Offset) << " (address "
        << Hex(TEXT_ADDRESS + Offset) << ")";
  }
  if (Twin.TextSize > Size) {
    EXPECT_GE(Twin.DebugRva, Twin.TextRva + Size)
        << "the twin's .text has more than the shipped code and its debug directory";
  }
  EXPECT_EQ(Shipped.Relocations, Twin.Relocations);
}

} // namespace
