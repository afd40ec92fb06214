#include "ffs_rules.h"

#include <cstddef>
#include <cstdint>
#include <numeric>

#include "fv_format.h"
#include "struct_io.h"

using namespace fv;

namespace {

uint8_t Sum8(ByteView Bytes) {
  return static_cast<uint8_t>(std::accumulate(Bytes.begin(), Bytes.end(), 0u));
}

// The alignment tables, indexed by attribute bits 3-5; FFS_ATTRIB_DATA_ALIGNMENT_2 selects the
// second. Index 0 of the first asks for nothing beyond the 8 bytes every file has.
constexpr uint64_t ALIGNMENTS[2][8] = {
    {1, 16, 128, 512, 1u << 10, 4u << 10, 32u << 10, 64u << 10},
    {128u << 10, 256u << 10, 512u << 10, 1u << 20, 2u << 20, 4u << 20, 8u << 20, 16u << 20}};

} // namespace

uint32_t Size24(const uint8_t (&Size)[3]) {
  return Size[0] | (uint32_t{Size[1]} << 8) | (uint32_t{Size[2]} << 16);
}

void PutSize24(uint8_t (&Size)[3], uint32_t Value) {
  Size[0] = static_cast<uint8_t>(Value);
  Size[1] = static_cast<uint8_t>(Value >> 8);
  Size[2] = static_cast<uint8_t>(Value >> 16);
}

uint8_t EraseByteOf(uint32_t VolumeAttributes) {
  return (VolumeAttributes & EFI_FVB2_ERASE_POLARITY) != 0 ? 0xFF : 0x00;
}

uint8_t ValidFileState(uint8_t EraseByte) {
  constexpr uint8_t WRITTEN =
      EFI_FILE_HEADER_CONSTRUCTION | EFI_FILE_HEADER_VALID | EFI_FILE_DATA_VALID;
  return static_cast<uint8_t>(WRITTEN ^ EraseByte);
}

uint8_t FileStateBit(uint8_t State, uint8_t EraseByte) {
  const uint8_t Bits = State ^ EraseByte;
  for (uint8_t Bit = 0x80; Bit != 0; Bit >>= 1) {
    if ((Bits & Bit) != 0) {
      return Bit;
    }
  }
  return 0;
}

bool FileIsLive(uint8_t StateBit) {
  return StateBit == EFI_FILE_DATA_VALID || StateBit == EFI_FILE_MARKED_FOR_UPDATE;
}

bool HoldsSections(uint8_t FileType) {
  return FileType >= EFI_FV_FILETYPE_FREEFORM && FileType <= EFI_FV_FILETYPE_MM_CORE_STANDALONE;
}

uint64_t FileDataAlignment(uint8_t Attributes) {
  const size_t Table = (Attributes & FFS_ATTRIB_DATA_ALIGNMENT_2) != 0 ? 1 : 0;
  return ALIGNMENTS[Table][(Attributes & FFS_ATTRIB_DATA_ALIGNMENT) >> 3];
}

uint8_t DataAlignmentAttributes(uint64_t Alignment) {
  for (uint8_t Table = 0; Table < 2; ++Table) {
    for (uint8_t Index = 0; Index < 8; ++Index) {
      if (ALIGNMENTS[Table][Index] == Alignment && Alignment > FILE_ALIGNMENT) {
        return static_cast<uint8_t>((Index << 3) | (Table != 0 ? FFS_ATTRIB_DATA_ALIGNMENT_2 : 0));
      }
    }
  }
  return 0;
}

uint8_t FileHeaderChecksum(ByteView Header) {
  EFI_FFS_FILE_HEADER Fields{};
  if (!ReadStruct(Header, 0, &Fields)) {
    return 0;
  }
  const uint8_t Excluded = static_cast<uint8_t>(Fields.IntegrityCheck.Checksum.Header +
                                                Fields.IntegrityCheck.Checksum.File + Fields.State);
  return static_cast<uint8_t>(Excluded - Sum8(Header));
}

uint8_t FileDataChecksum(uint8_t Attributes, ByteView Data) {
  if ((Attributes & FFS_ATTRIB_CHECKSUM) == 0) {
    return FFS_FIXED_CHECKSUM;
  }
  return static_cast<uint8_t>(0 - Sum8(Data));
}

uint16_t VolumeHeaderSum(ByteView Header) {
  uint16_t Sum = 0;
  uint16_t Word = 0;
  for (uint64_t At = 0; ReadStruct(Header, At, &Word); At += sizeof(Word)) {
    Sum = static_cast<uint16_t>(Sum + Word);
  }
  return Sum;
}
