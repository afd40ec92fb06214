// ParseWidth: blanks, signs, digits, saturation and where it stops.
#include <cstdint>

#include <gtest/gtest.h>

#include "format_internal.h"

namespace {

struct WidthCase {
  const char *Text;
  int32_t Value;
  int32_t Consumed; // characters before End
};

TEST(ParseWidth, Table) {
  const WidthCase Cases[] = {
      {"", 0, 0},
      {"42x", 42, 2},
      {"  -17", -17, 5},
      {"\t 7d", 7, 3},
      {"-+5", -5, 3},
      {"+-5", 0, 1},
      {"--5", 0, 1},
      {"+", 0, 1},
      {"   ", 0, 3},
      {"0", 0, 1},
      {"007", 7, 3},
      {"2147483647", INT32_MAX, 10},
      {"2147483648", INT32_MAX, 10},
      {"-2147483647", -INT32_MAX, 11},
      {"-2147483648", INT32_MIN, 11},
      {"-2147483649", INT32_MIN, 11},
      {"4294967296", INT32_MAX, 10},
      {"5000000000", INT32_MAX, 10},
      {"99999999999999999999999", INT32_MAX, 23},
      {"-99999999999999999999999", INT32_MIN, 24},
      {"12a3", 12, 2},
      {".5", 0, 0},
  };
  for (const WidthCase &Case : Cases) {
    SCOPED_TRACE(Case.Text);
    const char *End = nullptr;
    EXPECT_EQ(ParseWidth(Case.Text, &End), Case.Value);
    EXPECT_EQ(End, Case.Text + Case.Consumed);
    EXPECT_EQ(ParseWidth(Case.Text, nullptr), Case.Value);
  }
}

} // namespace
