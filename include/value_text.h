// Number-to-text conversion and upper-casing used by the integer, status and GUID directives.
#pragma once

#include <cstdint>

// A '-' and the 19 digits of 2^63, plus the NUL.
constexpr uint32_t VALUE_TEXT_SIZE = 21;

extern "C" {
// Radix is 10 or 16; Buffer holds VALUE_TEXT_SIZE bytes. A value with bit 63 set is negative:
// radix 10 prints its magnitude after a '-'; radix 16 prints the low 32 bits unless Is64.
// Writes the digits least significant first, then the sign, then NUL, and returns a pointer to
// the last character before the NUL.
char *ValueToDigitsReversed(uint64_t Value, char *Buffer, uint32_t Radix, bool Is64);

// The same digits in reading order, starting at Buffer; returns Buffer.
char *ValueToText(uint64_t Value, uint32_t Radix, bool Is64, char *Buffer);

// Turns 'a' to 'z' into 'A' to 'Z' in place, up to the NUL; every other byte stays.
void AsciiUpcase(char *Text);
}
