// fv-tool insert's refusals, one case a line: each is one line on stderr naming the input at
// fault, exit status 1, and OUT neither created nor, when it exists, changed.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "firmware_tree.h"
#include "fv_builder.h"
#include "fv_format.h"
#include "lzma_codec.h"
#include "pe_format.h"
#include "peim_file.h"
#include "struct_io.h"
#include "te_builder.h"
#include "tool_folder.h"

namespace {

using namespace fv_test;
using fv::EFI_GUID;

// The GUIDs of two encodings fv-tool does not re-encode.
constexpr EFI_GUID CRC32_GUID = {
    0xFC1BCDB0, 0x7D31, 0x49AA, {0x93, 0x6A, 0xA4, 0x60, 0x0D, 0x9D, 0xD0, 0x83}};
constexpr EFI_GUID BROTLI_GUID = {
    0x3D532050, 0x5CDA, 0x4FD0, {0x87, 0x9E, 0x0F, 0x7F, 0x63, 0x0D, 0x5A, 0xFB}};

// The TE header's base relocation directory (entry 0): its RVA, then its size.
constexpr size_t TE_AT_RELOC_DIRECTORY = offsetof(pe::EFI_TE_IMAGE_HEADER, DataDirectory);

Bytes Changed(Bytes Image, const std::function<void(Bytes *)> &Change) {
  Change(&Image);
  return Image;
}

Bytes WithInner(const std::vector<Bytes> &Inner) {
  FirmwareSpec Spec;
  Spec.Inner = Inner;
  return Firmware(Spec);
}

// The usual decoded sections with the PEI volume wrapped by Wrap.
Bytes WithPeiWrapped(const std::function<Bytes(const Bytes &)> &Wrap) {
  std::vector<Bytes> Inner = UsualInner();
  Inner[1] = Wrap(Inner[1]);
  return WithInner(Inner);
}

Bytes WithPei(const std::vector<FileAt> &Files, uint64_t Length = 0x4000) {
  std::vector<Bytes> Inner = UsualInner();
  Inner[1] = VolumeSection(Volume(Length, 0x9E1, Files));
  return WithInner(Inner);
}

Bytes WithStream(const std::function<void(Bytes *)> &Edit) {
  FirmwareSpec Spec;
  Spec.EditStream = Edit;
  return Firmware(Spec);
}

// An EFI compression section, not compressed, around Content.
Bytes NotCompressed(const Bytes &Content) {
  Bytes Header(5, 0);
  PutStruct(&Header, 0, static_cast<uint32_t>(Content.size()));
  Header.insert(Header.end(), Content.begin(), Content.end());
  return Section(fv::EFI_SECTION_COMPRESSION, Header);
}

Bytes ModuleFile(uint8_t Type, const Bytes &Data) {
  return File(OEMCOM_FILE_GUID, Type, 0, Data);
}

// Firmware images, each one change away from the usual one (fv_builder.h).
Bytes Usual() {
  return Firmware();
}
Bytes NotFirmware() {
  return Bytes(0x1000, 0x5A);
}
Bytes VolumeHeaderChanged() {
  return Changed(Firmware(), [](Bytes *Image) { (*Image)[0x2C] ^= 1; });
}
Bytes VolumePastImage() {
  return Changed(Firmware(), [](Bytes *Image) { PutStruct(Image, 0x20, uint64_t{0x20000}); });
}
Bytes FilePastVolume() {
  return Changed(Firmware(), [](Bytes *Image) { ResizeFile(Image, OUTER_FILE, 0xFFF0); });
}
Bytes SectionPastFile() {
  return Changed(Firmware(), [](Bytes *Image) { (*Image)[OUTER_SECTION + 2] = 1; });
}
Bytes FileHeaderChanged() {
  return Changed(Firmware(), [](Bytes *Image) { (*Image)[OUTER_FILE + 16] ^= 1; });
}
Bytes PeimDataChanged() {
  return WithPeiWrapped([](const Bytes &Section) {
    return Changed(Section, [](Bytes *Volume) { (*Volume)[4 + TE_PEIM_FILE + 0x30] ^= 1; });
  });
}
Bytes LzmaWithoutSize() {
  return WithStream([](Bytes *Stream) { PutStruct(Stream, 5, UINT64_MAX); });
}
Bytes LzmaCut() {
  return WithStream([](Bytes *Stream) { Stream->resize(Stream->size() / 2); });
}
Bytes NoPeiCore() {
  return WithPei({TePeim(0x7E, PEI_BASE)});
}
Bytes PeiUnderBrotli() {
  return WithPeiWrapped([](const Bytes &Pei) {
    return GuidSection(BROTLI_GUID, fv::EFI_GUIDED_SECTION_PROCESSING_REQUIRED, Pei);
  });
}
Bytes TwoPeiCores() {
  std::vector<Bytes> Inner = UsualInner();
  Inner.push_back(Inner[1]);
  return WithInner(Inner);
}
Bytes PeiUnderEfiCompression() {
  return WithPeiWrapped(NotCompressed);
}
Bytes PeiUnderCrc32() {
  return WithPeiWrapped([](const Bytes &Pei) {
    return GuidSection(CRC32_GUID, fv::EFI_GUIDED_SECTION_AUTH_STATUS_VALID, Pei);
  });
}
Bytes ModuleAlreadyThere() {
  const Bytes Module = ModuleFile(fv::EFI_FV_FILETYPE_PEIM, Bytes());
  return WithPei({PeiCore(PEI_BASE), Fixed(Module)});
}
Bytes NoImageForBase() {
  const Bytes Raw = Section(fv::EFI_SECTION_RAW, Bytes(8, 0));
  return WithPei({Fixed(File(Guid(0xC0DE), fv::EFI_FV_FILETYPE_PEI_CORE, 0, Raw))});
}
Bytes ImagesDisagree() {
  return WithPei({PeiCore(PEI_BASE), TePeim(0x7E, PEI_BASE + 0x1000)});
}
Bytes SmallPeiVolume() {
  return WithPei({PeiCore(PEI_BASE), TePeim(0x7E, PEI_BASE)}, 0x400);
}
Bytes FileAfterLzmaFile() {
  FirmwareSpec Spec;
  Spec.FileAfter = true;
  return Firmware(Spec);
}

Bytes PeiCoreForX64() {
  const FileAt Core = [](uint64_t Offset) {
    Bytes Core = PeiCore(PEI_BASE)(Offset);
    // The PE32 image's machine: after the file and section headers, the MS-DOS header (0x40
    // bytes) and the signature; the file's data carries no checksum.
    PutStruct(&Core, 24 + 4 + 0x40 + 4, uint16_t{0x8664});
    return Core;
  };
  return WithPei({Core, TePeim(0x7E, PEI_BASE)});
}
Bytes UnfinishedFileBeforeFreeSpace() {
  Bytes Unfinished = File(Guid(0x0F), fv::EFI_FV_FILETYPE_RAW, 0, Bytes(8, 1));
  Unfinished[23] = 0xFC; // State: header valid, data not
  return WithPei({PeiCore(PEI_BASE), TePeim(0x7E, PEI_BASE), Fixed(Unfinished)});
}
// Free space of the outer volume with a byte that is not erased 8 bytes past where the LZMA
// section's file, grown, would end: the file itself fits, but a reader would take the 24 bytes
// from its end for a file header.
Bytes DirtyFreeSpaceAfterGrowingFile() {
  const FirmwareSpec Spec;
  const uint64_t Dirty = OuterFileEnd(Spec, true) + 8;
  return Changed(Firmware(Spec), [Dirty](Bytes *Image) { (*Image)[Dirty] = 0x00; });
}
// The LZMA section's file grows to end 8 bytes before the next file: too little for a pad file.
Bytes TooSmallForPadAfterGrownFile() {
  return Firmware(GapAfterGrownFile(8));
}
Bytes WithAprioriVolume(const std::vector<FileAt> &Files) {
  return WithPei(Files);
}
Bytes NoPadAfterApriori() {
  return WithInner(InnerWithApriori(0));
}
Bytes AprioriListsTheModule() {
  return WithAprioriVolume({Fixed(AprioriFile({OEMCOM_FILE_GUID})), Fixed(PadFile(0x40)),
                            PeiCore(PEI_BASE), TePeim(0x7E, PEI_BASE)});
}
Bytes AprioriLast() {
  return WithAprioriVolume({PeiCore(PEI_BASE), TePeim(0x7E, PEI_BASE), Fixed(AprioriFile({}))});
}
Bytes AprioriOfHalfAGuid() {
  constexpr fv::EFI_GUID APRIORI = {
      0x1B45CC0A, 0x156A, 0x428A, {0xAF, 0x62, 0x49, 0x86, 0x4D, 0xA0, 0xE6, 0xE6}};
  const Bytes Half =
      File(APRIORI, fv::EFI_FV_FILETYPE_FREEFORM, 0, Section(fv::EFI_SECTION_RAW, Bytes(8, 0x11)));
  return WithAprioriVolume({Fixed(Half), Fixed(PadFile(0x40)), PeiCore(PEI_BASE)});
}
// The outer LZMA section decodes to 2 MiB of zeros and an LZMA section whose header claims
// 255 MiB: within the 256 MiB an image may decode to alone, past it with the 2 MiB before.
Bytes TwoLzmaSectionsPastTheBudget() {
  Bytes Stream;
  std::string Error;
  if (!LzmaEncode(Bytes(16, 0), LzmaHeader{0x5D, 1u << 16, 0}, &Stream, &Error)) {
    return {};
  }
  PutStruct(&Stream, 5, uint64_t{255u << 20});
  std::vector<Bytes> Inner = UsualInner();
  Inner.push_back(Section(fv::EFI_SECTION_RAW, Bytes(2u << 20, 0)));
  Inner.push_back(GuidSection(fv::LZMA_CUSTOM_DECOMPRESS_GUID,
                              fv::EFI_GUIDED_SECTION_PROCESSING_REQUIRED, Stream));
  return WithInner(Inner);
}
// Volume image sections nested one deeper than a reader follows.
Bytes NestedTooDeep() {
  Bytes Inner = PeiVolume();
  for (int Level = 0; Level < 40; ++Level) {
    Inner = Volume(Inner.size() + 0x100, 0x900 + Level,
                   {Fixed(File(Guid(0x900 + Level), fv::EFI_FV_FILETYPE_FIRMWARE_VOLUME_IMAGE, 0,
                               VolumeSection(Inner)))});
  }
  return WithInner({VolumeSection(Inner)});
}

// FFS files, each one change away from the module's.
Bytes FfsTooShort() {
  return Bytes(20, 0);
}
Bytes FfsHeaderChanged() {
  return Changed(ModuleFfs(), [](Bytes *File) { (*File)[16] ^= 1; });
}
Bytes FfsDataChanged() {
  return Changed(ModuleFfs(), [](Bytes *File) { File->back() ^= 1; });
}
Bytes FfsLonger() {
  return Changed(ModuleFfs(), [](Bytes *File) { File->resize(File->size() + 8); });
}
Bytes FfsSectionPastFile() {
  const Bytes Header = {0x40, 0, 0, fv::EFI_SECTION_RAW};
  return ModuleFile(fv::EFI_FV_FILETYPE_PEIM, Header);
}
Bytes FfsNotAPeim() {
  return ModuleFile(0x07, Section(fv::EFI_SECTION_TE, ModuleTe()));
}
Bytes FfsWithoutTe() {
  return ModuleFile(fv::EFI_FV_FILETYPE_PEIM, Section(fv::EFI_SECTION_RAW, Bytes(2, 1)));
}
Bytes FfsTeTooShort() {
  return ModuleFile(fv::EFI_FV_FILETYPE_PEIM, Section(fv::EFI_SECTION_TE, Bytes(10, 0)));
}

// The module's file around ModuleTe with one change.
Bytes ModuleFfsWith(const std::function<void(Bytes *)> &Change,
                    const EFI_GUID &Name = OEMCOM_FILE_GUID) {
  Bytes File;
  std::string Error;
  return BuildPeimFile(Changed(ModuleTe(), Change), Name, OEMCOM_FILE_NAME, &File, &Error)
             ? File
             : Bytes();
}
Bytes TeForX64() {
  return ModuleFfsWith([](Bytes *Te) { PutU16(*Te, TE_AT_MACHINE, 0x8664); });
}
Bytes TeEntryOutside() {
  return ModuleFfsWith([](Bytes *Te) { PutU32(*Te, TE_AT_ENTRY, 0x10000); });
}
Bytes TeTextOffItsRva() {
  return ModuleFfsWith([](Bytes *Te) {
    PutU32(*Te, TE_AT_SECTIONS + SECTION_AT_RAW_POINTER, TEST_TEXT_RVA + 0x20);
  });
}
Bytes TeWithoutRelocations() {
  return ModuleFfsWith([](Bytes *Te) { PutU32(*Te, TE_AT_RELOC_DIRECTORY + 4, 0); });
}
// The first relocation of .reloc made type 10 (DIR64): after the 8-byte block header.
Bytes TeRelocationDir64() {
  return ModuleFfsWith([](Bytes *Te) {
    const size_t Reloc = TE_AT_SECTIONS + sizeof(pe::IMAGE_SECTION_HEADER);
    uint32_t Raw = 0;
    if (ReadStruct(*Te, Reloc + SECTION_AT_RAW_POINTER, &Raw)) {
      const size_t Entry = Raw - (TEST_STRIPPED_SIZE - 40) + 8;
      (*Te)[Entry + 1] = static_cast<uint8_t>(((*Te)[Entry + 1] & 0x0F) | 0xA0);
    }
  });
}
// The module's file grown by a raw section to 0xffffff bytes, the largest size an FFS2 volume's
// 24-byte header can give.
Bytes FfsOfTheLargestFfs2Size() {
  const Bytes Module = ModuleFfs();
  Bytes Data(Module.begin() + sizeof(fv::EFI_FFS_FILE_HEADER), Module.end());
  Data.resize((Data.size() + 3) & ~size_t{3}, 0);
  const size_t Raw = 0xFFFFFF - sizeof(fv::EFI_FFS_FILE_HEADER) - Data.size();
  const Bytes Padding = Section(fv::EFI_SECTION_RAW, Bytes(Raw - 4, 0));
  Data.insert(Data.end(), Padding.begin(), Padding.end());
  return File(OEMCOM_FILE_GUID, fv::EFI_FV_FILETYPE_PEIM, Module[0x13], Data);
}
Bytes FfsNamedLikePeiCore() {
  return ModuleFfsWith([](Bytes *) {}, Guid(0xC0DE));
}
Bytes FfsNamedLikeDxeDriver() {
  return ModuleFfsWith([](Bytes *) {}, Guid(0xD0));
}

struct Refusal {
  const char *Name;
  Bytes (*Firmware)();
  Bytes (*Ffs)();
  std::vector<std::string> Options;
  const char *Blamed;             // the input the message names: "fw.fd" or "module.ffs"
  std::string Message;            // what follows its path
  const char *Command = "insert"; // remove and extract take Options[0] as the GUID
};

const std::string PEI = "volume 000009e1-1111-2222-3344-5566778899aa";
const std::string LZMA_FILE = "volume at 0x0 > file at 0x60 > section at 0x78";

// Name | firmware | FFS file | options | the input blamed | the message after its path. One case
// per line.
// clang-format off
const Refusal REFUSALS[] = {
    {"NotAFirmwareImage", NotFirmware, ModuleFfs, {}, "fw.fd", "not a firmware image: no volume signature \"_FVH\" on any 8-byte boundary"},
    {"VolumeHeaderChecksum", VolumeHeaderChanged, ModuleFfs, {}, "fw.fd", "volume at 0x0: header checksum 0x"},
    {"VolumePastImage", VolumePastImage, ModuleFfs, {}, "fw.fd", "volume at 0x0: FvLength 0x20000 runs past its container (0x11000 bytes left)"},
    {"FilePastVolume", FilePastVolume, ModuleFfs, {}, "fw.fd", "volume at 0x0 > file at 0x60: size 0xfff0 runs past the end of its volume (0xffa0 bytes left)"},
    {"SectionPastFile", SectionPastFile, ModuleFfs, {}, "fw.fd", LZMA_FILE + ": size 0x1"},
    {"FileHeaderChecksum", FileHeaderChanged, ModuleFfs, {}, "fw.fd", "volume at 0x0 > file at 0x60: header checksum 0x"},
    {"FileDataChecksum", PeimDataChanged, ModuleFfs, {}, "fw.fd", LZMA_FILE + " > LZMA data > section at 0x7c > volume at 0x80 > file at 0x148: data checksum 0x"},
    {"LzmaWithoutSize", LzmaWithoutSize, ModuleFfs, {}, "fw.fd", LZMA_FILE + ": LZMA header gives no uncompressed size, which the firmware needs"},
    {"LzmaCut", LzmaCut, ModuleFfs, {}, "fw.fd", LZMA_FILE + ": LZMA stream: the stream ends early after "},
    {"NoPeiCore", NoPeiCore, ModuleFfs, {}, "fw.fd", "no volume holds a PEI core (file type 0x04)"},
    {"PeiCoreUnderUnknownEncoding", PeiUnderBrotli, ModuleFfs, {}, "fw.fd", "no volume holds a PEI core (file type 0x04); not looked into: a GUID-defined section 3d532050-5cda-4fd0-879e-0f7f630d5afb (Brotli) in file 0000000b-1111-2222-3344-5566778899aa at 0x60"},
    {"TwoPeiCores", TwoPeiCores, ModuleFfs, {}, "fw.fd", "2 volumes hold a PEI core, not one: " + PEI},
    {"EfiCompressionAround", PeiUnderEfiCompression, ModuleFfs, {}, "fw.fd", "cannot re-encode the EFI compression section (type 0x01, not compressed) at 0x7c in file"},
    {"Crc32SectionAround", PeiUnderCrc32, ModuleFfs, {}, "fw.fd", "cannot re-encode the GUID-defined section fc1bcdb0-7d31-49aa-936a-a4600d9dd083 (CRC32) at 0x7c in file"},
    {"AlreadyThere", ModuleAlreadyThere, ModuleFfs, {}, "fw.fd", PEI + " already holds file 56f26cba-0844-463d-87ba-395d00c5c762 at 0x148; give --replace to swap it"},
    {"NoImageForBase", NoImageForBase, ModuleFfs, {}, "fw.fd", PEI + " holds no PE32 or TE image to take its execute-in-place base from; give --base ADDR"},
    {"ImagesDisagree", ImagesDisagree, ModuleFfs, {}, "fw.fd", "the images of " + PEI + " disagree on its base: 0x820000 (file 0000c0de-1111-2222-3344-5566778899aa at 0x60) and 0x821000 (file 0000007e-1111-2222-3344-5566778899aa at 0x148); give --base ADDR"},
    {"BaseOffAlignment", NoImageForBase, ModuleFfs, {"--base", "0x820010"}, "fw.fd", PEI + ": no offset within 0x118 bytes of free space at 0x"},
    {"NoRoomInPeiVolume", SmallPeiVolume, ModuleFfs, {}, "fw.fd", PEI + ": no room: the file needs 0x"},
    {"NoRoomForGrownFile", FileAfterLzmaFile, ModuleFfs, {}, "fw.fd", "volume 00000001-1111-2222-3344-5566778899aa: no room: file 0000000b-1111-2222-3344-5566778899aa at 0x60 grows from 0x"},
    {"FfsTooShort", Usual, FfsTooShort, {}, "module.ffs", "FFS file of 20 bytes is shorter than a 24-byte file header"},
    {"FfsHeaderChecksum", Usual, FfsHeaderChanged, {}, "module.ffs", "FFS file: header checksum 0x"},
    {"FfsDataChecksum", Usual, FfsDataChanged, {}, "module.ffs", "FFS file: data checksum 0x"},
    {"FfsLongerThanItsSize", Usual, FfsLonger, {}, "module.ffs", "FFS file: its header gives 0x"},
    {"FfsSectionPastFile", Usual, FfsSectionPastFile, {}, "module.ffs", "FFS file > section at 0x18: size 0x40 runs past its container (0x4 bytes left)"},
    {"FfsNotAPeim", Usual, FfsNotAPeim, {}, "module.ffs", "FFS file: type 0x07 (DXE driver), not a PEIM (0x06)"},
    {"FfsWithoutTe", Usual, FfsWithoutTe, {}, "module.ffs", "FFS file holds 0 TE sections directly, not 1"},
    {"FfsTeTooShort", Usual, FfsTeTooShort, {}, "module.ffs", "FFS file: TE section at 0x18: file is 10 bytes, shorter than the 40-byte TE header"},
    {"PeiCoreForAnotherMachine", PeiCoreForX64, ModuleFfs, {}, "fw.fd", "the PEI core of " + PEI + " is for machine 0x8664 (x64), the module for 0x14c (IA-32): the PEI core would never run it"},
    {"TeForAnotherMachine", Usual, TeForX64, {}, "module.ffs", "FFS file: TE section at 0x24: machine 0x8664 (x64) is not IA-32 (0x014c)"},
    {"TeEntryOutsideTheImage", Usual, TeEntryOutside, {}, "module.ffs", "FFS file: TE section at 0x24: entry point 0x10000 is outside .text"},
    {"TeTextOffItsRva", Usual, TeTextOffItsRva, {}, "module.ffs", "FFS file: TE section at 0x24: section .text: PointerToRawData 0x220 differs from VirtualAddress 0x200"},
    {"TeWithoutRelocationDirectory", Usual, TeWithoutRelocations, {}, "module.ffs", "FFS file: TE section at 0x24: relocation directory 0x400+0x0 is not the .reloc section 0x400+0x10"},
    {"TeRelocationNeitherHighLowNorAbsolute", Usual, TeRelocationDir64, {}, "module.ffs", "FFS file: TE section at 0x24: relocation at RVA 0x210: type 10 (DIR64) is not HIGHLOW (3) or ABSOLUTE (0)"},
    {"ReplaceFileOfAnotherType", Usual, FfsNamedLikePeiCore, {"--replace"}, "fw.fd", "--replace swaps only a file of the same type: file 0000c0de-1111-2222-3344-5566778899aa at 0x60 is a PEI core (0x04), the new file a PEIM (0x06)"},
    {"NameLiveInAnotherVolume", Usual, FfsNamedLikeDxeDriver, {}, "fw.fd", "volume 00000d1e-1111-2222-3344-5566778899aa already holds file 000000d0-1111-2222-3344-5566778899aa at 0x60: a name may stand for one file only"},
    {"ReplaceNameOnlyInAnotherVolume", Usual, FfsNamedLikeDxeDriver, {"--replace"}, "fw.fd", "volume 00000d1e-1111-2222-3344-5566778899aa already holds file 000000d0-1111-2222-3344-5566778899aa at 0x60: a name may stand for one file only"},
    {"BaseContradictsTheImages", Usual, ModuleFfs, {"--base", "0x820010"}, "fw.fd", "--base 0x820010 contradicts 0x820000, the base the 2 images of " + PEI + " agree on"},
    {"UnfinishedFileBeforeFreeSpace", UnfinishedFileBeforeFreeSpace, ModuleFfs, {}, "fw.fd", PEI + ": file 0000000f-1111-2222-3344-5566778899aa at 0x190 was never completed (header valid, data not): the PEI core's walk ends there and would not reach a file placed after it"},
    {"NamedVolumeHoldsNoPeiCore", Usual, ModuleFfs, {"--volume", "00000d1e-1111-2222-3344-5566778899aa"}, "fw.fd", "the volume named 00000d1e-1111-2222-3344-5566778899aa holds no PEI core (file type 0x04)"},
    {"NoRoomBeforeDirtyFreeSpace", DirtyFreeSpaceAfterGrowingFile, ModuleFfs, {}, "fw.fd", "volume 00000001-1111-2222-3344-5566778899aa: no room: file 0000000b-1111-2222-3344-5566778899aa at 0x60 grows from 0x"},
    {"GrownFileLeavesGapTooSmallForPad", TooSmallForPadAfterGrownFile, ModuleFfs, {}, "fw.fd", "volume 00000001-1111-2222-3344-5566778899aa: no room: file 0000000b-1111-2222-3344-5566778899aa at 0x60 grows from 0x"},
    {"FileOfTheLargestFfs2Size", Usual, FfsOfTheLargestFfs2Size, {}, "fw.fd", PEI + ": no room: the file needs 0xffffff bytes at 0x"},
    {"DecodeBudgetSummedOverLzmaSections", TwoLzmaSectionsPastTheBudget, ModuleFfs, {}, "fw.fd", LZMA_FILE + " > LZMA data > section at 0x205088: LZMA header's uncompressed size 0xff00000 is above the 0xfdfaf47 bytes left to decode"},
    {"NestedPastTheDepthLimit", NestedTooDeep, ModuleFfs, {}, "fw.fd", LZMA_FILE + " > LZMA data > section at 0x0 > volume at 0x4"},
    {"EarlyWithoutAprioriFile", Usual, ModuleFfs, {"--early"}, "fw.fd", PEI + " holds no PEI apriori file (freeform, 1b45cc0a-156a-428a-af62-49864da0e6e6) to put the module first in"},
    {"EarlyAlreadyListed", AprioriListsTheModule, ModuleFfs, {"--early"}, "fw.fd", "the PEI apriori file 1b45cc0a-156a-428a-af62-49864da0e6e6 at 0x60 of " + PEI + " already lists 56f26cba-0844-463d-87ba-395d00c5c762"},
    {"EarlyNoPadAfterApriori", NoPadAfterApriori, ModuleFfs, {"--early"}, "fw.fd", PEI + ": no room: file 1b45cc0a-156a-428a-af62-49864da0e6e6 at 0x60 grows from 0x2c to 0x3c bytes, and 0x30 bytes lie before the next file, less any gap too small for a pad file"},
    {"EarlyAprioriLast", AprioriLast, ModuleFfs, {"--early"}, "fw.fd", PEI + ": no room: the PEI apriori file 1b45cc0a-156a-428a-af62-49864da0e6e6 at 0x190 is the last file, and grows only into a pad file before the next"},
    {"EarlyAprioriOfHalfAGuid", AprioriOfHalfAGuid, ModuleFfs, {"--early"}, "fw.fd", PEI + ": the PEI apriori file 1b45cc0a-156a-428a-af62-49864da0e6e6 at 0x60 lists 0x8 bytes, not a whole number of GUIDs"},
    {"RemoveUnknownName", Usual, ModuleFfs, {"56f26cba-0844-463d-87ba-395d00c5c762"}, "fw.fd", "no live file is named 56f26cba-0844-463d-87ba-395d00c5c762", "remove"},
    {"RemoveThePeiCore", Usual, ModuleFfs, {"0000c0de-1111-2222-3344-5566778899aa"}, "fw.fd", "file 0000c0de-1111-2222-3344-5566778899aa at 0x60 is the PEI core (file type 0x04), which the firmware cannot run without", "remove"},
    {"RemoveFileHoldingThePeiCore", Usual, ModuleFfs, {"0000000b-1111-2222-3344-5566778899aa"}, "fw.fd", "file 0000000b-1111-2222-3344-5566778899aa at 0x60 holds the PEI core (file 0000c0de-1111-2222-3344-5566778899aa at 0x60 inside it), which the firmware cannot run without", "remove"},
    {"RemoveUnderCrc32", PeiUnderCrc32, ModuleFfs, {"0000007e-1111-2222-3344-5566778899aa"}, "fw.fd", "cannot re-encode the GUID-defined section fc1bcdb0-7d31-49aa-936a-a4600d9dd083 (CRC32) at 0x7c in file", "remove"},
    {"ExtractUnknownName", Usual, ModuleFfs, {"56f26cba-0844-463d-87ba-395d00c5c762"}, "fw.fd", "no live file is named 56f26cba-0844-463d-87ba-395d00c5c762", "extract"},
    {"ExtractThePeiCore", Usual, ModuleFfs, {"0000c0de-1111-2222-3344-5566778899aa"}, "fw.fd", "file 0000c0de-1111-2222-3344-5566778899aa at 0x60 is the PEI core (file type 0x04), which the firmware cannot run without", "extract"},
    {"ExtractUnderCrc32", PeiUnderCrc32, ModuleFfs, {"0000007e-1111-2222-3344-5566778899aa"}, "fw.fd", "cannot re-encode the GUID-defined section fc1bcdb0-7d31-49aa-936a-a4600d9dd083 (CRC32) at 0x7c in file", "extract"},
    {"ExtractFileWithoutImage", Usual, ModuleFfs, {"000000d0-1111-2222-3344-5566778899aa"}, "fw.fd", "file 000000d0-1111-2222-3344-5566778899aa at 0x60 holds 0 PE32 or TE sections, not one", "extract"},
};
// clang-format on

void PrintTo(const Refusal &Case, std::ostream *Stream) {
  *Stream << Case.Name;
}

class InsertRefusal : public FvToolFolder, public testing::WithParamInterface<Refusal> {};

TEST_P(InsertRefusal, OneLineExit1AndOutLeftAlone) {
  const Refusal &Case = GetParam();
  Write("fw.fd", Case.Firmware());
  Write("module.ffs", Case.Ffs());
  const std::string Command = Case.Command;
  std::vector<std::string> Arguments = {Command, "@fw.fd", "@module.ffs", "@out.fd"};
  if (Command == "insert") {
    Arguments.insert(Arguments.end(), Case.Options.begin(), Case.Options.end());
  } else {
    Arguments[2] = Case.Options.at(0);
  }

  EXPECT_EQ(Run(Arguments), 1) << Err.str();
  const std::string Prefix = "fv-tool: " + Command + ": " + Path(Case.Blamed) + ": ";
  EXPECT_EQ(Err.str().rfind(Prefix + Case.Message, 0), 0u) << Err.str();
  EXPECT_EQ(Err.str().find('\n'), Err.str().size() - 1) << Err.str();
  EXPECT_FALSE(Exists("out.fd"));

  const Bytes Before = {1, 2, 3};
  Write("out.fd", Before);
  EXPECT_EQ(Run(Arguments), 1);
  EXPECT_EQ(Read("out.fd"), Before);
  EXPECT_EQ(Listing(), (std::vector<std::string>{"fw.fd", "module.ffs", "out.fd"}));
}

INSTANTIATE_TEST_SUITE_P(Table, InsertRefusal, testing::ValuesIn(REFUSALS),
                         [](const testing::TestParamInfo<Refusal> &Info) {
                           return std::string(Info.param.Name);
                         });

} // namespace
