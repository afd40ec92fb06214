// Reading firmware images, volumes and FFS files. Sections are read by section_parser.cpp.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "ffs_rules.h"
#include "firmware_tree.h"
#include "fv_format.h"
#include "guid_text.h"
#include "messages.h"
#include "parse_trail.h"
#include "struct_io.h"

using namespace fv;

namespace {

// The signature's offset in a volume header.
constexpr uint64_t SIGNATURE_AT = offsetof(EFI_FIRMWARE_VOLUME_HEADER, Signature);

// Checks the block map after the header's fixed part: entries up to {0, 0} inside HeaderLength,
// covering FvLength bytes.
bool CheckBlockMap(ByteView Header, uint64_t FvLength, std::string *Reason) {
  uint64_t Covered = 0;
  EFI_FV_BLOCK_MAP_ENTRY Entry{};
  for (uint64_t At = sizeof(EFI_FIRMWARE_VOLUME_HEADER); ReadStruct(Header, At, &Entry);
       At += sizeof(Entry)) {
    if (Entry.NumBlocks == 0 && Entry.Length == 0) {
      if (Covered != FvLength) {
        *Reason = "block map covers " + Hex(Covered) + " bytes, not FvLength " + Hex(FvLength);
        return false;
      }
      return true;
    }
    Covered += uint64_t{Entry.NumBlocks} * Entry.Length;
  }
  *Reason =
      "block map has no {0, 0} end inside the " + std::to_string(Header.size()) + "-byte header";
  return false;
}

// Checks the fixed header of the volume at Offset of Space (Room bytes there for it) and sets
// Volume's header fields: length, checksum, block map, extended header, where files start.
bool ReadVolumeHeader(ByteView Space, uint64_t Offset, uint64_t Room, FvVolume *Volume,
                      std::string *Reason) {
  EFI_FIRMWARE_VOLUME_HEADER &Header = Volume->Header;
  if (!ReadStruct(Space, Offset, &Header) || Room < sizeof(Header)) {
    *Reason = "header runs past its container (" + Hex(Room) + " bytes left)";
    return false;
  }
  if (Header.Signature != EFI_FVH_SIGNATURE) {
    *Reason = "no volume signature \"_FVH\" (" + Hex(Header.Signature, 8) + ")";
    return false;
  }
  if (Header.FvLength > Room) {
    *Reason = "FvLength " + Hex(Header.FvLength) + " runs past its container (" + Hex(Room) +
              " bytes left)";
    return false;
  }
  const uint64_t Minimum = sizeof(Header) + sizeof(EFI_FV_BLOCK_MAP_ENTRY);
  if (Header.HeaderLength < Minimum || Header.HeaderLength % 2 != 0 ||
      Header.HeaderLength > Header.FvLength) {
    *Reason = "HeaderLength " + Hex(Header.HeaderLength) + " is not an even size from " +
              Hex(Minimum) + " to FvLength " + Hex(Header.FvLength);
    return false;
  }
  Volume->Offset = Offset;
  Volume->Bytes = Space.subspan(Offset, Header.FvLength);
  const ByteView HeaderBytes = Volume->Bytes.first(Header.HeaderLength);
  if (VolumeHeaderSum(HeaderBytes) != 0) {
    *Reason = "header checksum " + Hex(Header.Checksum, 4) + " is wrong (the header sums to " +
              Hex(VolumeHeaderSum(HeaderBytes), 4) + ", not 0)";
    return false;
  }
  if (!CheckBlockMap(HeaderBytes, Header.FvLength, Reason)) {
    return false;
  }
  Volume->FilesStart = Header.HeaderLength;
  if (Header.ExtHeaderOffset != 0) {
    EFI_FIRMWARE_VOLUME_EXT_HEADER Ext{};
    if (Header.ExtHeaderOffset < Header.HeaderLength ||
        !ReadStruct(Volume->Bytes, Header.ExtHeaderOffset, &Ext) ||
        Ext.ExtHeaderSize < sizeof(Ext) ||
        !Fits(Header.FvLength, Header.ExtHeaderOffset, Ext.ExtHeaderSize)) {
      *Reason = "extended header at " + Hex(Header.ExtHeaderOffset) +
                " lies outside the space between the header and the volume's end";
      return false;
    }
    Volume->HasName = true;
    Volume->Name = Ext.FvName;
    Volume->FilesStart = uint64_t{Header.ExtHeaderOffset} + Ext.ExtHeaderSize;
  }
  Volume->FilesStart = AlignUp(Volume->FilesStart, FILE_ALIGNMENT);
  Volume->HoldsFiles = SameGuid(Header.FileSystemGuid, EFI_FIRMWARE_FILE_SYSTEM2_GUID) ||
                       SameGuid(Header.FileSystemGuid, EFI_FIRMWARE_FILE_SYSTEM3_GUID);
  Volume->LargeFiles = SameGuid(Header.FileSystemGuid, EFI_FIRMWARE_FILE_SYSTEM3_GUID);
  Volume->EraseByte = EraseByteOf(Header.Attributes);
  return true;
}

// Reads the file at Offset of Space (a volume, or the file alone). Large files are allowed
// only when LargeFiles; EraseByte is what the volume's erased bytes read.
bool ParseFile(ByteView Space, uint64_t Offset, bool LargeFiles, uint8_t EraseByte,
               const Trail &Where, ParseBudget *Budget, FvFile *File, std::string *Error) {
  const char *Container = Where.Parent != nullptr ? "its volume" : "the file";
  const auto Refuse = [&](const std::string &Reason) {
    return Fail(Error, Where.Text() + ": " + Reason);
  };
  EFI_FFS_FILE_HEADER2 Header{};
  if (!ReadStruct(Space, Offset, static_cast<EFI_FFS_FILE_HEADER *>(&Header))) {
    return Refuse("its 24-byte header runs past the end (" + Hex(Space.size() - Offset) +
                  " bytes left)");
  }
  uint64_t Size = Size24(Header.Size);
  File->HeaderSize = sizeof(EFI_FFS_FILE_HEADER);
  if ((Header.Attributes & FFS_ATTRIB_LARGE_FILE) != 0) {
    if (!LargeFiles) {
      return Refuse("a large file (attribute 0x01) outside an FFS3 volume");
    }
    if (!ReadStruct(Space, Offset, &Header)) {
      return Refuse("its 32-byte large-file header runs past the end");
    }
    Size = Header.ExtendedSize;
    File->HeaderSize = sizeof(EFI_FFS_FILE_HEADER2);
  }
  if (Size < File->HeaderSize) {
    return Refuse("size " + Hex(Size) + " is smaller than its " + std::to_string(File->HeaderSize) +
                  "-byte header");
  }
  if (!Fits(Space.size(), Offset, Size)) {
    return Refuse("size " + Hex(Size) + " runs past the end of " + Container + " (" +
                  Hex(Space.size() - Offset) + " bytes left)");
  }
  File->Offset = Offset;
  File->Bytes = Space.subspan(Offset, Size);
  File->Header = Header;
  File->StateBit = FileStateBit(Header.State, EraseByte);
  if (File->StateBit != EFI_FILE_HEADER_VALID && File->StateBit != EFI_FILE_DELETED &&
      !FileIsLive(File->StateBit)) {
    return Refuse("state " + Hex(Header.State, 2) + " does not mark a valid header");
  }
  const ByteView HeaderBytes = File->Bytes.first(File->HeaderSize);
  const uint8_t Expected = FileHeaderChecksum(HeaderBytes);
  if (Header.IntegrityCheck.Checksum.Header != Expected) {
    return Refuse("header checksum " + Hex(Header.IntegrityCheck.Checksum.Header, 2) +
                  " is wrong (" + Hex(Expected, 2) + " expected)");
  }
  if (File->StateBit == EFI_FILE_HEADER_VALID) {
    return true; // its data was never completed: nothing in it counts
  }
  const uint8_t Data = FileDataChecksum(Header.Attributes, File->Bytes.subspan(File->HeaderSize));
  if (Header.IntegrityCheck.Checksum.File != Data) {
    return Refuse("data checksum " + Hex(Header.IntegrityCheck.Checksum.File, 2) + " is wrong (" +
                  Hex(Data, 2) + " expected)");
  }
  if (!HoldsSections(Header.Type) || !FileIsLive(File->StateBit)) {
    return true;
  }
  return ParseSections(Space, Offset + File->HeaderSize, Offset + Size, &Where, Budget,
                       &File->Sections, Error);
}

// True when the Size bytes at Offset of Bytes all read Value.
bool AllBytesAre(ByteView Bytes, uint64_t Offset, uint64_t Size, uint8_t Value) {
  const ByteView Part = Bytes.subspan(Offset, Size);
  return std::all_of(Part.begin(), Part.end(), [Value](uint8_t Byte) { return Byte == Value; });
}

// Reads the files of Volume from FilesStart up to its free space, then finds where that free
// space stops being erased, if it does.
bool ParseFiles(const Trail &Where, ParseBudget *Budget, FvVolume *Volume, std::string *Error) {
  const ByteView Bytes = Volume->Bytes;
  uint64_t Offset = Volume->FilesStart;
  while (Offset < Bytes.size() && Fits(Bytes.size(), Offset, sizeof(EFI_FFS_FILE_HEADER)) &&
         !AllBytesAre(Bytes, Offset, sizeof(EFI_FFS_FILE_HEADER), Volume->EraseByte)) {
    FvFile File;
    const Trail Here{&Where, "file", Offset};
    if (!ParseFile(Bytes, Offset, Volume->LargeFiles, Volume->EraseByte, Here, Budget, &File,
                   Error)) {
      return false;
    }
    Offset = AlignUp(Offset + File.Bytes.size(), FILE_ALIGNMENT);
    Volume->Files.push_back(std::move(File));
  }
  Volume->FreeStart = std::min<uint64_t>(Offset, Bytes.size());
  const auto Dirty =
      std::find_if(Bytes.begin() + static_cast<std::ptrdiff_t>(Volume->FreeStart), Bytes.end(),
                   [Volume](uint8_t Byte) { return Byte != Volume->EraseByte; });
  Volume->DirtyAt = Dirty == Bytes.end() ? 0 : static_cast<uint64_t>(Dirty - Bytes.begin());
  return true;
}

} // namespace

