// Writing FFS files and sections: headers with their sizes, states and checksums, laid out by
// the rules of ffs_rules.h.
#pragma once

#include <cstdint>
#include <vector>

#include "firmware_tree.h"
#include "fv_format.h"
#include "struct_io.h"

// A section of Type around Content, with the 4-byte header, or the 8-byte one when its size
// needs ExtendedSize.
std::vector<uint8_t> MakeSection(uint8_t Type, ByteView Content);

// A GUID-defined section like Like (its GUID, its attributes and the bytes between its header
// and its data) holding Content as its data.
std::vector<uint8_t> MakeGuidDefinedSection(const FvSection &Like, ByteView Content);

// Appends Section to the section list in Data, at the list's next 4-byte boundary (zero bytes
// between).
void AppendSection(std::vector<uint8_t> *Data, ByteView Section);

// The section list List with the Old bytes at Offset replaced by New. Sections after it move by
// the difference, rounded to keep them on 4-byte boundaries.
std::vector<uint8_t> SpliceSection(ByteView List, uint64_t Offset, uint64_t Old, ByteView New);

// A whole file of Data: the header (the large one when the size needs it, with
// FFS_ATTRIB_LARGE_FILE), the State a valid file has where erased bytes read EraseByte, and
// both checksums.
std::vector<uint8_t> MakeFile(const fv::EFI_GUID &Name, uint8_t Type, uint8_t Attributes,
                              ByteView Data, uint8_t EraseByte);

// Sets File's State for EraseByte and recomputes both checksums, after a change to its data.
void SealFile(std::vector<uint8_t> *File, uint32_t HeaderSize, uint8_t EraseByte);

// A pad file of Size bytes (at least a file header) whose data is erased bytes.
std::vector<uint8_t> MakePadFile(uint64_t Size, uint8_t EraseByte);

// The GUID pad files carry: all bytes 0xFF.
constexpr fv::EFI_GUID PAD_FILE_GUID = {
    0xFFFFFFFF, 0xFFFF, 0xFFFF, {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}};
