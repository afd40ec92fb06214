// Little-endian access to byte buffers. Reads check the buffer's bounds themselves: a read that
// would leave the buffer returns 0 instead of touching memory past its end. Callers still check
// ranges with Fits first, so that a short buffer is reported, never read as zeros.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// True when [Offset, Offset + Length) lies within a buffer of Size bytes. 64-bit arithmetic:
// no 32-bit operand can wrap.
inline bool Fits(uint64_t Size, uint64_t Offset, uint64_t Length) {
  return Offset <= Size && Length <= Size - Offset;
}

inline uint32_t ReadLe(const std::vector<uint8_t> &Bytes, uint64_t Offset, uint32_t Width) {
  if (!Fits(Bytes.size(), Offset, Width)) {
    return 0;
  }
  uint32_t Value = 0;
  for (uint32_t Index = Width; Index > 0; Index--) {
    Value = (Value << 8) | Bytes[Offset + Index - 1];
  }
  return Value;
}

inline uint8_t ReadU8(const std::vector<uint8_t> &Bytes, uint64_t Offset) {
  return static_cast<uint8_t>(ReadLe(Bytes, Offset, 1));
}
inline uint16_t ReadU16(const std::vector<uint8_t> &Bytes, uint64_t Offset) {
  return static_cast<uint16_t>(ReadLe(Bytes, Offset, 2));
}
inline uint32_t ReadU32(const std::vector<uint8_t> &Bytes, uint64_t Offset) {
  return ReadLe(Bytes, Offset, 4);
}

// Appends Value as Width little-endian bytes.
inline void AppendLe(std::vector<uint8_t> *Bytes, uint64_t Value, uint32_t Width) {
  for (uint32_t Index = 0; Index < Width; Index++) {
    Bytes->push_back(static_cast<uint8_t>(Value >> (8 * Index)));
  }
}

// "0x" followed by Value in lower-case hexadecimal, zero-padded to Digits digits.
std::string Hex(uint64_t Value, int Digits = 0);

// Sets *Error to Message (when Error is not null) and returns false.
bool Fail(std::string *Error, const std::string &Message);
