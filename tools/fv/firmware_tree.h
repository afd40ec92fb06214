// A firmware image as fv-tool reads it: volumes holding FFS files, files holding sections, and
// sections holding further sections (in place, or decoded from LZMA) or a volume. Each node
// carries a view of its own bytes. Those bytes lie in the image, or in the decoded data of an
// LZMA section above the node, which that section owns on the heap: nodes may move, the bytes
// stay.
//
// Offsets count from the start of the space a node lies in: the image for its volumes, a
// volume for its files and their sections, an LZMA section's decoded data for the sections in
// it. A volume's own files count from that volume's start.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "fv_format.h"
#include "struct_io.h"

struct FvFile;
struct FvSection;

struct FvVolume {
  uint64_t Offset = 0; // in its space
  ByteView Bytes;      // FvLength bytes
  fv::EFI_FIRMWARE_VOLUME_HEADER Header{};
  bool HasName = false; // an extended header gives FvName
  fv::EFI_GUID Name{};
  bool HoldsFiles = false; // FFS2 or FFS3; other file systems are not read
  bool LargeFiles = false; // FFS3: files may have the large header
  uint8_t EraseByte = 0xFF;
  uint64_t FilesStart = 0; // the first file's offset
  uint64_t FreeStart = 0;  // the first 8-byte boundary after the last file: free space from here
  uint64_t DirtyAt = 0;    // the first byte of free space that is not EraseByte; 0 when none
  std::vector<FvFile> Files;
};

// How a section's content is read.
enum class SectionContent : uint8_t {
  Leaf,    // plain bytes: an image, a name, raw data
  InPlace, // sections, right after the header (no encoding, or one that keeps them readable)
  Lzma,    // sections, in the decoded data of an LZMA stream
  Opaque,  // an encoding fv-tool does not decode
  Volume,  // one firmware volume
};

struct FvSection {
  uint64_t Offset = 0;     // in its space
  ByteView Bytes;          // the whole section, header included
  uint32_t HeaderSize = 0; // the common header: 4, or 8 with ExtendedSize
  uint32_t DataOffset = 0; // where the content starts, from the section's start
  uint8_t Type = 0;
  SectionContent Content = SectionContent::Leaf;
  fv::EFI_GUID Guid{};         // GUID-defined sections: SectionDefinitionGuid
  uint16_t GuidAttributes = 0; // and Attributes
  uint8_t CompressionType = 0; // compression sections: CompressionType
  std::string Name;            // user-interface sections: the name, non-ASCII as '?'
  bool HasImageBase = false;   // PE32 and TE sections whose headers give one
  uint64_t ImageBase = 0;
  uint16_t Machine = 0;   // and the machine they give
  int64_t Rva0Offset = 0; // the offset in the space where the image's RVA 0 lies
  std::unique_ptr<std::vector<uint8_t>> Decoded; // Lzma: the decoded data, children's space
  uint8_t LzmaProperties = 0;                    // Lzma: the stream header's properties byte
  uint32_t LzmaDictionary = 0;                   // and dictionary size
  std::vector<FvSection> Sections;               // InPlace and Lzma content
  std::vector<FvVolume> Volumes;                 // Volume content: exactly one
};

struct FvFile {
  uint64_t Offset = 0;     // in its volume
  ByteView Bytes;          // the whole file, header included
  uint32_t HeaderSize = 0; // 24, or 32 with FFS_ATTRIB_LARGE_FILE
  fv::EFI_FFS_FILE_HEADER Header{};
  uint8_t StateBit = 0;            // FileStateBit of its State
  std::vector<FvSection> Sections; // files of a type that holds sections
};

struct FirmwareImage {
  ByteView Bytes;
  std::vector<FvVolume> Volumes;
};

// Reads Bytes as a firmware image: the volumes found on 8-byte boundaries, in order, outside
// one another, each read whole with its files and sections, LZMA sections decoded. The image
// must hold at least one. Refuses, naming where, any header, checksum, size or encoding that
// breaks the FFS rules. Image keeps views of Bytes.
[[nodiscard]] bool ParseFirmwareImage(ByteView Bytes, FirmwareImage *Image, std::string *Error);

// Reads Bytes as one FFS file (header, data and sections) standing alone.
[[nodiscard]] bool ParseFfsFile(ByteView Bytes, FvFile *File, std::string *Error);
