// A small valid PE32 image of the module's shape, crafted in memory with the tools' header
// structs (pe_format.h), and byte patches for its variants. The patches give PE offsets as
// numbers from the PE/COFF layout, so a struct field out of place shows up as a patch the
// converter misses; the built image's tests hold the structs to the linker's output.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace pe_test {

// Layout of the crafted image (file offset == RVA for every section).
constexpr uint32_t LFANEW = 0x40;         // "PE\0\0"
constexpr uint32_t COFF = 0x44;           // COFF file header, 20 bytes
constexpr uint32_t OPTIONAL = 0x58;       // PE32 optional header, 224 bytes (16 directories)
constexpr uint32_t SECTION_TABLE = 0x138; // StrippedSize; room for 5 headers before .text
constexpr uint32_t TEXT = 0x200;
constexpr uint32_t TEXT_SIZE = 0x80;
constexpr uint32_t RELOC = 0x280;
constexpr uint32_t RELOC_SIZE = 16; // one block: 8-byte header, 3 HIGHLOW, 1 ABSOLUTE
constexpr uint32_t RELOC_RAW = 0x20;
constexpr uint32_t FILE_SIZE = RELOC + RELOC_RAW;
constexpr uint32_t IMAGE_BASE = 0x00400000;
constexpr uint32_t ENTRY = 0x200;
constexpr uint32_t TEXT_FLAGS = 0x68000020;                  // code, execute, read, not paged
constexpr uint32_t RELOC_FLAGS = 0x42000040;                 // initialized data, read, discardable
constexpr uint32_t HIGHLOW_SITES[3] = {0x201, 0x210, 0x220}; // RVAs of the patched words
constexpr uint32_t HIGHLOW_TARGETS[3] = {0x260, 0x270, 0x27C}; // RVAs they point to

// Optional header fields and data directories, as offsets in the file.
constexpr uint32_t OPT_SUBSYSTEM = OPTIONAL + 68;
constexpr uint32_t OPT_DIRECTORY_COUNT = OPTIONAL + 92;
constexpr uint32_t DIR_IMPORT = OPTIONAL + 96 + 8 * 1;
constexpr uint32_t DIR_RELOC = OPTIONAL + 96 + 8 * 5;
constexpr uint32_t DIR_DEBUG = OPTIONAL + 96 + 8 * 6;

// File offset of Field (0 name, 8 VirtualSize, 12 VirtualAddress, 16 SizeOfRawData,
// 20 PointerToRawData, 36 Characteristics) in section header Index.
constexpr uint32_t Section(uint32_t Index, uint32_t Field) {
  return SECTION_TABLE + 40 * Index + Field;
}

// File offset of relocation entry Index of the only block.
constexpr uint32_t RelocEntry(uint32_t Index) {
  return RELOC + 8 + 2 * Index;
}

struct Pe {
  std::vector<uint8_t> Bytes;

  void Put16(uint32_t Offset, uint16_t Value);
  void Put32(uint32_t Offset, uint32_t Value);
  void PutName(uint32_t Index, const std::string &Name);
};

// The valid image: .text with a MOV from an absolute address, a RET and three HIGHLOW words
// pointing into .text; .reloc with their block.
Pe BuildValidPe();

} // namespace pe_test
