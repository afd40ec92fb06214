// fv-tool ffs: the module's PEIM file. The padding before the TE section puts RVA 0 of the image
// on a 32-byte boundary of the 128-byte-aligned data for every stripped-header size, and the
// checksums, state and attributes are checked here against sums taken afresh.
#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "firmware_tree.h"
#include "fv_builder.h"
#include "fv_format.h"
#include "guid_text.h"
#include "pe_format.h"
#include "peim_file.h"
#include "struct_io.h"
#include "tool_folder.h"

namespace {

using namespace fv_test;

uint8_t Sum(ByteView Bytes) {
  uint8_t Total = 0;
  for (const uint8_t Byte : Bytes) {
    Total = static_cast<uint8_t>(Total + Byte);
  }
  return Total;
}

// A TE image of its header alone, with the given stripped-header size.
Bytes HeaderOnlyTe(uint16_t StrippedSize) {
  pe::EFI_TE_IMAGE_HEADER Header{};
  Header.Signature = pe::EFI_TE_IMAGE_HEADER_SIGNATURE;
  Header.Machine = pe::IMAGE_FILE_MACHINE_I386;
  Header.StrippedSize = StrippedSize;
  Bytes Image;
  PutStruct(&Image, 0, Header);
  return Image;
}

struct Layout {
  uint16_t StrippedSize;
  uint32_t Pad; // the raw section's size before the TE section; 0 for none
};

// StrippedSize | raw section. RVA 0 lies StrippedSize - 40 bytes before the TE header, which
// follows the raw section and the TE section's 4-byte header.
const Layout LAYOUTS[] = {
    {0x170, 4},                         // the module: 0x148 bytes
    {0x178, 12},                        // tests/image's builder
    {0x164, 24}, {0x48, 28}, {0x2C, 0}, // 4 bytes: the TE section's header alone does it
    {0x4C, 0},
};

TEST(PeimLayout, PadPutsRva0OnA32ByteBoundary) {
  for (const Layout &Case : LAYOUTS) {
    SCOPED_TRACE(Case.StrippedSize);
    Bytes Made;
    std::string Error;
    ASSERT_TRUE(BuildPeimFile(HeaderOnlyTe(Case.StrippedSize), OEMCOM_FILE_GUID, "OemInitCom",
                              &Made, &Error))
        << Error;
    FvFile File;
    ASSERT_TRUE(ParseFfsFile(Made, &File, &Error)) << Error;
    const size_t Te = Case.Pad != 0 ? 1 : 0;
    ASSERT_EQ(File.Sections.size(), Te + 2);
    if (Case.Pad != 0) {
      EXPECT_EQ(File.Sections[0].Type, fv::EFI_SECTION_RAW);
      EXPECT_EQ(File.Sections[0].Bytes.size(), Case.Pad);
    }
    EXPECT_EQ(File.Sections[Te].Type, fv::EFI_SECTION_TE);
    const uint64_t Header = File.Sections[Te].Offset + 4 - sizeof(fv::EFI_FFS_FILE_HEADER);
    EXPECT_EQ((Header - (Case.StrippedSize - 40u)) % 32, 0u);
    EXPECT_EQ(File.Sections[Te + 1].Type, fv::EFI_SECTION_USER_INTERFACE);
  }
}

TEST(PeimLayout, StrippedSizeOffFourIsRefused) {
  Bytes Made;
  std::string Error;
  EXPECT_FALSE(BuildPeimFile(HeaderOnlyTe(0x16A), OEMCOM_FILE_GUID, "OemInitCom", &Made, &Error));
  EXPECT_EQ(Error.rfind("StrippedSize 0x16a puts RVA 0", 0), 0u) << Error;
  EXPECT_TRUE(Made.empty());
}

TEST(PeimLayout, HeaderFieldsAndChecksums) {
  const Bytes Made = ModuleFfs();
  fv::EFI_FFS_FILE_HEADER Header{};
  ASSERT_TRUE(ReadStruct(Made, 0, &Header));
  EXPECT_EQ(GuidText(Header.Name), "56f26cba-0844-463d-87ba-395d00c5c762");
  EXPECT_EQ(Header.Type, 0x06);       // PEIM
  EXPECT_EQ(Header.Attributes, 0x50); // data checksum, data aligned to 128
  EXPECT_EQ(Header.State, 0xF8);      // header construction, header valid, data valid; erased 0xFF
  EXPECT_EQ(Header.Size[0] | Header.Size[1] << 8 | Header.Size[2] << 16, Made.size());
  const uint8_t Excluded = static_cast<uint8_t>(Header.State + Header.IntegrityCheck.Checksum.File);
  EXPECT_EQ(static_cast<uint8_t>(Sum(ByteView(Made).first(24)) - Excluded), 0);
  EXPECT_EQ(Sum(ByteView(Made).subspan(24)),
            static_cast<uint8_t>(0 - Header.IntegrityCheck.Checksum.File));
  // No dependency section: the PEI core dispatches it on its first pass.
  FvFile File;
  std::string Error;
  ASSERT_TRUE(ParseFfsFile(Made, &File, &Error)) << Error;
  for (const FvSection &Section : File.Sections) {
    EXPECT_NE(Section.Type, 0x1B);
  }
  EXPECT_EQ(File.Sections.back().Name, "OemInitCom");
}

TEST_F(FvToolFolder, FfsNameAndGuidOptions) {
  Write("module.te", ModuleTe());
  ASSERT_EQ(Run({"ffs", "@module.te", "@out.ffs", "--name", "Board COM2", "--guid",
                 "0F1E2D3C-4B5A-6978-8796-A5B4C3D2E1F0"}),
            0)
      << Err.str();
  EXPECT_EQ(Out.str(), "module.te -> out.ffs: PEIM 0f1e2d3c-4b5a-6978-8796-a5b4c3d2e1f0 "
                       "\"Board COM2\", " +
                           std::to_string(Read("out.ffs").size()) + " bytes\n");
  FvFile File;
  std::string Error;
  const Bytes Made = Read("out.ffs");
  ASSERT_TRUE(ParseFfsFile(Made, &File, &Error)) << Error;
  EXPECT_EQ(GuidText(File.Header.Name), "0f1e2d3c-4b5a-6978-8796-a5b4c3d2e1f0");
  EXPECT_EQ(File.Sections.back().Name, "Board COM2");
}

} // namespace
