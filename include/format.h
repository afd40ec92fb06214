// The module's bounded printf-style formatter.
//
// Return and truncation contract
// ------------------------------
// FormatText and FormatTextV write into Buffer, whose Capacity counts the terminating NUL.
// - Buffer or Format null: nothing is written; the result is -1.
// - Capacity 0: nothing is written; the result is 0.
// - Otherwise at most Capacity - 1 characters are written, always followed by one NUL, and the
//   result is the number of characters written, NUL excluded. Output that does not fit is cut:
//   the buffer holds the first Capacity - 1 characters of the full text, and the result counts
//   only those. No byte at or past Buffer[Capacity] is ever touched.
// A '%c' of 0 stores a NUL inside the text and counts it like any other character.
//
// Format language
// ---------------
// Text is copied; "%%" writes '%'. A directive is '%', an optional '0' (pad with zeros instead
// of blanks), a width (decimal, or '*' to take it from the next 32-bit argument), an optional
// 'l' (64-bit integer), and a conversion character:
//   s, a   8-bit string                       S      16-bit string, low byte of each unit
//   c      character (32-bit argument)        r      EFI_STATUS by name, else "Status Code(%X)"
//   d, i   signed decimal                     g, G   EFI_GUID *, lower / upper case
//   x, X   hexadecimal, lower / upper case    p      32-bit value, upper-case hexadecimal
// The width pads integers on the left; other conversions ignore it. A null string or GUID
// pointer prints "(null)". Any other conversion character drops the directive (without taking
// an argument of its own) and is then read again as ordinary format text. Arguments are read
// strictly in order: 32-bit slots, two for an 'l' integer, low word first.
//
// Where a printf user would expect otherwise
// ------------------------------------------
// - The padding goes in front of the whole text, sign included: "%05d" of -42 prints "00-42".
// - '-' and '+' are read as part of the width, and nothing is left-justified: "%-5d" has the
//   negative width -5; "%+05d" has width 5, padded with blanks, as '0' counts only directly
//   after the '%'. No '+' sign is ever printed.
// - A negative width, written or taken by '*', pads nothing: "%*d" of -5 and 42 prints "42".
// - 'l' is taken only before an integer conversion: "%ls" drops the directive and prints "s".
// - "%p" has no "0x" prefix: "%p" of 171 prints "AB".
#pragma once

#include <cstdarg>
#include <cstdint>

extern "C" {
int32_t FormatText(char *Buffer, uint32_t Capacity, const char *Format, ...);
int32_t FormatTextV(char *Buffer, uint32_t Capacity, const char *Format, va_list Arguments);
}
