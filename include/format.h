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
// The width pads integers on the left, sign included; other conversions ignore it. A negative
// width pads nothing. A null string or GUID pointer prints "(null)". Any other conversion
// character drops the directive (without taking an argument of its own) and is then read again
// as ordinary format text. Arguments are read strictly in order: 32-bit slots, two for an 'l'
// integer, low word first.
#pragma once

#include <cstdarg>
#include <cstdint>

extern "C" {
int32_t FormatText(char *Buffer, uint32_t Capacity, const char *Format, ...);
int32_t FormatTextV(char *Buffer, uint32_t Capacity, const char *Format, va_list Arguments);

// Reads an optionally signed decimal width after blanks and tabs: "-" then "+" may precede the
// digits. Saturates at INT32_MAX / INT32_MIN. Stores the first unread position through End
// when End is not null.
int32_t ParseWidth(const char *Text, const char **End);
}
