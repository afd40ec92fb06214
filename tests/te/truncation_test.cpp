// Short and damaged inputs: refused without reading outside the buffer (run under ASan too).
#include <gtest/gtest.h>

#include "pe_builder.h"
#include "pe_to_te.h"
#include "te_check.h"

namespace {

using namespace pe_test;

std::vector<uint8_t> Prefix(const std::vector<uint8_t> &Bytes, size_t Length) {
  return std::vector<uint8_t>(Bytes.begin(), Bytes.begin() + static_cast<std::ptrdiff_t>(Length));
}

TEST(Truncation, EveryShorterPeIsRefused) {
  const std::vector<uint8_t> Pe = BuildValidPe().Bytes;
  for (size_t Length = 0; Length < Pe.size(); Length++) {
    std::vector<uint8_t> Te;
    std::string Error;
    EXPECT_FALSE(ConvertPeToTe(Prefix(Pe, Length), &Te, &Error)) << Length;
    EXPECT_FALSE(Error.empty()) << Length;
    EXPECT_TRUE(Te.empty()) << Length;
  }
}

TEST(Truncation, EveryShorterTeIsRefused) {
  std::vector<uint8_t> Te;
  std::string Error;
  ASSERT_TRUE(ConvertPeToTe(BuildValidPe().Bytes, &Te, &Error)) << Error;
  for (size_t Length = 0; Length < Te.size(); Length++) {
    TeImage Image;
    EXPECT_FALSE(ParseTeImage(Prefix(Te, Length), &Image, &Error)) << Length;
    EXPECT_FALSE(ParseAndCheckTeImage(Prefix(Te, Length), &Image, &Error)) << Length;
  }
}

// Every single-byte corruption either is refused or still yields an image the checker accepts.
TEST(Corruption, EveryFlippedByteIsRefusedOrConsistent) {
  const std::vector<uint8_t> Pe = BuildValidPe().Bytes;
  for (size_t Offset = 0; Offset < Pe.size(); Offset++) {
    for (uint8_t Mask : {0x01, 0x80, 0xFF}) {
      std::vector<uint8_t> Changed = Pe;
      Changed[Offset] ^= Mask;
      std::vector<uint8_t> Te;
      std::string Error;
      TeImage Image;
      if (ConvertPeToTe(Changed, &Te, &Error)) {
        EXPECT_TRUE(ParseAndCheckTeImage(Te, &Image, &Error)) << Offset << ": " << Error;
      } else {
        EXPECT_FALSE(Error.empty()) << Offset;
      }
    }
  }
}

} // namespace
