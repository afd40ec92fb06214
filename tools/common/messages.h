// Pieces of the image tools' one-line messages: numbers in hexadecimal, counts, and refusals.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

// "0x" then Value in lower-case hexadecimal, zero-padded to at least Digits digits:
// Hex(0x14C, 4) is "0x014c", Hex(0x40A000, 8) "0x0040a000", Hex(0x20) "0x20".
inline std::string Hex(uint64_t Value, int Digits = 0) {
  char Text[24]; // "0x", 16 digits and the NUL, with room to spare; longer padding is cut
  std::snprintf(Text, sizeof(Text), "0x%0*llx", Digits, static_cast<unsigned long long>(Value));
  return Text;
}

// "1 access", "2 accesses": Plural is the ending added to Noun.
inline std::string Counted(uint64_t Count, const char *Noun, const char *Plural = "s") {
  return std::to_string(Count) + " " + Noun + (Count == 1 ? "" : Plural);
}

// Readers, converters, checkers and loaders refuse input by returning false with a one-line reason
// in *Error (without the file's name, which the caller puts first): `return Fail(Error, "...");`.
[[nodiscard]] inline bool Fail(std::string *Error, const std::string &Reason) {
  if (Error != nullptr) {
    *Error = Reason;
  }
  return false;
}
