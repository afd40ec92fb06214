// Integer to text without any division support routine.
#include "value_text.h"
#include "format_internal.h"

#include <cstdint>

namespace {

// Divides the 64-bit value held as High:Low by Radix in place and returns the remainder.
// 64 shift-and-subtract steps on 32-bit halves: each step moves the top dividend bit into the
// remainder and the new quotient bit into the bottom of Low. Radix <= 16 keeps the remainder
// well inside 32 bits.
uint32_t DivideInPlace(uint32_t *High, uint32_t *Low, uint32_t Radix) {
  uint32_t Hi = *High;
  uint32_t Lo = *Low;
  uint32_t Remainder = 0;
  for (int Step = 0; Step < 64; ++Step) {
    Remainder = (Remainder << 1) | (Hi >> 31);
    Hi = (Hi << 1) | (Lo >> 31);
    Lo <<= 1;
    if (Remainder >= Radix) {
      Remainder -= Radix;
      Lo |= 1;
    }
  }
  *High = Hi;
  *Low = Lo;
  return Remainder;
}

} // namespace

char *ValueToDigitsReversed(uint64_t Value, char *Buffer, uint32_t Radix, bool Is64) {
  const bool Negative = (Value >> 63) != 0;
  if (Negative && Radix == 10) {
    Value = 0 - Value;
  } else if (Negative && !Is64) {
    Value &= 0xFFFFFFFFu;
  }
  uint32_t High = static_cast<uint32_t>(Value >> 32);
  uint32_t Low = static_cast<uint32_t>(Value);
  char *Position = Buffer;
  do {
    const uint32_t Digit = DivideInPlace(&High, &Low, Radix);
    *Position++ = static_cast<char>(Digit < 10 ? '0' + Digit : 'a' + (Digit - 10));
  } while ((High | Low) != 0);
  if (Negative && Radix == 10) {
    *Position++ = '-';
  }
  *Position = '\0';
  return Position - 1;
}

char *ValueToText(uint64_t Value, uint32_t Radix, bool Is64, char *Buffer) {
  char *Last = ValueToDigitsReversed(Value, Buffer, Radix, Is64);
  for (char *First = Buffer; First < Last; ++First, --Last) {
    const char Swap = *First;
    *First = *Last;
    *Last = Swap;
  }
  return Buffer;
}

void AsciiUpcase(char *Text) {
  for (; *Text != '\0'; ++Text) {
    if (*Text >= 'a' && *Text <= 'z') {
      *Text = static_cast<char>(*Text - ('a' - 'A'));
    }
  }
}
