// The FFS rules fv-tool's readers and writers share: alignment, sizes, erase polarity, file
// states and the three checksums (volume header, file header, file data).
#pragma once

#include <cstdint>

#include "fv_format.h"
#include "struct_io.h"

constexpr uint64_t FILE_ALIGNMENT = 8;    // a file starts on an 8-byte boundary of its volume
constexpr uint64_t SECTION_ALIGNMENT = 4; // a section on a 4-byte boundary of its file's data
constexpr uint32_t MAX_SIZE24 = 0xFFFFFF; // a 3-byte size field; 0xFFFFFF means "extended"

// Value rounded up to a multiple of Alignment (a power of 2). Offsets here stay below 2^40.
constexpr uint64_t AlignUp(uint64_t Value, uint64_t Alignment) {
  return (Value + Alignment - 1) & ~(Alignment - 1);
}

uint32_t Size24(const uint8_t (&Size)[3]);
void PutSize24(uint8_t (&Size)[3], uint32_t Value);

// The value of an erased byte in a volume with these attributes: 0xFF or 0x00.
uint8_t EraseByteOf(uint32_t VolumeAttributes);

// The State byte of a file written whole (header construction, header valid, data valid) in a
// volume whose erased bytes read EraseByte: 0xF8 or 0x07.
uint8_t ValidFileState(uint8_t EraseByte);

// The EFI_FILE_* bit that decides a file's state: the highest one set once the erase polarity
// is taken out; 0 when none is.
uint8_t FileStateBit(uint8_t State, uint8_t EraseByte);

// A file the dispatcher sees: its data is valid (or marked for update) and it is not deleted.
bool FileIsLive(uint8_t StateBit);

// File types whose data is a list of sections (raw, pad and OEM files hold plain bytes).
bool HoldsSections(uint8_t FileType);

// The alignment, in bytes, that the file's attributes ask of the start of its data.
uint64_t FileDataAlignment(uint8_t Attributes);

// The attribute bits asking for Alignment bytes (one of the table's values); 0 for 8 or less.
uint8_t DataAlignmentAttributes(uint64_t Alignment);

// IntegrityCheck.Checksum.Header for a file header's bytes (24, or 32 for a large file): the
// value that makes them sum to 0 with the Header, File and State bytes counted as 0.
uint8_t FileHeaderChecksum(ByteView Header);

// IntegrityCheck.Checksum.File: with FFS_ATTRIB_CHECKSUM, the value that makes the data sum
// to 0; without it, FFS_FIXED_CHECKSUM.
uint8_t FileDataChecksum(uint8_t Attributes, ByteView Data);

// The sum of a volume header's little-endian 16-bit words: 0 for a correct Checksum.
uint16_t VolumeHeaderSum(ByteView Header);
