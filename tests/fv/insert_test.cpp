// Round trips of fv-tool insert on crafted images: the file lands where the rules put it, its
// TE image is rebased to run there, everything outside the rebuilt region is unchanged, a
// second insert is refused and --replace gives the first result again.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "edit_check.h"
#include "exit_status.h"
#include "ffs_rules.h"
#include "file_io.h"
#include "firmware_tree.h"
#include "firmware_walk.h"
#include "fv_builder.h"
#include "fv_format.h"
#include "guid_text.h"
#include "messages.h"
#include "peim_file.h"
#include "struct_io.h"
#include "te_builder.h"
#include "te_image.h"
#include "tool_folder.h"

namespace {

using namespace fv_test;

// The one live file named Name in Volume and what it holds, or null.
const FvFile *Named(const FvVolume &Volume, const fv::EFI_GUID &Name) {
  for (const FvFile &File : Volume.Files) {
    if (SameGuid(File.Header.Name, Name) && FileIsLive(File.StateBit)) {
      return &File;
    }
  }
  return nullptr;
}

// The PEI volume: the volume image section after the raw one in the outer file's LZMA data.
const FvVolume &PeiVolumeOf(const FirmwareImage &Image) {
  return Image.Volumes[0].Files[0].Sections[0].Sections[1].Volumes[0];
}

struct Variant {
  const char *Name;
  uint8_t EraseByte;
  std::vector<std::string> Options;
  uint64_t Base;                    // the volume base the TE image must be rebased for
  void (*Edit)(FirmwareSpec *Spec); // changes the usual image; null for none
  const char *Reported = "";        // a line the report holds
  uint64_t PadAt = 0x190;           // where the pad file before the new file starts
  uint64_t FileAt = 0;              // where the new file starts; 0 for anywhere
  const char *Listed = "";          // a line the listing of the result holds
};

constexpr fv::EFI_GUID BROTLI_GUID = {
    0x3D532050, 0x5CDA, 0x4FD0, {0x87, 0x9E, 0x0F, 0x7F, 0x63, 0x0D, 0x5A, 0xFB}};

// Clears a file's bits up to EFI_FILE_DELETED in State (erased bytes 0xFF).
Bytes Deleted(Bytes File) {
  File[23] = 0xE0;
  return File;
}

// clang-format off
const Variant VARIANTS[] = {
    {"BaseFromImages", 0xFF, {}, PEI_BASE, nullptr},
    {"BaseGivenWhereImagesDisagree", 0xFF, {"--base", "0xff800000"}, 0xFF800000, [](FirmwareSpec *Spec) {
       Spec->Inner[1] = VolumeSection(Volume(0x4000, 0x9E1, {PeiCore(PEI_BASE), TePeim(0x7E, 0xFF800000)}));
     }},
    {"ErasedToZero", 0x00, {}, PEI_BASE, nullptr},
    {"DeletedCopyElsewhere", 0xFF, {}, PEI_BASE, [](FirmwareSpec *Spec) {
       const Bytes Copy = Deleted(File(OEMCOM_FILE_GUID, fv::EFI_FV_FILETYPE_PEIM, 0, Bytes(8, 0)));
       Spec->Inner.push_back(VolumeSection(Volume(0x1000, 0xDE1, {Fixed(Copy)})));
     }},
    {"UnreadSectionNamed", 0xFF, {}, PEI_BASE, [](FirmwareSpec *Spec) {
       Spec->Inner.push_back(GuidSection(BROTLI_GUID, fv::EFI_GUIDED_SECTION_PROCESSING_REQUIRED, Bytes(16, 7)));
     }, "  warning: not looked into, and may hold a second PEI core: a GUID-defined section 3d532050-5cda-4fd0-879e-0f7f630d5afb (Brotli) in file 0000000b-1111-2222-3344-5566778899aa at 0x60\n"},
    // Free space from 0x1d0: the file's data meets its 128-byte alignment at 0x1e8 + 0x18, after
    // a pad file of exactly a header's 0x18 bytes.
    {"PadOfTheMinimumSize", 0xFF, {}, PEI_BASE, [](FirmwareSpec *Spec) {
       const Bytes Raw = File(Guid(0x5A), fv::EFI_FV_FILETYPE_RAW, 0, Bytes(0x28, 0));
       Spec->Inner[1] = VolumeSection(Volume(0x4000, 0x9E1, {PeiCore(PEI_BASE), TePeim(0x7E, PEI_BASE), Fixed(Raw)}));
     }, "  pad file of 0x18 bytes at 0x1d0\n", 0x1D0, 0x1E8},
    // The apriori file at 0x60 grows from 0x2c to 0x3c bytes into the 0x40-byte pad file after
    // it, which shrinks to 0x30; the PEI core stays at 0xd0.
    {"EarlyInApriori", 0xFF, {"--early"}, PEI_BASE, [](FirmwareSpec *Spec) { Spec->Inner = InnerWithApriori(); },
     "  listed first in the PEI apriori file 1b45cc0a-156a-428a-af62-49864da0e6e6 at 0x60: 0x2c -> 0x3c bytes\n", 0x200, 0,
     "\n            PEI apriori order: 56f26cba-0844-463d-87ba-395d00c5c762, 0000007e-1111-2222-3344-5566778899aa\n"},
    {"GrownFileFillsTheGapExactly", 0xFF, {}, PEI_BASE, [](FirmwareSpec *Spec) { *Spec = GapAfterGrownFile(0); }},
    {"PadAfterGrownFileNotLast", 0xFF, {}, PEI_BASE, [](FirmwareSpec *Spec) { *Spec = GapAfterGrownFile(0x100); }},
};
// clang-format on

// The bytes of every volume inside a file, in the order a walk meets them: those in decoded
// data included, the top-level ones (which hold the re-encoded data) left out.
std::vector<Bytes> InnerVolumes(const FirmwareImage &Image) {
  std::vector<Bytes> All;
  FirmwareVisitor Visit;
  Visit.Volume = [&All](const FvVolume &Volume) {
    All.emplace_back(Volume.Bytes.begin(), Volume.Bytes.end());
  };
  for (const FvVolume &Volume : Image.Volumes) {
    for (const FvFile &File : Volume.Files) {
      WalkFile(Volume, File, Visit);
    }
  }
  return All;
}

class InsertRoundTrip : public FvToolFolder, public testing::WithParamInterface<Variant> {};

TEST_P(InsertRoundTrip, PlacedRebasedAndSealed) {
  const Variant &Case = GetParam();
  FirmwareSpec Spec;
  Spec.Inner = UsualInner(0x4000, Case.EraseByte);
  Spec.EraseByte = Case.EraseByte;
  if (Case.Edit != nullptr) {
    Case.Edit(&Spec);
  }
  const Bytes Original = Firmware(Spec);
  Write("fw.fd", Original);
  Write("module.ffs", ModuleFfs());
  std::vector<std::string> Insert = {"insert", "@fw.fd", "@module.ffs", "@out.fd"};
  Insert.insert(Insert.end(), Case.Options.begin(), Case.Options.end());
  ASSERT_EQ(Run(Insert), 0) << Err.str();
  EXPECT_NE(Out.str().find(Case.Reported), std::string::npos) << Out.str();
  const Bytes Patched = Read("out.fd");

  FirmwareImage Image;
  std::string Error;
  ASSERT_TRUE(ParseFirmwareImage(Patched, &Image, &Error)) << Error;
  const FvVolume &Pei = PeiVolumeOf(Image);
  const FvFile *File = Named(Pei, OEMCOM_FILE_GUID);
  ASSERT_NE(File, nullptr) << Out.str();
  EXPECT_EQ(File->Header.State, Case.EraseByte == 0xFF ? 0xF8 : 0x07);
  EXPECT_EQ((File->Offset + File->HeaderSize) % PEIM_DATA_ALIGNMENT, 0u);
  // The pad file before it starts where free space did.
  EXPECT_EQ(Pei.Files[Pei.Files.size() - 2].Offset, Case.PadAt);
  EXPECT_TRUE(Case.FileAt == 0 || File->Offset == Case.FileAt) << Hex(File->Offset);
  EXPECT_EQ(Pei.Files[Pei.Files.size() - 2].Header.Type, fv::EFI_FV_FILETYPE_FFS_PAD);

  const auto Te = std::find_if(File->Sections.begin(), File->Sections.end(),
                               [](const FvSection &S) { return S.Type == fv::EFI_SECTION_TE; });
  ASSERT_NE(Te, File->Sections.end());
  const uint64_t NewBase = Case.Base + static_cast<uint64_t>(Te->Rva0Offset);
  EXPECT_EQ(Te->ImageBase, NewBase);
  EXPECT_EQ(NewBase % IMAGE_BASE_ALIGNMENT, 0u);

  // Every HIGHLOW field moved by the difference between the bases.
  const Bytes Linked = ModuleTe();
  const Bytes Moved(Te->Bytes.begin() + Te->DataOffset, Te->Bytes.end());
  TeImage Before;
  TeImage After;
  ASSERT_TRUE(ParseTeImage(Linked, &Before, &Error)) << Error;
  ASSERT_TRUE(ParseTeImage(Moved, &After, &Error)) << Error;
  ASSERT_EQ(After.Relocations.size(), Before.Relocations.size());
  for (const TeRelocation &Relocation : Before.Relocations) {
    uint32_t Old = 0;
    uint32_t New = 0;
    if (Relocation.Type == 3) {
      ASSERT_TRUE(ReadImageU32(Before, Relocation.Rva, &Old));
      ASSERT_TRUE(ReadImageU32(After, Relocation.Rva, &New));
      EXPECT_EQ(New - Old, static_cast<uint32_t>(NewBase - Before.ImageBase)) << Relocation.Rva;
    }
  }

  // Outside the outer file, old or new, nothing changed.
  ASSERT_EQ(Patched.size(), Original.size());
  FirmwareImage Unpatched;
  ASSERT_TRUE(ParseFirmwareImage(Original, &Unpatched, &Error)) << Error;
  const FvVolume &Outer = Image.Volumes[0];
  const auto End =
      static_cast<std::ptrdiff_t>(std::max(Outer.FreeStart, Unpatched.Volumes[0].FreeStart));
  EXPECT_TRUE(std::equal(Patched.begin(), Patched.begin() + OUTER_FILE, Original.begin()));
  EXPECT_TRUE(std::equal(Patched.begin() + End, Patched.end(), Original.begin() + End));

  // The stream's header keeps the properties and dictionary, and gives the real size.
  const FvSection &Lzma = Outer.Files[0].Sections[0];
  uint64_t Size = 0;
  ASSERT_TRUE(ReadStruct(Lzma.Bytes, Lzma.DataOffset + 5, &Size));
  EXPECT_EQ(Size, Lzma.Decoded->size());
  EXPECT_EQ(Lzma.LzmaProperties, 0x5D);
  EXPECT_EQ(Lzma.LzmaDictionary, 1u << 16);

  // The listing shows the file; a second insert is refused; --replace gives the same image.
  ASSERT_EQ(Run({"list", "@out.fd"}), 0) << Err.str();
  EXPECT_NE(Out.str().find(Case.Listed), std::string::npos) << Out.str();
  EXPECT_NE(Out.str().find("file 56f26cba-0844-463d-87ba-395d00c5c762 at " + Hex(File->Offset) +
                           ": PEIM (0x06)"),
            std::string::npos)
      << Out.str();
  std::vector<std::string> Again = Insert;
  Again[1] = "@out.fd";
  Again[3] = "@again.fd";
  EXPECT_EQ(Run(Again), 1);
  EXPECT_NE(Err.str().find("give --replace to swap it"), std::string::npos) << Err.str();
  Again.push_back("--replace");
  ASSERT_EQ(Run(Again), 0) << Err.str();
  EXPECT_EQ(Read("again.fd"), Patched);

  // extract gives the TE image as it lies there; remove gives back the decoded volumes, and
  // the bytes outside the outer file and its free space.
  const std::string Name = "56f26cba-0844-463d-87ba-395d00c5c762";
  ASSERT_EQ(Run({"extract", "@out.fd", Name, "@module.te"}), 0) << Err.str();
  EXPECT_EQ(Read("module.te"), Moved);
  ASSERT_EQ(Run({"remove", "@out.fd", Name, "@undone.fd"}), 0) << Err.str();
  const Bytes Undone = Read("undone.fd");
  FirmwareImage Restored;
  ASSERT_TRUE(ParseFirmwareImage(Undone, &Restored, &Error)) << Error;
  EXPECT_EQ(InnerVolumes(Restored), InnerVolumes(Unpatched));
  EXPECT_TRUE(std::equal(Undone.begin(), Undone.begin() + OUTER_FILE, Original.begin()));
  EXPECT_TRUE(std::equal(Undone.begin() + End, Undone.end(), Original.begin() + End));
}

INSTANTIATE_TEST_SUITE_P(Table, InsertRoundTrip, testing::ValuesIn(VARIANTS),
                         [](const testing::TestParamInfo<Variant> &Info) {
                           return std::string(Info.param.Name);
                         });

// The module as built: its file goes in, and the listing finds it with its name.
TEST_F(FvToolFolder, BuiltModuleGoesIn) {
  ASSERT_EQ(Run({"ffs", OEMCOM_TE_PATH, "@oemcom.ffs"}), 0) << Err.str();
  Write("fw.fd", Firmware());
  ASSERT_EQ(Run({"insert", "@fw.fd", "@oemcom.ffs", "@out.fd"}), 0) << Err.str();
  EXPECT_NE(Out.str().find("15 relocations applied"), std::string::npos) << Out.str();
  ASSERT_EQ(Run({"list", "@out.fd"}), 0) << Err.str();
  EXPECT_NE(Out.str().find(": PEIM (0x06), 0x"), std::string::npos) << Out.str();
  EXPECT_NE(Out.str().find(" bytes, data aligned to 0x80, data checksum, \"OemInitCom\""),
            std::string::npos)
      << Out.str();
}

// A fault planted in one stage of an edit, and what the check of the result says of it.
struct Fault {
  const char *Name;
  const char *Command; // insert the module's file ("early": first in the apriori file of a PEI
                       // volume that has one), or remove the TE PEIM
  EditStage Stage;
  void (*Plant)(Bytes *Bytes, uint64_t *At);
  std::string Message; // after "self-check failed, nothing written (a fault in fv-tool): "
};

// The TE image's offset in the module's file: its signature "VZ".
size_t TeAt(const Bytes &File) {
  for (size_t At = 0; At + 1 < File.size(); ++At) {
    if (File[At] == 'V' && File[At + 1] == 'Z') {
      return At;
    }
  }
  return 0;
}

// The PEI core's name "PeiCore" in the volume, as UTF-16.
size_t PeiCoreNameAt(const Bytes &Volume) {
  const Bytes Name = {'P', 0, 'e', 0, 'i', 0, 'C', 0};
  return static_cast<size_t>(std::search(Volume.begin(), Volume.end(), Name.begin(), Name.end()) -
                             Volume.begin());
}

// The first code byte of ModuleTe that no relocation touches, from the TE header: .text's RVA
// less the stripped header's displacement, then 0x20 bytes in.
constexpr size_t TE_CODE_BYTE = TEST_TEXT_RVA - (TEST_STRIPPED_SIZE - 40) + 0x20;

const std::string PEI_VOLUME = "volume 000009e1-1111-2222-3344-5566778899aa";

// clang-format off
const Fault FAULTS[] = {
    {"EncoderInputByte", "insert", EditStage::EncoderInput, [](Bytes *Volume, uint64_t *) { Volume->back() ^= 1; }, "the rebuilt containers decode to other bytes than intended for " + PEI_VOLUME + ", from byte 0x3fff"},
    {"NewFileShifted", "insert", EditStage::NewFile, [](Bytes *, uint64_t *At) { *At += 8; }, "the new file is not at 0x1e8 of " + PEI_VOLUME + " with its 0x312 intended bytes"},
    {"OtherFileByte", "insert", EditStage::Volume, [](Bytes *Volume, uint64_t *) { (*Volume)[PeiCoreNameAt(*Volume)] ^= 1; }, "file 0000c0de-1111-2222-3344-5566778899aa at 0x60 of " + PEI_VOLUME + " no longer has its offset, name, type and bytes"},
    {"SecondPeiCore", "insert", EditStage::NewFile, [](Bytes *File, uint64_t *) { (*File)[0x12] = fv::EFI_FV_FILETYPE_PEI_CORE; }, PEI_VOLUME + " holds 2 live PEI cores, not 1"},
    {"MovedTeBreaksRules", "insert", EditStage::NewFile, [](Bytes *File, uint64_t *) { PutU16(*File, TeAt(*File) + TE_AT_MACHINE, 0x8664); }, "the moved TE image breaks the image rules: machine 0x8664 (x64) is not IA-32 (0x014c)"},
    {"MovedTeCodeByte", "insert", EditStage::NewFile, [](Bytes *File, uint64_t *) { (*File)[TeAt(*File) + TE_CODE_BYTE] ^= 1; }, "the moved TE image differs from the linked one moved to 0x008200c0 again, from byte 0xd0"},
    {"ByteOutsideContainers", "insert", EditStage::Output, [](Bytes *Image, uint64_t *) { (*Image)[0x10000 + 0x60 + 0x18 + 4] ^= 1; }, "byte 0x1007c of the image changed, outside the rebuilt containers (0x60 to 0x10000)"},
    {"AprioriListByte", "early", EditStage::Volume, [](Bytes *Volume, uint64_t *) { (*Volume)[0x60 + 0x1C] ^= 1; }, "file 1b45cc0a-156a-428a-af62-49864da0e6e6 at 0x60 of " + PEI_VOLUME + " does not hold its intended 0x3c bytes"},
    {"RemoveEncoderInputByte", "remove", EditStage::EncoderInput, [](Bytes *Volume, uint64_t *) { Volume->back() ^= 1; }, "the rebuilt containers decode to other bytes than intended for " + PEI_VOLUME + ", from byte 0x3fff"},
    {"RemovedFileLeftInPlace", "remove", EditStage::Volume, [](Bytes *Volume, uint64_t *) {
       const Bytes Again = PeiVolume();
       std::copy(Again.begin() + TE_PEIM_FILE, Again.begin() + 0x190, Volume->begin() + TE_PEIM_FILE);
     }, PEI_VOLUME + " holds 2 files besides pad files, not 1"},
};
// clang-format on

void PrintTo(const Fault &Case, std::ostream *Stream) {
  *Stream << Case.Name;
}

class SelfCheck : public FvToolFolder, public testing::WithParamInterface<Fault> {};

TEST_P(SelfCheck, RefusesTheFaultExit3AndNoOut) {
  const Fault &Case = GetParam();
  Write("fw.fd", Firmware());
  Write("module.ffs", ModuleFfs());
  const std::string Command = Case.Command == std::string("remove") ? "remove" : "insert";
  std::vector<std::string> Arguments =
      Command == "insert"
          ? std::vector<std::string>{"insert", "@fw.fd", "@module.ffs", "@out.fd"}
          : std::vector<std::string>{"remove", "@fw.fd", "0000007e-1111-2222-3344-5566778899aa",
                                     "@out.fd"};
  if (Case.Command == std::string("early")) {
    FirmwareSpec Spec;
    Spec.Inner = InnerWithApriori();
    Write("fw.fd", Firmware(Spec));
    Arguments.emplace_back("--early");
  }
  const auto Hook = [&Case](EditStage Stage, Bytes *Bytes, uint64_t *At) {
    if (Stage == Case.Stage) {
      Case.Plant(Bytes, At);
    }
  };
  EXPECT_EQ(Run(Arguments, Hook), EXIT_INTERNAL) << Err.str();
  EXPECT_EQ(Err.str(), "fv-tool: " + Command + ": " + Path("fw.fd") +
                           ": self-check failed, nothing written (a fault in fv-tool): " +
                           Case.Message + "\n");
  EXPECT_FALSE(Exists("out.fd"));
  ASSERT_EQ(Run(Arguments), 0) << Err.str(); // and without the fault, the edit goes through
}

INSTANTIATE_TEST_SUITE_P(Table, SelfCheck, testing::ValuesIn(FAULTS),
                         [](const testing::TestParamInfo<Fault> &Info) {
                           return std::string(Info.param.Name);
                         });

// Debian's OVMF code images: the module goes in and comes out again, giving back every decoded
// volume byte for byte and every byte outside the rebuilt file and the free space after it; or,
// where the PEI core is x64, it is refused with both machines named.
struct OvmfBuild {
  const char *Name;
  const char *Path;
  bool PeiCoreX64;
  bool Early = false; // insert --early: first in the PEI apriori file
};

// Debian 12's 4 MB x64 images run PEI in 32-bit mode, Debian 13's in 64-bit mode.
constexpr bool X64_4M = OEMCOM_OVMF_4M_PEI_X64 != 0;

// clang-format off
const OvmfBuild OVMF_BUILDS[] = {
    {"Ia32SecureBoot", "/usr/share/OVMF/OVMF32_CODE_4M.secboot.fd", false},
    {"Ia32", "/usr/share/OVMF/OVMF32_CODE_4M.fd", false},
    {"X64Of4MiB", "/usr/share/OVMF/OVMF_CODE_4M.fd", X64_4M},
    {"X64Of4MiBSecureBoot", "/usr/share/OVMF/OVMF_CODE_4M.secboot.fd", X64_4M},
    {"X64Of4MiBMicrosoftKeys", "/usr/share/OVMF/OVMF_CODE_4M.ms.fd", X64_4M},
    {"X64Of4MiBSnakeoilKeys", "/usr/share/OVMF/OVMF_CODE_4M.snakeoil.fd", X64_4M},
    {"Ia32SecureBootEarly", "/usr/share/OVMF/OVMF32_CODE_4M.secboot.fd", false, true},
    {"Ia32Early", "/usr/share/OVMF/OVMF32_CODE_4M.fd", false, true},
    {"X64Of4MiBEarly", "/usr/share/OVMF/OVMF_CODE_4M.fd", X64_4M, true},
    {"X64Of2MiB", "/usr/share/OVMF/OVMF_CODE.fd", true},
    {"X64Of2MiBSecureBoot", "/usr/share/OVMF/OVMF_CODE.secboot.fd", true},
    {"X64Of2MiBMicrosoftKeys", "/usr/share/OVMF/OVMF_CODE.ms.fd", true},
};
// clang-format on

void PrintTo(const OvmfBuild &Case, std::ostream *Stream) {
  *Stream << Case.Name;
}

// Where Image's bytes may change when the PEI volume does: from the top-level file holding it
// to the end of its volume's free space.
void PeiFileRange(const FirmwareImage &Image, uint64_t *Start, uint64_t *End) {
  for (const FvVolume &Volume : Image.Volumes) {
    for (const FvFile &File : Volume.Files) {
      bool HoldsPeiCore = false;
      FirmwareVisitor Visit;
      Visit.File = [&HoldsPeiCore](const FvVolume &, const FvFile &Inner) {
        HoldsPeiCore = HoldsPeiCore || Inner.Header.Type == fv::EFI_FV_FILETYPE_PEI_CORE;
      };
      WalkFile(Volume, File, Visit);
      if (HoldsPeiCore) {
        *Start = Volume.Offset + File.Offset;
        *End = Volume.Offset + Volume.Bytes.size();
        return;
      }
    }
  }
}

class OvmfRoundTrip : public FvToolFolder, public testing::WithParamInterface<OvmfBuild> {};

TEST_P(OvmfRoundTrip, RemoveUndoesInsert) {
  const OvmfBuild &Case = GetParam();
  Bytes Original;
  std::string Error;
  if (!ReadFileBytes(Case.Path, &Original, &Error)) {
    GTEST_SKIP() << Case.Path << " is not on this machine";
  }
  // Debian links some key variants to another row's code image: those bytes are tested once.
  for (const OvmfBuild &Other : OVMF_BUILDS) {
    std::error_code Code;
    if (std::string(Other.Name) == Case.Name) {
      break;
    }
    if (Other.Early == Case.Early && std::filesystem::equivalent(Other.Path, Case.Path, Code)) {
      GTEST_SKIP() << Case.Path << " and " << Other.Path << " are one file, row " << Other.Name;
    }
  }
  ASSERT_EQ(Run({"ffs", OEMCOM_TE_PATH, "@oemcom.ffs"}), 0) << Err.str();
  std::vector<std::string> Insert = {"insert", Case.Path, "@oemcom.ffs", "@in.fd"};
  if (Case.Early) {
    Insert.emplace_back("--early");
  }
  const int Status = Run(Insert);
  if (Case.PeiCoreX64) {
    EXPECT_EQ(Status, 1);
    EXPECT_NE(Err.str().find("is for machine 0x8664 (x64), the module for 0x14c (IA-32)"),
              std::string::npos)
        << Err.str();
    EXPECT_FALSE(Exists("in.fd"));
    return;
  }
  ASSERT_EQ(Status, 0) << Err.str();
  ASSERT_EQ(Run({"remove", "@in.fd", "56f26cba-0844-463d-87ba-395d00c5c762", "@out.fd"}), 0)
      << Err.str();
  const Bytes Undone = Read("out.fd");
  FirmwareImage Before;
  FirmwareImage After;
  ASSERT_TRUE(ParseFirmwareImage(Original, &Before, &Error)) << Error;
  ASSERT_TRUE(ParseFirmwareImage(Undone, &After, &Error)) << Error;
  EXPECT_EQ(InnerVolumes(After), InnerVolumes(Before));
  uint64_t Start = 0;
  uint64_t End = 0;
  PeiFileRange(Before, &Start, &End);
  ASSERT_EQ(Undone.size(), Original.size());
  EXPECT_TRUE(std::equal(Original.begin(), Original.begin() + static_cast<std::ptrdiff_t>(Start),
                         Undone.begin()));
  EXPECT_TRUE(std::equal(Original.begin() + static_cast<std::ptrdiff_t>(End), Original.end(),
                         Undone.begin() + static_cast<std::ptrdiff_t>(End)));
}

INSTANTIATE_TEST_SUITE_P(Table, OvmfRoundTrip, testing::ValuesIn(OVMF_BUILDS),
                         [](const testing::TestParamInfo<OvmfBuild> &Info) {
                           return std::string(Info.param.Name);
                         });

} // namespace
