// fv-tool insert's refusals, one case a line: each is one line on stderr naming the input at
// fault, exit status 1, and OUT neither created nor, when it exists, changed.
#include <cstdint>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "fv_builder.h"
#include "fv_format.h"
#include "peim_file.h"
#include "struct_io.h"
#include "tool_folder.h"

namespace {

using namespace fv_test;
using fv::EFI_GUID;

// The GUIDs of two encodings fv-tool does not re-encode.
constexpr EFI_GUID CRC32_GUID = {
    0xFC1BCDB0, 0x7D31, 0x49AA, {0x93, 0x6A, 0xA4, 0x60, 0x0D, 0x9D, 0xD0, 0x83}};
constexpr EFI_GUID BROTLI_GUID = {
    0x3D532050, 0x5CDA, 0x4FD0, {0x87, 0x9E, 0x0F, 0x7F, 0x63, 0x0D, 0x5A, 0xFB}};

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

struct Refusal {
  const char *Name;
  Bytes (*Firmware)();
  Bytes (*Ffs)();
  std::vector<std::string> Options;
  const char *Blamed;  // the input the message names: "fw.fd" or "module.ffs"
  std::string Message; // what follows its path
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
    {"BaseOffAlignment", Usual, ModuleFfs, {"--base", "0x820010"}, "fw.fd", PEI + ": no offset within 0x118 bytes of free space at 0x190 meets the file's alignment"},
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
  std::vector<std::string> Arguments = {"insert", "@fw.fd", "@module.ffs", "@out.fd"};
  Arguments.insert(Arguments.end(), Case.Options.begin(), Case.Options.end());

  EXPECT_EQ(Run(Arguments), 1) << Err.str();
  const std::string Prefix = "fv-tool: insert: " + Path(Case.Blamed) + ": ";
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
