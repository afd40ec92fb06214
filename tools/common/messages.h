// Pieces of the image tools' one-line messages: numbers in hexadecimal, counts, and refusals.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

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

// Bytes of input a message quotes; the rest is left out.
constexpr size_t MAX_QUOTED_INPUT = 80;

// Bytes as text that is safe on a terminal and in a one-line message: CR, LF and the backslash
// as "\r", "\n" and "\\", other bytes outside printable ASCII as "\x1b". After Max bytes the
// rest is left out and "..." stands for it.
inline std::string VisibleText(std::string_view Bytes, size_t Max = SIZE_MAX) {
  std::string Text;
  for (size_t Index = 0; Index < Bytes.size(); ++Index) {
    const auto Byte = static_cast<unsigned char>(Bytes[Index]);
    if (Index == Max) {
      return Text + "...";
    }
    if (Byte == '\r' || Byte == '\n' || Byte == '\\') {
      Text += Byte == '\r' ? "\\r" : Byte == '\n' ? "\\n" : "\\\\";
    } else if (Byte < 0x20 || Byte >= 0x7F) {
      Text += "\\x" + Hex(Byte, 2).substr(2);
    } else {
      Text += static_cast<char>(Byte);
    }
  }
  return Text;
}
