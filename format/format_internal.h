// The format engine's own helpers: the width parser and the reversed digit conversion. They are
// not part of the formatter's interface (format.h); the engine and its tests include them.
#pragma once

#include <cstdint>

#include "value_text.h"

extern "C" {
// Reads an optionally signed decimal width after blanks and tabs: "-" then "+" may precede the
// digits. Saturates at INT32_MAX / INT32_MIN. Stores the first unread position through End
// when End is not null.
int32_t ParseWidth(const char *Text, const char **End);

// Radix is 10 or 16; Buffer holds VALUE_TEXT_SIZE bytes. A value with bit 63 set is negative:
// radix 10 prints its magnitude after a '-'; radix 16 prints the low 32 bits unless Is64.
// Writes the digits least significant first, then the sign, then NUL, and returns a pointer to
// the last character before the NUL.
char *ValueToDigitsReversed(uint64_t Value, char *Buffer, uint32_t Radix, bool Is64);
}
