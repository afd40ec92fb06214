// Integer directives: signedness, radix, 64-bit slots, widths and padding.
#include <cstdint>
#include <cstring>

#include "format_check.h"
#include "format_internal.h"
#include "value_text.h"

namespace {

TEST(FormatInteger, Decimal) {
  CheckAllCapacities({
      FORMAT_CASE("0", "%d", 0),
      FORMAT_CASE("5", "%i", 5),
      FORMAT_CASE("987", "%d", 987),
      FORMAT_CASE("-5", "%d", 0xFFFFFFFBu),
      FORMAT_CASE("2147483647", "%d", 0x7FFFFFFFu),
      FORMAT_CASE("-2147483648", "%d", 0x80000000u),
      FORMAT_CASE("-1", "%d", 0xFFFFFFFFu),
      FORMAT_CASE("42", "% d", 42),
      FORMAT_CASE("42", "%+d", 42),
  });
}

TEST(FormatInteger, Hexadecimal) {
  CheckAllCapacities({
      FORMAT_CASE("ab", "%x", 171),
      FORMAT_CASE("AB", "%X", 171),
      FORMAT_CASE("ffffffff", "%x", 0xFFFFFFFFu),
      FORMAT_CASE("80000000", "%x", 0x80000000u),
      FORMAT_CASE("AB", "%p", 171),
      FORMAT_CASE("      AB", "%8p", 171),
      FORMAT_CASE("DEADBEEF", "%p", 0xDEADBEEFu),
  });
}

TEST(FormatInteger, SixtyFourBit) {
  CheckAllCapacities({
      FORMAT_CASE("ffffffffffffffff", "%lx", UINT64_MAX),
      FORMAT_CASE("-1", "%ld", UINT64_MAX),
      FORMAT_CASE("-9223372036854775808", "%ld", uint64_t{1} << 63),
      FORMAT_CASE("9223372036854775807", "%li", INT64_MAX),
      FORMAT_CASE("18446744073", "%ld", uint64_t{18446744073}),
      FORMAT_CASE("100000000", "%lx", uint64_t{1} << 32),
      FORMAT_CASE("FEDCBA9876543210", "%lp", uint64_t{0xFEDCBA9876543210}),
      FORMAT_CASE("FEDCBA9876543210", "%lX", uint64_t{0xFEDCBA9876543210}),
      FORMAT_CASE("0", "%lx", uint64_t{0}),
      // The slot after a 64-bit value belongs to the next directive.
      FORMAT_CASE("100000001 7", "%lx %d", (uint64_t{1} << 32) + 1, 7),
      FORMAT_CASE("-2 -3", "%ld %d", static_cast<uint64_t>(-2), -3),
  });
}

TEST(FormatInteger, WidthAndPadding) {
  CheckAllCapacities({
      FORMAT_CASE("0000001a", "%08x", 0x1A),
      FORMAT_CASE("   42", "%5d", 42),
      FORMAT_CASE("00-42", "%05d", -42),
      FORMAT_CASE("00ab", "%0*x", 4, 0xAB),
      FORMAT_CASE("*d", "%00*d", 5, 42), // only the first '0' is a flag
      FORMAT_CASE("*d", "% 0*d", 5, 42), // after a blank, '0' is a width digit
      FORMAT_CASE("     7", "%*d", 6, 7),
      FORMAT_CASE("7", "%5%d", 7),
      FORMAT_CASE("   42", "%+05d", 42),
      FORMAT_CASE("12345", "%3d", 12345),
      FORMAT_CASE("00000000000000000001", "%020lx", uint64_t{1}),
      FORMAT_CASE("  -7", "% 4d", -7),
  });
}

// Negative widths pad nothing, whether written or taken by '*'.
TEST(FormatInteger, NegativeWidthPadsNothing) {
  CheckAllCapacities({
      FORMAT_CASE("42", "%-5d", 42),
      FORMAT_CASE("42|", "%*d|", -1, 42),
      FORMAT_CASE("42|", "%*d|", -5, 42),
      FORMAT_CASE("ab", "%0*x", 0x80000000u, 0xAB),
      FORMAT_CASE("1", "%-2147483649d", 1),
  });
}

// A width larger than the buffer stops at the capacity without running the pad loop on.
TEST(FormatInteger, HugeWidthIsCutAtCapacity) {
  char Buffer[8];
  EXPECT_EQ(FormatText(Buffer, sizeof Buffer, "%2147483647d", 1), 7);
  EXPECT_STREQ(Buffer, "       ");
  EXPECT_EQ(FormatText(Buffer, sizeof Buffer, "%0*d", 0x7FFFFFFF, 1), 7);
  EXPECT_STREQ(Buffer, "0000000");
}

struct DigitsCase {
  uint64_t Value;
  uint32_t Radix;
  bool Is64;
  const char *Reversed;
};

TEST(ValueToText, DigitsReversedAndInOrder) {
  const DigitsCase Cases[] = {
      {0, 10, false, "0"},
      {0, 16, true, "0"},
      {1234567890, 10, false, "0987654321"},
      {static_cast<uint64_t>(-42), 10, false, "24-"},
      {static_cast<uint64_t>(-42), 16, false, "6dffffff"},
      {static_cast<uint64_t>(-42), 16, true, "6dffffffffffffff"},
      {uint64_t{1} << 63, 10, true, "8085774586302733229-"},
      {UINT64_MAX >> 1, 10, true, "7085774586302733229"},
      {0xFEDCBA9876543210, 16, true, "0123456789abcdef"},
  };
  for (const DigitsCase &Case : Cases) {
    SCOPED_TRACE(Case.Reversed);
    char Buffer[VALUE_TEXT_SIZE + 4];
    std::memset(Buffer, SENTINEL, sizeof Buffer);
    const size_t Length = std::strlen(Case.Reversed);
    char *Last = ValueToDigitsReversed(Case.Value, Buffer, Case.Radix, Case.Is64);
    EXPECT_EQ(Last, Buffer + Length - 1);
    EXPECT_STREQ(Buffer, Case.Reversed);
    EXPECT_EQ(Buffer[Length + 1], SENTINEL);

    const std::string InOrder(Case.Reversed + 0, Case.Reversed + Length);
    EXPECT_EQ(ValueToText(Case.Value, Case.Radix, Case.Is64, Buffer), Buffer);
    EXPECT_EQ(std::string(Buffer), std::string(InOrder.rbegin(), InOrder.rend()));
  }
}

TEST(AsciiUpcase, OnlyLowerCaseLettersChange) {
  char Text[] = "az AZ 09 `{ @[ \x80\xE1\xFF gG";
  AsciiUpcase(Text);
  EXPECT_STREQ(Text, "AZ AZ 09 `{ @[ \x80\xE1\xFF GG");
}

} // namespace
