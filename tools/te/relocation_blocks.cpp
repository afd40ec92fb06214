#include "relocation_blocks.h"

#include "byte_io.h"
#include "pe_layout.h"

bool ParseRelocationBlocks(const std::vector<uint8_t> &File, uint64_t Offset, uint32_t Size,
                           std::vector<TeRelocation> *Relocations, std::string *Error) {
  uint32_t Position = 0; // bytes of the directory read so far
  while (Position < Size) {
    const std::string Where = "relocation block at directory offset " + Hex(Position);
    if (Size - Position < RELOC_BLOCK_HEADER_SIZE) {
      return Fail(Error, Where + ": its 8-byte header runs past the relocation directory (" +
                             std::to_string(Size) + " bytes)");
    }
    const uint32_t PageRva = ReadU32(File, Offset + Position);
    const uint32_t BlockSize = ReadU32(File, Offset + Position + 4);
    if (BlockSize < RELOC_BLOCK_HEADER_SIZE) {
      return Fail(Error, Where + ": SizeOfBlock " + std::to_string(BlockSize) + " is below 8");
    }
    if (BlockSize % 2 != 0) {
      return Fail(Error,
                  Where + ": SizeOfBlock " + std::to_string(BlockSize) + " is not a multiple of 2");
    }
    if (BlockSize > Size - Position) {
      return Fail(Error, Where + ": SizeOfBlock " + std::to_string(BlockSize) +
                             " runs past the relocation directory (" +
                             std::to_string(Size - Position) + " bytes left)");
    }
    for (uint32_t Entry = RELOC_BLOCK_HEADER_SIZE; Entry < BlockSize; Entry += 2) {
      const uint16_t Value = ReadU16(File, Offset + Position + Entry);
      const uint64_t Rva = uint64_t{PageRva} + (Value & 0x0FFF);
      if (Rva > UINT32_MAX) {
        return Fail(Error, Where + ": entry RVA " + Hex(Rva) + " does not fit 32 bits");
      }
      Relocations->push_back({static_cast<uint32_t>(Rva), static_cast<uint8_t>(Value >> 12)});
    }
    Position += BlockSize;
  }
  return true;
}

uint32_t RelocationWidth(uint8_t Type) {
  switch (Type) {
  case IMAGE_REL_BASED_ABSOLUTE:
    return 0;
  case IMAGE_REL_BASED_HIGH:
  case IMAGE_REL_BASED_LOW:
    return 2;
  case IMAGE_REL_BASED_HIGHLOW:
    return 4;
  case IMAGE_REL_BASED_DIR64:
    return 8;
  default:
    return 1;
  }
}
