// The argument reads a format string makes, found the way the format engine walks it, so the
// fuzz target can put a value of the right type in every variadic slot.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// What one read takes: a 32-bit integer ('*' width, c, r, d, i, x, X, p), a 64-bit integer
// ('l' with d, i, x, X, p), an 8-bit string (s, a), a 16-bit string (S) or an EFI_GUID
// pointer (g, G).
enum class SlotKind : uint8_t { Int32, Int64, Text8, Text16, Guid };

struct DirectiveScan {
  std::vector<SlotKind> Reads; // in the order the engine reads them
  size_t KeptLength;           // format characters kept; the rest is cut off
};

// Walks Format like the engine: "%%" is text; '%', an optional '0', then '*' or a width
// (blanks and tabs, '-', '+', digits), an optional 'l', then the conversion character. A
// directive the engine drops reads nothing beyond its '*' and has its last character read
// again as text. The first directive whose reads would pass MaxReads is cut off with
// everything after it.
DirectiveScan ScanDirectives(const std::string &Format, size_t MaxReads);
