// The image the build produced (build/image/oemcom.efi and oemcom.te).
#include <fstream>
#include <sstream>

#include <gtest/gtest.h>

#include "pe_to_te.h"
#include "te_cli.h"

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

} // namespace
