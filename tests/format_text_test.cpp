// Plain text, strings, characters, '%%', dropped directives, widths and the capacity rule.
#include <algorithm>
#include <cstddef>
#include <cstring>
#include <string>
#include <vector>

#include "efi_types.h"
#include "format_check.h"
#include "format_image.h"
#include "image_call.h"

using namespace std::string_literals;

namespace {

TEST(FormatText, PlainTextAndPercent) {
  CheckAllCapacities({
      FORMAT_CASE("abc\n", "abc\n"),
      FORMAT_CASE("abcdef", "abcdef"),
      FORMAT_CASE("", ""),
      FORMAT_CASE("%", "%%"),
      FORMAT_CASE("100% sure", "100%% sure"),
      FORMAT_CASE("%%", "%%%%"),
  });
}

TEST(FormatText, Strings) {
  CheckAllCapacities({
      FORMAT_CASE("hello", "%s", "hello"),
      FORMAT_CASE("[hello]", "[%a]", "hello"),
      FORMAT_CASE("", "%s", ""),
      FORMAT_CASE("ab", "%*s", 6, "ab"),
      FORMAT_CASE("ab", "%05s", "ab"),
      FORMAT_CASE("Hi", "%S", u"Hi"),
      FORMAT_CASE("A\xC4z", "%S", u"\u0141\u01C4z"), // low byte of each unit
      FORMAT_CASE("[\0]"s, "[%S]", u"\u0100"),       // a zero low byte is a character
      FORMAT_CASE("x-y", "%s-%s", "x", "y"),
  });
}

TEST(FormatText, Characters) {
  CheckAllCapacities({
      FORMAT_CASE("ABC", "%c%c%c", 'A', 'B', 'C'),
      FORMAT_CASE("[\0]"s, "[%c]", 0),
      FORMAT_CASE("A", "%c", 0x141), // only the low byte
      FORMAT_CASE("x", "%5c", 'x'),
  });
}

TEST(FormatText, DroppedDirectivesAreRescanned) {
  // Harmless under any conversion: an empty 8- or 16-bit string, an all-zero GUID, and an
  // address whose low byte is not 'c'.
  alignas(16) static const char Blank[16] = {};
  // clang-format off
  CheckAllCapacities({
      FORMAT_CASE("", "%"),
      FORMAT_CASE("ab", "ab%"),
      FORMAT_CASE("q", "%q"),
      FORMAT_CASE("u7", "%u%d", 7),
      FORMAT_CASE("u7", "%lu%d", 7),
      FORMAT_CASE("s7", "%ls%d", 7),
      FORMAT_CASE("aScgGr", "%la%lS%lc%lg%lG%lr%s", Blank, Blank), // only %s takes an argument
      FORMAT_CASE("ld", "%lld"),
      FORMAT_CASE("hd", "%hd"),
      FORMAT_CASE(".2s", "%.2s"),
      FORMAT_CASE("#x", "%#x"),
      FORMAT_CASE("D", "%D"),
      FORMAT_CASE("IACRP", "%I%A%C%R%P"),
      FORMAT_CASE("ab", "%5%s", "ab"),
      FORMAT_CASE("qab", "%*q%s", 9, "ab"),
      FORMAT_CASE("-5d7", "%+-5d%d", 7), // "+-" reads width 0 and stops at the dropped '-'
  });
  // clang-format on
}

TEST(FormatText, NullArgumentsPrintNull) {
  CheckAllCapacities({
      FORMAT_CASE("(null)", "%s", static_cast<const char *>(nullptr)),
      FORMAT_CASE("(null)|7", "%a|%d", static_cast<const char *>(nullptr), 7),
      FORMAT_CASE("(null)|7", "%S|%d", static_cast<const char16_t *>(nullptr), 7),
  });
}

TEST(FormatText, NullBufferOrFormatWritesNothing) {
  char Buffer[8];
  std::memset(Buffer, SENTINEL, sizeof Buffer);
  EXPECT_EQ(FormatText(nullptr, 8, "abc"), -1);
  EXPECT_EQ(FormatText(Buffer, 8, nullptr), -1);
  EXPECT_EQ(FormatText(nullptr, 0, nullptr), -1);
  for (const char Byte : Buffer) {
    EXPECT_EQ(Byte, SENTINEL);
  }
  // The same three calls on the image: -1, and its buffer, where there is one, untouched.
  FormatImage &Image = TheFormatImage();
  ASSERT_EQ(Image.Error, "");
  const CallArgument Null = CallArgument::Word(0);
  const std::vector<CallArgument> Calls[] = {
      {Null, CallArgument::Word(8), CallArgument::Text("abc")},
      {CallArgument::Output(), CallArgument::Word(8), Null},
      {Null, Null, Null},
  };
  for (const std::vector<CallArgument> &Arguments : Calls) {
    CallResult Result;
    std::string Error;
    ASSERT_TRUE(Image.Caller.Call("FormatText", Arguments, {8, SLACK, SENTINEL}, &Result, &Error))
        << Error;
    EXPECT_EQ(Result.Faults, std::vector<std::string>());
    EXPECT_EQ(static_cast<int32_t>(Result.Eax), -1);
    EXPECT_EQ(std::count(Result.Output.begin(), Result.Output.end(), SENTINEL),
              static_cast<std::ptrdiff_t>(Result.Output.size()));
  }
}

// A long rich line exercises every directive kind together at every capacity.
TEST(FormatText, RichLineAtEveryCapacity) {
  static const EFI_GUID Guid = {
      0x3d2c1b0a, 0x5f4e, 0x7b6a, {0x8c, 0x9d, 0xae, 0xbf, 0xc0, 0xd1, 0xe2, 0xf3}};
  CheckAllCapacities({
      FORMAT_CASE(
          "img 'boot' at 0000BEEF: -12 EFI_NOT_FOUND {3d2c1b0a-5f4e-7b6a-8c9d-aebfc0d1e2f3} OK",
          "img '%S' at %08X: %d %r {%g} %c%c", u"boot", 0xBEEFu, -12, 0x8000000Eu, &Guid, 'O', 'K'),
      FORMAT_CASE("   42|ffffffffffffffff|Status Code(5)|3D2C1B0A-5F4E-7B6A-8C9D-AEBFC0D1E2F3",
                  "%5d|%lx|%r|%G", 42, ~0ull, 5u, &Guid),
  });
}

} // namespace
