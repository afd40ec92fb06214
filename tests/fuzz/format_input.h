// Decoding of a format fuzz input into a capacity, a format string and the variadic slots.
//
// Layout (integers little-endian):
//   2 bytes   capacity, low 12 bits (0 to 4095 bytes)
//   ...       format string, up to the first NUL or the end of the input
//   ...       argument pool, read in the order the format reads arguments:
//               32-bit integer   4 bytes
//               64-bit integer   8 bytes
//               8-bit string     length byte (0xFF: null pointer), then that many bytes
//               16-bit string    length byte in units (0xFF: null pointer), then 2 bytes a unit
//               GUID             flag byte (0xFF: null pointer), then 16 bytes
//             An exhausted pool reads as zero bytes.
// Every string and GUID gets a heap block of its exact size, so a read past its end is caught
// by AddressSanitizer.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "directive_scan.h"

// The fixed number of variadic slots the fuzz target passes.
constexpr size_t MAX_SLOTS = 16;
constexpr uint32_t CAPACITY_MASK = 0x0FFF;
constexpr uint8_t NULL_MARK = 0xFF;

struct FormatInput {
  uint32_t Capacity;
  std::unique_ptr<char[]> Format;
  std::vector<SlotKind> Reads;
  // On x86-64 every integer and pointer argument fills one 8-byte slot, whatever its width.
  std::array<uint64_t, MAX_SLOTS> Slots;
  std::vector<std::unique_ptr<uint8_t[]>> Blocks; // what the pointer slots point at
};

// False when the input is too short to hold a capacity.
bool DecodeFormatInput(const uint8_t *Data, size_t Size, FormatInput *Input);
