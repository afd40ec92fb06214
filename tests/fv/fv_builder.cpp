#include "fv_builder.h"

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "firmware_tree.h"
#include "fv_format.h"
#include "fv_insert.h"
#include "lzma_codec.h"
#include "pe_format.h"
#include "peim_file.h"
#include "struct_io.h"
#include "te_builder.h"

using namespace fv;

namespace fv_test {

namespace {

uint8_t Sum(ByteView Part) {
  uint8_t Total = 0;
  for (const uint8_t Byte : Part) {
    Total = static_cast<uint8_t>(Total + Byte);
  }
  return Total;
}

void Append(Bytes *To, ByteView More) {
  To->insert(To->end(), More.begin(), More.end());
}

void PutSize(uint8_t (&Size)[3], uint64_t Value) {
  Size[0] = static_cast<uint8_t>(Value);
  Size[1] = static_cast<uint8_t>(Value >> 8);
  Size[2] = static_cast<uint8_t>(Value >> 16);
}

// The UTF-16 text of Name and its NUL.
Bytes Utf16(const std::string &Name) {
  Bytes Text;
  for (const char Character : Name + '\0') {
    Text.push_back(static_cast<uint8_t>(Character));
    Text.push_back(0);
  }
  return Text;
}

// A PE32 image of headers only: MS-DOS header, signature, file header, optional header.
Bytes PeImage(uint32_t ImageBase) {
  Bytes Image;
  pe::IMAGE_DOS_HEADER Dos{};
  Dos.e_magic = pe::IMAGE_DOS_SIGNATURE;
  Dos.e_lfanew = sizeof(Dos);
  PutStruct(&Image, 0, Dos);
  PutStruct(&Image, Image.size(), pe::IMAGE_NT_SIGNATURE);
  pe::IMAGE_FILE_HEADER File{};
  File.Machine = pe::IMAGE_FILE_MACHINE_I386;
  File.SizeOfOptionalHeader = sizeof(pe::IMAGE_OPTIONAL_HEADER32);
  PutStruct(&Image, Image.size(), File);
  pe::IMAGE_OPTIONAL_HEADER32 Optional{};
  Optional.Magic = pe::IMAGE_NT_OPTIONAL_HDR32_MAGIC;
  Optional.ImageBase = ImageBase;
  PutStruct(&Image, Image.size(), Optional);
  return Image;
}

} // namespace

Bytes Section(uint8_t Type, ByteView Content) {
  EFI_COMMON_SECTION_HEADER Header{};
  PutSize(Header.Size, sizeof(Header) + Content.size());
  Header.Type = Type;
  Bytes Out;
  PutStruct(&Out, 0, Header);
  Append(&Out, Content);
  return Out;
}

Bytes GuidSection(const EFI_GUID &Guid, uint16_t Attributes, ByteView Content) {
  EFI_GUID_DEFINED_SECTION Header{};
  PutSize(Header.CommonHeader.Size, sizeof(Header) + Content.size());
  Header.CommonHeader.Type = EFI_SECTION_GUID_DEFINED;
  Header.SectionDefinitionGuid = Guid;
  Header.DataOffset = sizeof(Header);
  Header.Attributes = Attributes;
  Bytes Out;
  PutStruct(&Out, 0, Header);
  Append(&Out, Content);
  return Out;
}

Bytes SectionList(const std::vector<Bytes> &Sections) {
  Bytes List;
  for (const Bytes &One : Sections) {
    List.resize((List.size() + 3) & ~size_t{3}, 0);
    Append(&List, One);
  }
  return List;
}

Bytes File(const EFI_GUID &Name, uint8_t Type, uint8_t Attributes, ByteView Data,
           uint8_t EraseByte) {
  EFI_FFS_FILE_HEADER Header{};
  Header.Name = Name;
  Header.Type = Type;
  Header.Attributes = Attributes;
  PutSize(Header.Size, sizeof(Header) + Data.size());
  Bytes Out;
  PutStruct(&Out, 0, Header);
  Header.IntegrityCheck.Checksum.Header = static_cast<uint8_t>(0 - Sum(Out));
  Header.IntegrityCheck.Checksum.File =
      (Attributes & FFS_ATTRIB_CHECKSUM) != 0 ? static_cast<uint8_t>(0 - Sum(Data)) : 0xAA;
  Header.State = EraseByte == 0xFF ? 0xF8 : 0x07;
  PutStruct(&Out, 0, Header);
  Append(&Out, Data);
  return Out;
}

Bytes Volume(uint64_t Length, uint32_t Name, const std::vector<FileAt> &Files, uint8_t EraseByte,
             bool Ffs3) {
  Bytes Out(Length, EraseByte);
  EFI_FIRMWARE_VOLUME_HEADER Header{};
  Header.FileSystemGuid = Ffs3 ? EFI_FIRMWARE_FILE_SYSTEM3_GUID : EFI_FIRMWARE_FILE_SYSTEM2_GUID;
  Header.FvLength = Length;
  Header.Signature = EFI_FVH_SIGNATURE;
  Header.Attributes = EraseByte == 0xFF ? 0x0004FEFF : 0x0004F6FF;
  Header.HeaderLength = sizeof(Header) + 2 * sizeof(EFI_FV_BLOCK_MAP_ENTRY);
  Header.ExtHeaderOffset = Header.HeaderLength;
  Header.Revision = 2;
  PutStruct(&Out, 0, Header);
  PutStruct(&Out, sizeof(Header), EFI_FV_BLOCK_MAP_ENTRY{1, static_cast<uint32_t>(Length)});
  PutStruct(&Out, sizeof(Header) + sizeof(EFI_FV_BLOCK_MAP_ENTRY), EFI_FV_BLOCK_MAP_ENTRY{0, 0});
  PutStruct(&Out, Header.ExtHeaderOffset,
            EFI_FIRMWARE_VOLUME_EXT_HEADER{Guid(Name), sizeof(EFI_FIRMWARE_VOLUME_EXT_HEADER)});
  uint16_t Total = 0;
  for (size_t At = 0; At < Header.HeaderLength; At += 2) {
    Total = static_cast<uint16_t>(Total + (Out[At] | (Out[At + 1] << 8)));
  }
  Header.Checksum = static_cast<uint16_t>(0 - Total);
  PutStruct(&Out, 0, Header);
  uint64_t Offset = FILES_START;
  for (const FileAt &Make : Files) {
    const Bytes One = Make(Offset);
    std::memcpy(Out.data() + Offset, One.data(), One.size());
    Offset = (Offset + One.size() + 7) & ~uint64_t{7};
  }
  return Out;
}

FileAt Fixed(const Bytes &File) {
  return [File](uint64_t) { return File; };
}

FileAt PeiCore(uint64_t Base, uint8_t EraseByte) {
  return [Base, EraseByte](uint64_t Offset) {
    const uint64_t Image = Offset + sizeof(EFI_FFS_FILE_HEADER) + sizeof(EFI_COMMON_SECTION_HEADER);
    const Bytes Data =
        SectionList({Section(EFI_SECTION_PE32, PeImage(static_cast<uint32_t>(Base + Image))),
                     Section(EFI_SECTION_USER_INTERFACE, Utf16("PeiCore"))});
    return File(Guid(0xC0DE), EFI_FV_FILETYPE_PEI_CORE, 0, Data, EraseByte);
  };
}

FileAt TePeim(uint32_t Name, uint64_t Base, uint8_t EraseByte) {
  return [Name, Base, EraseByte](uint64_t Offset) {
    constexpr uint16_t STRIPPED = 0x100;
    const uint64_t Header =
        Offset + sizeof(EFI_FFS_FILE_HEADER) + sizeof(EFI_COMMON_SECTION_HEADER);
    pe::EFI_TE_IMAGE_HEADER Te{};
    Te.Signature = pe::EFI_TE_IMAGE_HEADER_SIGNATURE;
    Te.Machine = pe::IMAGE_FILE_MACHINE_I386;
    Te.StrippedSize = STRIPPED;
    Te.ImageBase = Base + Header - (STRIPPED - sizeof(Te));
    Bytes Image;
    PutStruct(&Image, 0, Te);
    return File(Guid(Name), EFI_FV_FILETYPE_PEIM, FFS_ATTRIB_CHECKSUM,
                Section(EFI_SECTION_TE, Image), EraseByte);
  };
}

Bytes AprioriFile(const std::vector<EFI_GUID> &Names) {
  constexpr EFI_GUID APRIORI = {
      0x1B45CC0A, 0x156A, 0x428A, {0xAF, 0x62, 0x49, 0x86, 0x4D, 0xA0, 0xE6, 0xE6}};
  Bytes List;
  for (const EFI_GUID &Name : Names) {
    PutStruct(&List, List.size(), Name);
  }
  return File(APRIORI, EFI_FV_FILETYPE_FREEFORM, 0, Section(EFI_SECTION_RAW, List));
}

Bytes PadFile(uint64_t Size, uint8_t EraseByte) {
  const EFI_GUID Pad = {
      0xFFFFFFFF, 0xFFFF, 0xFFFF, {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}};
  return File(Pad, EFI_FV_FILETYPE_FFS_PAD, 0, Bytes(Size - sizeof(EFI_FFS_FILE_HEADER), EraseByte),
              EraseByte);
}

std::vector<Bytes> InnerWithApriori(uint64_t PadSize) {
  std::vector<Bytes> Inner = UsualInner();
  std::vector<FileAt> Files = {Fixed(AprioriFile({Guid(0x7E)}))};
  if (PadSize != 0) {
    Files.push_back(Fixed(PadFile(PadSize)));
  }
  Files.push_back(PeiCore(PEI_BASE));
  Files.push_back(TePeim(0x7E, PEI_BASE));
  Inner[1] = VolumeSection(Volume(0x4000, 0x9E1, Files));
  return Inner;
}

Bytes VolumeSection(const Bytes &Volume) {
  return Section(EFI_SECTION_FIRMWARE_VOLUME_IMAGE, Volume);
}

Bytes PeiVolume(uint64_t Length, uint8_t EraseByte) {
  return Volume(Length, 0x9E1, {PeiCore(PEI_BASE, EraseByte), TePeim(0x7E, PEI_BASE, EraseByte)},
                EraseByte);
}

std::vector<Bytes> UsualInner(uint64_t PeiLength, uint8_t EraseByte) {
  const Bytes Driver =
      File(Guid(0xD0), 0x07, 0, Section(EFI_SECTION_RAW, Bytes(16, 0x5A)), EraseByte);
  const Bytes Dxe = Volume(0x1000, 0xD1E, {Fixed(Driver)}, EraseByte);
  // The raw section puts the PEI volume at offset 0x80 of the decoded data, as OVMF's does.
  return {Section(EFI_SECTION_RAW, Bytes(0x78, 0)), VolumeSection(PeiVolume(PeiLength, EraseByte)),
          VolumeSection(Dxe)};
}

Bytes Firmware(const FirmwareSpec &Spec) {
  const Bytes Decoded = SectionList(Spec.Inner);
  Bytes Stream;
  std::string Error;
  if (!LzmaEncode(Decoded, LzmaHeader{0x5D, 1u << 16, 0}, &Stream, &Error)) {
    return {};
  }
  if (Spec.EditStream) {
    Spec.EditStream(&Stream);
  }
  const Bytes Compressed =
      GuidSection(LZMA_CUSTOM_DECOMPRESS_GUID, EFI_GUIDED_SECTION_PROCESSING_REQUIRED, Stream);
  const uint8_t Erase = Spec.EraseByte;
  const Bytes Holder =
      File(Guid(0x0B), EFI_FV_FILETYPE_FIRMWARE_VOLUME_IMAGE, 0, Compressed, Erase);
  const Bytes Raw = File(Guid(0x5EC), EFI_FV_FILETYPE_RAW, 0, Bytes(40, 0x90), Erase);
  std::vector<FileAt> Files = {Fixed(Holder)};
  if (Spec.FileAfter && Spec.PadAfter != 0) {
    Files.push_back(Fixed(PadFile(Spec.PadAfter, Erase)));
  }
  if (Spec.FileAfter) {
    Files.push_back(Fixed(Raw));
  }
  Bytes Image = Volume(Spec.Outer, 1, Files, Erase);
  Append(&Image, Volume(0x1000, 2, {Fixed(Raw)}, Erase));
  return Image;
}

Bytes ModuleTe() {
  TestImage Image;
  uint32_t Seed = 0x2545F491; // xorshift: bytes LZMA cannot shorten
  for (int Index = 0; Index < 0x200; ++Index) {
    Seed ^= Seed << 13;
    Seed ^= Seed >> 17;
    Seed ^= Seed << 5;
    Image.Code.push_back(static_cast<uint8_t>(Seed));
  }
  for (const uint32_t Site : MODULE_SITES) {
    PutU32(Image.Code, Site, LinkedAddress(Site / 2));
    Image.Relocated.push_back(Site);
  }
  return BuildTe(Image);
}

Bytes ModuleFfs() {
  Bytes File;
  std::string Error;
  if (!BuildPeimFile(ModuleTe(), OEMCOM_FILE_GUID, OEMCOM_FILE_NAME, &File, &Error)) {
    return {};
  }
  return File;
}

uint64_t OuterFileEnd(const FirmwareSpec &Spec, bool Inserted) {
  FirmwareImage Image;
  FirmwareImage After;
  PeimFile Peim;
  Bytes Grown;
  std::string Report;
  std::string Error;
  const Bytes Module = ModuleFfs();
  const Bytes Before = Firmware(Spec);
  if (!ParseFirmwareImage(Before, &Image, &Error)) {
    return 0;
  }
  if (Inserted &&
      (!ReadPeimFile(Module, &Peim, &Error) ||
       InsertPeim(Image, Peim, InsertOptions{}, &Grown, &Report, &Error) != EditOutcome::Done ||
       !ParseFirmwareImage(Grown, &After, &Error))) {
    return 0;
  }
  const FvFile &Holder = (Inserted ? After : Image).Volumes[0].Files[0];
  return (Holder.Offset + Holder.Bytes.size() + 7) & ~uint64_t{7};
}

FirmwareSpec GapAfterGrownFile(uint64_t Slack) {
  FirmwareSpec Spec;
  Spec.FileAfter = true;
  Spec.PadAfter = 0x4000;
  Spec.PadAfter = OuterFileEnd(Spec, true) + Slack - OuterFileEnd(Spec, false);
  return Spec;
}

void ResizeFile(Bytes *Image, uint64_t Offset, uint32_t Size) {
  EFI_FFS_FILE_HEADER Header{};
  if (!ReadStruct(*Image, Offset, &Header)) {
    return;
  }
  PutSize(Header.Size, Size);
  const uint8_t State = Header.State;
  const uint8_t Data = Header.IntegrityCheck.Checksum.File;
  Header.State = 0;
  Header.IntegrityCheck.Checksum.File = 0;
  Header.IntegrityCheck.Checksum.Header = 0;
  Bytes Copy;
  PutStruct(&Copy, 0, Header);
  Header.IntegrityCheck.Checksum.Header = static_cast<uint8_t>(0 - Sum(Copy));
  Header.IntegrityCheck.Checksum.File = Data;
  Header.State = State;
  PutStruct(Image, Offset, Header);
}

} // namespace fv_test
