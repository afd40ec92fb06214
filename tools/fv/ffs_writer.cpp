#include "ffs_writer.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "ffs_rules.h"
#include "firmware_tree.h"
#include "fv_format.h"
#include "struct_io.h"

using namespace fv;

namespace {

void Append(std::vector<uint8_t> *Bytes, ByteView More) {
  Bytes->insert(Bytes->end(), More.begin(), More.end());
}

// The common header of a section of Size bytes, small when the size fits its 3 bytes: Size
// counts the small header; the large one is 4 bytes longer.
EFI_COMMON_SECTION_HEADER2 CommonHeader(uint8_t Type, uint64_t Size, bool *Large) {
  EFI_COMMON_SECTION_HEADER2 Header{};
  Header.Type = Type;
  *Large = Size >= MAX_SIZE24;
  if (*Large) {
    PutSize24(Header.Size, MAX_SIZE24);
    Header.ExtendedSize = static_cast<uint32_t>(Size + sizeof(EFI_COMMON_SECTION_HEADER2) -
                                                sizeof(EFI_COMMON_SECTION_HEADER));
  } else {
    PutSize24(Header.Size, static_cast<uint32_t>(Size));
  }
  return Header;
}

// A whole file of Data, with the large header when Large.
std::vector<uint8_t> MakeFileWith(const EFI_GUID &Name, uint8_t Type, uint8_t Attributes,
                                  ByteView Data, uint8_t EraseByte, bool Large) {
  EFI_FFS_FILE_HEADER2 Header{};
  Header.Name = Name;
  Header.Type = Type;
  Header.Attributes = Attributes & ~FFS_ATTRIB_LARGE_FILE;
  std::vector<uint8_t> File;
  uint32_t HeaderSize = sizeof(EFI_FFS_FILE_HEADER);
  if (Large) {
    HeaderSize = sizeof(EFI_FFS_FILE_HEADER2);
    Header.Attributes |= FFS_ATTRIB_LARGE_FILE;
    Header.ExtendedSize = HeaderSize + Data.size();
    PutStruct(&File, 0, Header);
  } else {
    PutSize24(Header.Size, static_cast<uint32_t>(HeaderSize + Data.size()));
    PutStruct(&File, 0, static_cast<const EFI_FFS_FILE_HEADER &>(Header));
  }
  Append(&File, Data);
  SealFile(&File, HeaderSize, EraseByte);
  return File;
}

} // namespace

std::vector<uint8_t> MakeSection(uint8_t Type, ByteView Content) {
  bool Large = false;
  const EFI_COMMON_SECTION_HEADER2 Header =
      CommonHeader(Type, sizeof(EFI_COMMON_SECTION_HEADER) + Content.size(), &Large);
  std::vector<uint8_t> Section;
  if (Large) {
    PutStruct(&Section, 0, Header);
  } else {
    PutStruct(&Section, 0, static_cast<const EFI_COMMON_SECTION_HEADER &>(Header));
  }
  Append(&Section, Content);
  return Section;
}

std::vector<uint8_t> MakeGuidDefinedSection(const FvSection &Like, ByteView Content) {
  const uint64_t LikeFixed = Like.HeaderSize + sizeof(EFI_GUID) + 2 * sizeof(uint16_t);
  const ByteView Between = Like.Bytes.subspan(LikeFixed, Like.DataOffset - LikeFixed);
  const uint64_t SmallSize = sizeof(EFI_GUID_DEFINED_SECTION) + Between.size() + Content.size();
  bool Large = false;
  const EFI_COMMON_SECTION_HEADER2 Common =
      CommonHeader(EFI_SECTION_GUID_DEFINED, SmallSize, &Large);
  std::vector<uint8_t> Section;
  const auto Put = [&](auto Header) {
    Header.SectionDefinitionGuid = Like.Guid;
    Header.Attributes = Like.GuidAttributes;
    Header.DataOffset = static_cast<uint16_t>(sizeof(Header) + Between.size());
    PutStruct(&Section, 0, Header);
  };
  if (Large) {
    EFI_GUID_DEFINED_SECTION2 Header{};
    Header.CommonHeader = Common;
    Put(Header);
  } else {
    EFI_GUID_DEFINED_SECTION Header{};
    Header.CommonHeader = Common;
    Put(Header);
  }
  Append(&Section, Between);
  Append(&Section, Content);
  return Section;
}

void AppendSection(std::vector<uint8_t> *Data, ByteView Section) {
  Data->resize(AlignUp(Data->size(), SECTION_ALIGNMENT), 0);
  Append(Data, Section);
}

std::vector<uint8_t> SpliceSection(ByteView List, uint64_t Offset, uint64_t Old, ByteView New) {
  std::vector<uint8_t> Spliced(List.begin(), List.begin() + static_cast<std::ptrdiff_t>(Offset));
  const uint64_t Next = std::min<uint64_t>(AlignUp(Offset + Old, SECTION_ALIGNMENT), List.size());
  Append(&Spliced, New);
  if (Next < List.size()) {
    AppendSection(&Spliced, List.subspan(Next));
  }
  return Spliced;
}

std::vector<uint8_t> MakeFile(const EFI_GUID &Name, uint8_t Type, uint8_t Attributes, ByteView Data,
                              uint8_t EraseByte) {
  return MakeFileWith(Name, Type, Attributes, Data, EraseByte,
                      sizeof(EFI_FFS_FILE_HEADER) + Data.size() > MAX_SIZE24);
}

void SealFile(std::vector<uint8_t> *File, uint32_t HeaderSize, uint8_t EraseByte) {
  EFI_FFS_FILE_HEADER Header{};
  if (!ReadStruct(*File, 0, &Header)) {
    return;
  }
  Header.State = ValidFileState(EraseByte);
  Header.IntegrityCheck.Checksum.File =
      FileDataChecksum(Header.Attributes, ByteView(*File).subspan(HeaderSize));
  PutStruct(File, 0, Header);
  Header.IntegrityCheck.Checksum.Header = FileHeaderChecksum(ByteView(*File).first(HeaderSize));
  PutStruct(File, 0, Header);
}

std::vector<uint8_t> MakePadFile(uint64_t Size, uint8_t EraseByte) {
  const bool Large = Size > MAX_SIZE24;
  const std::vector<uint8_t> Data(
      Size - (Large ? sizeof(EFI_FFS_FILE_HEADER2) : sizeof(EFI_FFS_FILE_HEADER)), EraseByte);
  return MakeFileWith(PAD_FILE_GUID, EFI_FV_FILETYPE_FFS_PAD, 0, Data, EraseByte, Large);
}
