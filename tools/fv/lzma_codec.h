// LZMA streams as GUID-defined sections hold them, through liblzma: a 13-byte header (the
// properties byte, the 32-bit dictionary size and the 64-bit uncompressed size, little-endian),
// then the compressed data. The firmware's decoder needs the real uncompressed size in the
// header; it accepts a stream that also ends with an end marker.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "struct_io.h"

constexpr uint64_t LZMA_HEADER_SIZE = 13;

struct LzmaHeader {
  uint8_t Properties = 0;      // (pb * 5 + lp) * 9 + lc
  uint32_t DictionarySize = 0; // bytes
  uint64_t UncompressedSize = 0;
};

// Decodes Stream into Data. Refuses a header without a real size, a size above MaxSize, a
// stream liblzma rejects or one that ends before the size. Bytes after the stream's end are
// left unread, as the firmware leaves them.
[[nodiscard]] bool LzmaDecode(ByteView Stream, uint64_t MaxSize, std::vector<uint8_t> *Data,
                              LzmaHeader *Header, std::string *Error);

// Encodes Data with the properties and dictionary size of Like (the stream being replaced),
// end-marked, with the real size in the header.
[[nodiscard]] bool LzmaEncode(ByteView Data, const LzmaHeader &Like, std::vector<uint8_t> *Stream,
                              std::string *Error);