bool ParseVolume(ByteView Space, uint64_t Offset, uint64_t Room, const Trail *Where,
                 ParseBudget *Budget, FvVolume *Volume, std::string *Error) {
  const Trail Here{Where, "volume", Offset};
  const Descent Step(Budget);
  if (Step.TooDeep()) {
    return Fail(Error,
                Here.Text() + ": nested deeper than " + std::to_string(MAX_NESTING) + " levels");
  }
  std::string Reason;
  FvVolume Read;
  if (!ReadVolumeHeader(Space, Offset, Room, &Read, &Reason)) {
    return Fail(Error, Here.Text() + ": " + Reason);
  }
  if (Read.HoldsFiles && !ParseFiles(Here, Budget, &Read, Error)) {
    return false;
  }
  *Volume = std::move(Read);
  return true;
}

bool ParseFirmwareImage(ByteView Bytes, FirmwareImage *Image, std::string *Error) {
  FirmwareImage Read;
  Read.Bytes = Bytes;
  ParseBudget Budget;
  uint32_t Signature = 0;
  for (uint64_t Offset = 0; Offset < Bytes.size(); Offset += FILE_ALIGNMENT) {
    if (!ReadStruct(Bytes, Offset + SIGNATURE_AT, &Signature) || Signature != EFI_FVH_SIGNATURE) {
      continue;
    }
    FvVolume Volume;
    if (!ParseVolume(Bytes, Offset, Bytes.size() - Offset, nullptr, &Budget, &Volume, Error)) {
      return false;
    }
    Offset = AlignUp(Offset + Volume.Bytes.size(), FILE_ALIGNMENT) - FILE_ALIGNMENT;
    Read.Volumes.push_back(std::move(Volume));
  }
  if (Read.Volumes.empty()) {
    return Fail(Error, "not a firmware image: no volume signature \"_FVH\" on any 8-byte boundary");
  }
  *Image = std::move(Read);
  return true;
}

bool ParseFfsFile(ByteView Bytes, FvFile *File, std::string *Error) {
  EFI_FFS_FILE_HEADER Header{};
  if (!ReadStruct(Bytes, 0, &Header)) {
    return Fail(Error, "FFS file of " + std::to_string(Bytes.size()) +
                           " bytes is shorter than a 24-byte file header");
  }
  // A file standing alone may be written for either erase polarity.
  const uint8_t EraseByte = FileIsLive(FileStateBit(Header.State, 0xFF)) ? 0xFF : 0x00;
  ParseBudget Budget;
  const Trail Where{nullptr, "FFS file", 0, false};
  FvFile Read;
  if (!ParseFile(Bytes, 0, true, EraseByte, Where, &Budget, &Read, Error)) {
    return false;
  }
  if (!FileIsLive(Read.StateBit)) {
    return Fail(Error, "FFS file: state " + Hex(Header.State, 2) + " does not mark valid data");
  }
  if (Read.Bytes.size() != Bytes.size()) {
    return Fail(Error, "FFS file: its header gives " + Hex(Read.Bytes.size()) +
                           " bytes, the file has " + Hex(Bytes.size()));
  }
  *File = std::move(Read);
  return true;
}
