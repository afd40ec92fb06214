// '%r' status names across every class boundary, StatusToName, and '%g' / '%G'.
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "format_check.h"
#include "status_name.h"

namespace {

struct StatusCase {
  EFI_STATUS Status;
  const char *Text; // what '%r' prints
};

const StatusCase StatusCases[] = {
    // success and plain warnings (whole value compared)
    {0x00000000, "EFI_SUCCESS"},
    {0x00000001, "EFI_WARN_UNKNOWN_GLYPH"},
    {0x00000004, "EFI_WARN_BUFFER_TOO_SMALL"},
    {0x00000005, "Status Code(5)"},
    {0x40000001, "Status Code(40000001)"},
    {0x40000000, "Status Code(40000000)"},
    // bit 29 warnings (bit 30 is outside the code)
    {0x20000000, "EFI_WARN_INTERRUPT_SOURCE_PENDING"},
    {0x20000001, "EFI_WARN_INTERRUPT_SOURCE_QUIESCED"},
    {0x20000002, "Status Code(20000002)"},
    {0x60000001, "EFI_WARN_INTERRUPT_SOURCE_QUIESCED"},
    // errors with bit 31 alone
    {0x80000000, "Status Code(80000000)"},
    {0x80000001, "EFI_LOAD_ERROR"},
    {0x80000002, "EFI_INVALID_PARAMETER"},
    {0x8000000E, "EFI_NOT_FOUND"},
    {0x80000019, "EFI_INCOMPATIBLE_VERSION"},
    {0x8000001E, "EFI_UNDEFINED_30"},
    {0x8000001F, "EFI_END_OF_FILE"},
    {0x80000021, "EFI_COMPROMISED_DATA"},
    {0x80000022, "Status Code(80000022)"},
    {0x9FFFFFFF, "Status Code(9FFFFFFF)"},
    // errors with bits 31 and 29 (bit 30 either way)
    {0xA0000000, "EFI_INTERRUPT_PENDING"},
    {0xA0000002, "EFI_NOT_AVAILABLE_YET"},
    {0xA0000003, "Status Code(A0000003)"},
    {0xE0000001, "EFI_REQUEST_UNLOAD_IMAGE"},
    // errors with bits 31 and 30, bit 29 clear
    {0xC0000000, "Status Code(C0000000)"},
    {0xC0000001, "EFI_DBE_EOF"},
    {0xC0000002, "EFI_DBE_BOF"},
    {0xC0000003, "Status Code(C0000003)"},
};

TEST(StatusToName, EveryClassBoundary) {
  std::vector<FormatCase> Rows;
  for (const StatusCase &Case : StatusCases) {
    SCOPED_TRACE(Case.Text);
    const char *Name = StatusToName(Case.Status);
    if (std::strncmp(Case.Text, "EFI_", 4) == 0) {
      ASSERT_NE(Name, nullptr);
      EXPECT_STREQ(Name, Case.Text);
    } else {
      EXPECT_EQ(Name, nullptr);
    }
    Rows.push_back(FORMAT_CASE(Case.Text, "%r", Case.Status));
  }
  CheckAllCapacities(Rows);
}

// Every name of every table, in code order from the table's first status value, printed by
// '%r' on the host and on the image; the value after the last name has none.
struct NameTable {
  EFI_STATUS First;
  const char *Names; // separated by blanks
};

const NameTable NameTables[] = {
    {0x80000001,
     "EFI_LOAD_ERROR EFI_INVALID_PARAMETER EFI_UNSUPPORTED EFI_BAD_BUFFER_SIZE "
     "EFI_BUFFER_TOO_SMALL EFI_NOT_READY EFI_DEVICE_ERROR EFI_WRITE_PROTECTED "
     "EFI_OUT_OF_RESOURCES EFI_VOLUME_CORRUPTED EFI_VOLUME_FULL EFI_NO_MEDIA "
     "EFI_MEDIA_CHANGED EFI_NOT_FOUND EFI_ACCESS_DENIED EFI_NO_RESPONSE EFI_NO_MAPPING "
     "EFI_TIMEOUT EFI_NOT_STARTED EFI_ALREADY_STARTED EFI_ABORTED EFI_ICMP_ERROR "
     "EFI_TFTP_ERROR EFI_PROTOCOL_ERROR EFI_INCOMPATIBLE_VERSION EFI_SECURITY_VIOLATION "
     "EFI_CRC_ERROR EFI_END_OF_MEDIA EFI_UNDEFINED_29 EFI_UNDEFINED_30 EFI_END_OF_FILE "
     "EFI_INVALID_LANGUAGE EFI_COMPROMISED_DATA"},
    {0xA0000000, "EFI_INTERRUPT_PENDING EFI_REQUEST_UNLOAD_IMAGE EFI_NOT_AVAILABLE_YET"},
    {0xC0000001, "EFI_DBE_EOF EFI_DBE_BOF"},
    {0x00000001, "EFI_WARN_UNKNOWN_GLYPH EFI_WARN_DELETE_FAILURE EFI_WARN_WRITE_FAILURE "
                 "EFI_WARN_BUFFER_TOO_SMALL"},
    {0x20000000, "EFI_WARN_INTERRUPT_SOURCE_PENDING EFI_WARN_INTERRUPT_SOURCE_QUIESCED"},
};

TEST(StatusToName, EveryNameOfEveryTable) {
  std::vector<FormatCase> Rows;
  for (const NameTable &Table : NameTables) {
    std::istringstream Names(Table.Names);
    EFI_STATUS Status = Table.First;
    for (std::string Name; Names >> Name; ++Status) {
      const char *Found = StatusToName(Status);
      ASSERT_NE(Found, nullptr) << Name;
      EXPECT_EQ(Found, Name);
      Rows.push_back(FORMAT_CASE(Name, "%r", Status));
    }
    EXPECT_EQ(StatusToName(Status), nullptr) << "after " << Table.Names;
  }
  CheckAllCapacities(Rows);
}

const EFI_GUID *SampleGuid() {
  static const uint8_t Bytes[16] = {0x0A, 0x1B, 0x2C, 0x3D, 0x4E, 0x5F, 0x6A, 0x7B,
                                    0x8C, 0x9D, 0xAE, 0xBF, 0xC0, 0xD1, 0xE2, 0xF3};
  static EFI_GUID Guid;
  std::memcpy(&Guid, Bytes, sizeof Guid);
  return &Guid;
}

TEST(FormatStatusGuid, NestedOutputObeysCapacity) {
  // Every field with leading zeros, which its fixed width keeps.
  static const EFI_GUID LeadingZeros = {
      0x01234567, 0x0089, 0x0ABC, {0x0D, 0x0E, 0x0F, 0x01, 0x02, 0x03, 0x04, 0x05}};
  static const EFI_GUID AllZeros = {};
  CheckAllCapacities({
      FORMAT_CASE("3d2c1b0a-5f4e-7b6a-8c9d-aebfc0d1e2f3", "%g", SampleGuid()),
      FORMAT_CASE("3D2C1B0A-5F4E-7B6A-8C9D-AEBFC0D1E2F3", "%G", SampleGuid()),
      FORMAT_CASE("3d2c1b0a-5f4e-7b6a-8c9d-aebfc0d1e2f3", "%08g", SampleGuid()),
      FORMAT_CASE("01234567-0089-0abc-0d0e-0f0102030405", "%g", &LeadingZeros),
      FORMAT_CASE("00000000-0000-0000-0000-000000000000", "%G", &AllZeros),
      FORMAT_CASE("<EFI_LOAD_ERROR>", "<%r>", 0x80000001u),
      FORMAT_CASE("EFI_SUCCESS", "%5r", 0u),
      FORMAT_CASE("Status Code(A0000003)!", "%r!", 0xA0000003u),
      FORMAT_CASE("(null) 7", "%g %d", static_cast<const EFI_GUID *>(nullptr), 7),
      FORMAT_CASE("(null) 7", "%G %d", static_cast<const EFI_GUID *>(nullptr), 7),
      FORMAT_CASE("EFI_NOT_READY 3d2c1b0a-5f4e-7b6a-8c9d-aebfc0d1e2f3 9", "%r %g %d", 0x80000006u,
                  SampleGuid(), 9),
  });
}

TEST(FormatStatusGuid, CutExamples) {
  char Buffer[16];
  std::memset(Buffer, SENTINEL, sizeof Buffer);
  EXPECT_EQ(FormatText(Buffer, 10, "%g", SampleGuid()), 9);
  EXPECT_STREQ(Buffer, "3d2c1b0a-");
  EXPECT_EQ(Buffer[10], SENTINEL);
  EXPECT_EQ(FormatText(Buffer, 6, "%r", 0x80000001u), 5);
  EXPECT_STREQ(Buffer, "EFI_L");
  // 'G' upper-cases only up to the nested NUL.
  std::memset(Buffer, SENTINEL, sizeof Buffer);
  EXPECT_EQ(FormatText(Buffer, 4, "%G", SampleGuid()), 3);
  EXPECT_STREQ(Buffer, "3D2");
  EXPECT_EQ(Buffer[4], SENTINEL);
}

} // namespace
