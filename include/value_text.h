// Number-to-text conversion and upper-casing used by the integer, status and GUID directives.
#pragma once

#include <cstdint>

// A '-' and the 19 digits of 2^63, plus the NUL.
constexpr uint32_t VALUE_TEXT_SIZE = 21;

extern "C" {
// The digits of Value in reading order, starting at Buffer (VALUE_TEXT_SIZE bytes); returns
// Buffer. Radix is 10 or 16. A value with bit 63 set is negative: radix 10 prints its magnitude
// after a '-'; radix 16 prints the low 32 bits unless Is64.
char *ValueToText(uint64_t Value, uint32_t Radix, bool Is64, char *Buffer);

// Turns 'a' to 'z' into 'A' to 'Z' in place, up to the NUL; every other byte stays.
void AsciiUpcase(char *Text);
}
