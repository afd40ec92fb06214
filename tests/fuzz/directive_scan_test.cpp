// The fuzz target's directive scan must name the engine's reads exactly: one read missed or
// mistyped hands the engine an integer where it follows a pointer.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "directive_scan.h"

namespace {

// One letter a read: i 32-bit integer, l 64-bit integer, s 8-bit string, w 16-bit string,
// g GUID.
std::string Letters(const std::vector<SlotKind> &Reads) {
  std::string Text;
  for (SlotKind Kind : Reads) {
    Text += "ilswg"[static_cast<int>(Kind)];
  }
  return Text;
}

struct ScanCase {
  const char *Format;
  size_t MaxReads;
  const char *Reads;
  size_t KeptLength;
};

const ScanCase Cases[] = {
    {"plain text", 16, "", 10},
    {"%%d 100%% %", 16, "", 11},
    {"%s %a %S %c", 16, "sswi", 11},
    {"%g%G%r", 16, "ggi", 6},
    {"%d%i%x%X%p", 16, "iiiii", 10},
    {"%ld%li%lx%lX%lp", 16, "lllll", 15},
    {"%ls %lc %lg %lr", 16, "", 15},         // 'l' drops any non-integer conversion
    {"%l%d", 16, "i", 4},                    // the '%' after 'l' starts a directive again
    {"%*d%0*x", 16, "iiii", 7},              // '*' reads the width first
    {"%*q %*l %0*", 16, "iii", 11},          // the '*' read stays when the directive drops
    {"% \t-+12d|%-5s|%007X", 16, "isi", 19}, // blanks, sign, digits, zero pad
    {"%+-5d", 16, "", 5},                    // '-' after '+' ends the width: dropped
    {"%q%s%0%d", 16, "si", 8},               // dropped characters are read again
    {"%d%d%d", 2, "ii", 4},                  // cut at the first read past the limit
    {"%d%*d", 2, "i", 2},                    // a directive is kept or cut whole
    {"a%s%%%s", 1, "s", 5},
    {"%l", 0, "", 2},
};

TEST(DirectiveScan, FollowsEngineGrammar) {
  for (const ScanCase &Case : Cases) {
    const DirectiveScan Scan = ScanDirectives(Case.Format, Case.MaxReads);
    EXPECT_EQ(Letters(Scan.Reads), Case.Reads) << Case.Format;
    EXPECT_EQ(Scan.KeptLength, Case.KeptLength) << Case.Format;
  }
}

} // namespace
