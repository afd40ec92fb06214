// The on-flash structures of PI firmware volumes: the volume header, FFS files and their
// sections, as packed structs of little-endian fields named as the PI firmware documents name
// them, for ReadStruct and PutStruct (struct_io.h); and the field values fv-tool uses.
#pragma once

#include <cstdint>

namespace fv {

#pragma pack(push, 1)

struct EFI_GUID {
  uint32_t Data1;
  uint16_t Data2, Data3;
  uint8_t Data4[8];
};

// Followed by EFI_FV_BLOCK_MAP_ENTRY items up to a {0, 0} entry; HeaderLength counts them all.
struct EFI_FIRMWARE_VOLUME_HEADER {
  uint8_t ZeroVector[16];
  EFI_GUID FileSystemGuid;  // how the volume's contents are laid out: FFS2, FFS3, ...
  uint64_t FvLength;        // the whole volume, header included
  uint32_t Signature;       // EFI_FVH_SIGNATURE
  uint32_t Attributes;      // EFI_FVB2_*
  uint16_t HeaderLength;    // this header and the block map
  uint16_t Checksum;        // makes the 16-bit words of the HeaderLength bytes sum to 0
  uint16_t ExtHeaderOffset; // from the volume's start; 0 when there is no extended header
  uint8_t Reserved[1];
  uint8_t Revision;
};

struct EFI_FV_BLOCK_MAP_ENTRY {
  uint32_t NumBlocks, Length;
};

struct EFI_FIRMWARE_VOLUME_EXT_HEADER {
  EFI_GUID FvName;
  uint32_t ExtHeaderSize; // this header and the entries after it
};

union EFI_FFS_INTEGRITY_CHECK {
  struct {
    uint8_t Header; // makes the header's bytes sum to 0, State and File counted as 0
    uint8_t File;   // makes the data's bytes sum to 0, or FFS_FIXED_CHECKSUM
  } Checksum;
  uint16_t Checksum16;
};

// The file's data follows it, up to Size bytes from the header's start. Files start on 8-byte
// boundaries of their volume.
struct EFI_FFS_FILE_HEADER {
  EFI_GUID Name;
  EFI_FFS_INTEGRITY_CHECK IntegrityCheck;
  uint8_t Type;       // EFI_FV_FILETYPE_*
  uint8_t Attributes; // FFS_ATTRIB_*
  uint8_t Size[3];    // the whole file, header included; 0 with FFS_ATTRIB_LARGE_FILE
  uint8_t State;      // EFI_FILE_* bits, inverted in a volume whose erase polarity is 1
};

// With FFS_ATTRIB_LARGE_FILE: the size moves to ExtendedSize.
struct EFI_FFS_FILE_HEADER2 : EFI_FFS_FILE_HEADER {
  uint64_t ExtendedSize;
};

// Sections start on 4-byte boundaries; the section's content follows its header.
struct EFI_COMMON_SECTION_HEADER {
  uint8_t Size[3]; // the whole section; 0xFFFFFF when ExtendedSize holds it
  uint8_t Type;    // EFI_SECTION_*
};

struct EFI_COMMON_SECTION_HEADER2 : EFI_COMMON_SECTION_HEADER {
  uint32_t ExtendedSize;
};

// The encoded content starts DataOffset bytes from the section's start.
struct EFI_GUID_DEFINED_SECTION {
  EFI_COMMON_SECTION_HEADER CommonHeader;
  EFI_GUID SectionDefinitionGuid;
  uint16_t DataOffset;
  uint16_t Attributes; // EFI_GUIDED_SECTION_*
};

struct EFI_GUID_DEFINED_SECTION2 {
  EFI_COMMON_SECTION_HEADER2 CommonHeader;
  EFI_GUID SectionDefinitionGuid;
  uint16_t DataOffset;
  uint16_t Attributes;
};

struct EFI_COMPRESSION_SECTION {
  EFI_COMMON_SECTION_HEADER CommonHeader;
  uint32_t UncompressedLength;
  uint8_t CompressionType; // EFI_NOT_COMPRESSED or EFI_STANDARD_COMPRESSION
};

struct EFI_COMPRESSION_SECTION2 {
  EFI_COMMON_SECTION_HEADER2 CommonHeader;
  uint32_t UncompressedLength;
  uint8_t CompressionType;
};

#pragma pack(pop)

static_assert(sizeof(EFI_GUID) == 16, "GUID");
static_assert(sizeof(EFI_FIRMWARE_VOLUME_HEADER) == 56, "volume header without its block map");
static_assert(sizeof(EFI_FV_BLOCK_MAP_ENTRY) == 8, "block map entry");
static_assert(sizeof(EFI_FIRMWARE_VOLUME_EXT_HEADER) == 20, "volume extended header");
static_assert(sizeof(EFI_FFS_FILE_HEADER) == 24, "file header");
static_assert(sizeof(EFI_FFS_FILE_HEADER2) == 32, "large file header");
static_assert(sizeof(EFI_COMMON_SECTION_HEADER) == 4, "section header");
static_assert(sizeof(EFI_COMMON_SECTION_HEADER2) == 8, "large section header");
static_assert(sizeof(EFI_GUID_DEFINED_SECTION) == 24, "GUID-defined section header");
static_assert(sizeof(EFI_GUID_DEFINED_SECTION2) == 28, "large GUID-defined section header");
static_assert(sizeof(EFI_COMPRESSION_SECTION) == 9, "compression section header");
static_assert(sizeof(EFI_COMPRESSION_SECTION2) == 13, "large compression section header");

constexpr uint32_t EFI_FVH_SIGNATURE = 0x4856465F;       // "_FVH"
constexpr uint32_t EFI_FVB2_ERASE_POLARITY = 0x00000800; // erased bytes read 0xFF, not 0x00

// FileSystemGuid values: the FFS layouts this tool reads. FFS3 adds large files.
constexpr EFI_GUID EFI_FIRMWARE_FILE_SYSTEM2_GUID = {
    0x8C8CE578, 0x8A3D, 0x4F1C, {0x99, 0x35, 0x89, 0x61, 0x85, 0xC3, 0x2D, 0xD3}};
constexpr EFI_GUID EFI_FIRMWARE_FILE_SYSTEM3_GUID = {
    0x5473C07A, 0x3DCB, 0x4DCA, {0xBD, 0x6F, 0x1E, 0x96, 0x89, 0xE7, 0x34, 0x9A}};

constexpr uint8_t EFI_FV_FILETYPE_RAW = 0x01;
constexpr uint8_t EFI_FV_FILETYPE_FREEFORM = 0x02;
constexpr uint8_t EFI_FV_FILETYPE_PEI_CORE = 0x04;
constexpr uint8_t EFI_FV_FILETYPE_PEIM = 0x06;
constexpr uint8_t EFI_FV_FILETYPE_FIRMWARE_VOLUME_IMAGE = 0x0B;
constexpr uint8_t EFI_FV_FILETYPE_MM_CORE_STANDALONE = 0x0F; // the last type that holds sections
constexpr uint8_t EFI_FV_FILETYPE_FFS_PAD = 0xF0;

constexpr uint8_t FFS_ATTRIB_LARGE_FILE = 0x01;
constexpr uint8_t FFS_ATTRIB_DATA_ALIGNMENT_2 = 0x02; // selects the second alignment table
constexpr uint8_t FFS_ATTRIB_FIXED = 0x04;
constexpr uint8_t FFS_ATTRIB_DATA_ALIGNMENT = 0x38; // bits 3-5: index into the alignment table
constexpr uint8_t FFS_ATTRIB_CHECKSUM = 0x40;       // IntegrityCheck.Checksum.File sums the data
constexpr uint8_t FFS_FIXED_CHECKSUM = 0xAA;        // the File checksum without FFS_ATTRIB_CHECKSUM

// State bits, as set in a volume of erase polarity 0; a file is valid once the first three are.
constexpr uint8_t EFI_FILE_HEADER_CONSTRUCTION = 0x01;
constexpr uint8_t EFI_FILE_HEADER_VALID = 0x02;
constexpr uint8_t EFI_FILE_DATA_VALID = 0x04;
constexpr uint8_t EFI_FILE_MARKED_FOR_UPDATE = 0x08;
constexpr uint8_t EFI_FILE_DELETED = 0x10;
constexpr uint8_t EFI_FILE_HEADER_INVALID = 0x20;

constexpr uint8_t EFI_SECTION_COMPRESSION = 0x01;
constexpr uint8_t EFI_SECTION_GUID_DEFINED = 0x02;
constexpr uint8_t EFI_SECTION_DISPOSABLE = 0x03;
constexpr uint8_t EFI_SECTION_PE32 = 0x10;
constexpr uint8_t EFI_SECTION_TE = 0x12;
constexpr uint8_t EFI_SECTION_USER_INTERFACE = 0x15;
constexpr uint8_t EFI_SECTION_FIRMWARE_VOLUME_IMAGE = 0x17;
constexpr uint8_t EFI_SECTION_RAW = 0x19;

constexpr uint8_t EFI_NOT_COMPRESSED = 0x00;
constexpr uint8_t EFI_STANDARD_COMPRESSION = 0x01;

constexpr uint16_t EFI_GUIDED_SECTION_PROCESSING_REQUIRED = 0x01;
constexpr uint16_t EFI_GUIDED_SECTION_AUTH_STATUS_VALID = 0x02;

// A GUID-defined section whose content is an LZMA stream with a 13-byte header.
constexpr EFI_GUID LZMA_CUSTOM_DECOMPRESS_GUID = {
    0xEE4E5898, 0x3914, 0x4259, {0x9D, 0x6E, 0xDC, 0x7B, 0xD7, 0x94, 0x03, 0xCF}};

} // namespace fv
