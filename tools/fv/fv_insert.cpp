#include "fv_insert.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "ffs_rules.h"
#include "ffs_writer.h"
#include "firmware_tree.h"
#include "fv_format.h"
#include "fv_names.h"
#include "guid_text.h"
#include "messages.h"
#include "pe_format.h"
#include "peim_file.h"
#include "rebuild.h"
#include "struct_io.h"
#include "te_rebase.h"
#include "volume_edit.h"
#include "xip_base.h"

using namespace fv;

namespace {

// What the search for the PEI core's volume finds: the volumes holding a live PEI core, and the
// sections it could not look into.
struct Found {
  std::vector<const FvVolume *> Volumes;
  std::vector<std::string> Unread;
};

void FindInVolume(const FvVolume &Volume, Found *Result);

void FindInSections(const std::vector<FvSection> &Sections, const FvFile &File, Found *Result) {
  for (const FvSection &Section : Sections) {
    if (Section.Content == SectionContent::Opaque) {
      const std::string Name = GuidedSectionName(Section.Guid);
      Result->Unread.push_back(Section.Type == EFI_SECTION_COMPRESSION
                                   ? "an EFI compression section (type 0x01) in " + FileLabel(File)
                                   : "a GUID-defined section " + GuidText(Section.Guid) +
                                         (Name.empty() ? "" : " (" + Name + ")") + " in " +
                                         FileLabel(File));
    }
    FindInSections(Section.Sections, File, Result);
    for (const FvVolume &Inner : Section.Volumes) {
      FindInVolume(Inner, Result);
    }
  }
}

void FindInVolume(const FvVolume &Volume, Found *Result) {
  for (const FvFile &File : Volume.Files) {
    if (File.Header.Type == EFI_FV_FILETYPE_PEI_CORE && FileIsLive(File.StateBit) &&
        (Result->Volumes.empty() || Result->Volumes.back() != &Volume)) {
      Result->Volumes.push_back(&Volume);
    }
    FindInSections(File.Sections, File, Result);
  }
}

bool FindTarget(const FirmwareImage &Image, const FvVolume **Target, std::string *Error) {
  Found Result;
  for (const FvVolume &Volume : Image.Volumes) {
    FindInVolume(Volume, &Result);
  }
  if (Result.Volumes.size() == 1) {
    *Target = Result.Volumes.front();
    return true;
  }
  if (Result.Volumes.empty()) {
    std::string Unread;
    for (const std::string &Part : Result.Unread) {
      Unread += (Unread.empty() ? "; not looked into: " : ", ") + Part;
    }
    return Fail(Error, "no volume holds a PEI core (file type 0x04)" + Unread);
  }
  std::string Labels;
  for (const FvVolume *Volume : Result.Volumes) {
    Labels += (Labels.empty() ? "" : ", ") + VolumeLabel(*Volume);
  }
  return Fail(Error, std::to_string(Result.Volumes.size()) +
                         " volumes hold a PEI core, not one: " + Labels);
}

// The live file of Volume named Name, other than pad files, or null.
const FvFile *FileNamed(const FvVolume &Volume, const EFI_GUID &Name) {
  const auto Found =
      std::find_if(Volume.Files.begin(), Volume.Files.end(), [&](const FvFile &File) {
        return FileIsLive(File.StateBit) && File.Header.Type != EFI_FV_FILETYPE_FFS_PAD &&
               SameGuid(File.Header.Name, Name);
      });
  return Found != Volume.Files.end() ? &*Found : nullptr;
}

// The volume's execute-in-place base: Options' or the one its images agree on. Source says which.
bool ChooseBase(const FvVolume &Volume, const FvFile *Replaced, const InsertOptions &Options,
                uint64_t *Base, std::string *Source, std::string *Error) {
  const std::vector<XipImage> Images = VolumeImages(Volume, Replaced);
  if (Options.HasBase) {
    *Base = Options.Base;
    *Source = "given by --base";
    return true;
  }
  if (Images.empty()) {
    return Fail(Error, VolumeLabel(Volume) +
                           " holds no PE32 or TE image to take its execute-in-place base from; "
                           "give --base ADDR");
  }
  if (!CommonBase(Images, Base)) {
    const auto Other = std::find_if(Images.begin(), Images.end(), [&](const XipImage &Image) {
      return Image.Base != Images.front().Base;
    });
    return Fail(Error, "the images of " + VolumeLabel(Volume) +
                           " disagree on its base: " + Hex(Images.front().Base) + " (" +
                           FileLabel(*Images.front().File) + ") and " + Hex(Other->Base) + " (" +
                           FileLabel(*Other->File) + "); give --base ADDR");
  }
  *Source = "from its " + Counted(Images.size(), "image") + ", which agree";
  return true;
}

} // namespace

bool InsertPeim(const FirmwareImage &Image, const PeimFile &Peim, const InsertOptions &Options,
                std::vector<uint8_t> *Out, std::string *Report, std::string *Error) {
  const FvVolume *Target = nullptr;
  if (!FindTarget(Image, &Target, Error)) {
    return false;
  }
  const FvVolume &Volume = *Target;
  const FvFile &File = Peim.File;
  if (File.Bytes.size() > MAX_SIZE24 && !Volume.LargeFiles) {
    return Fail(Error, VolumeLabel(Volume) + " is FFS2, which cannot hold the " +
                           Hex(File.Bytes.size()) + "-byte file");
  }
  const FvFile *Old = FileNamed(Volume, File.Header.Name);
  if (Old != nullptr && !Options.Replace) {
    return Fail(Error, VolumeLabel(Volume) + " already holds " + FileLabel(*Old) +
                           "; give --replace to swap it");
  }
  uint64_t Base = 0;
  std::string BaseSource;
  if (!ChooseBase(Volume, Old, Options, &Base, &BaseSource, Error)) {
    return false;
  }
  std::vector<uint8_t> Bytes(Volume.Bytes.begin(), Volume.Bytes.end());
  const uint64_t FreeStart = Old != nullptr ? RemoveFile(Volume, *Old, &Bytes) : Volume.FreeStart;

  // RVA 0 of the image lies Rva0 bytes into the file (the TE header's offset less the stripped
  // header's displacement); the image base at file offset At is Base + At + Rva0.
  const uint64_t Rva0 = Peim.TeOffset - Peim.Displacement;
  const uint64_t DataAlignment = FileDataAlignment(File.Header.Attributes);
  const auto Accept = [&](uint64_t At) {
    return (At + File.HeaderSize) % DataAlignment == 0 &&
           (Base + At + Rva0) % IMAGE_BASE_ALIGNMENT == 0;
  };
  const uint64_t Window =
      sizeof(EFI_FFS_FILE_HEADER) + 2 * std::max<uint64_t>(DataAlignment, IMAGE_BASE_ALIGNMENT);
  uint64_t At = 0;
  if (!FindPlace(Volume, FreeStart, File.Bytes.size(), Window, Accept, &At, Error)) {
    return false;
  }

  std::vector<uint8_t> Placed(File.Bytes.begin(), File.Bytes.end());
  std::vector<uint8_t> Te(Placed.begin() + static_cast<std::ptrdiff_t>(Peim.TeOffset),
                          Placed.begin() +
                              static_cast<std::ptrdiff_t>(Peim.TeOffset + Peim.TeSize));
  uint32_t Applied = 0;
  std::string Reason;
  const uint64_t NewBase = Base + At + Rva0;
  pe::EFI_TE_IMAGE_HEADER Linked{};
  if (!ReadStruct(Te, 0, &Linked) || !RebaseTeImage(&Te, NewBase, &Applied, &Reason)) {
    return Fail(Error, "TE image in the FFS file: " + Reason);
  }
  std::copy(Te.begin(), Te.end(), Placed.begin() + static_cast<std::ptrdiff_t>(Peim.TeOffset));
  SealFile(&Placed, File.HeaderSize, Volume.EraseByte);
  WriteFileAt(Volume, FreeStart, At, Placed, &Bytes);

  std::vector<RebuiltPart> Parts;
  std::vector<uint8_t> Rebuilt;
  if (!RebuildImage(Image, Volume, Bytes, &Rebuilt, &Parts, Error)) {
    return false;
  }
  FirmwareImage Check;
  if (!ParseFirmwareImage(Rebuilt, &Check, &Reason)) {
    return Fail(Error, "the rebuilt image does not read back: " + Reason);
  }
  std::string Text = "inserted file " + GuidText(File.Header.Name) +
                     (Peim.Name.empty() ? "" : " \"" + Peim.Name + "\"") + " into " +
                     VolumeLabel(Volume) + " at " + Hex(At) + ": " + Hex(Placed.size()) +
                     " bytes, data aligned to " + Hex(DataAlignment) + "\n";
  if (At > FreeStart) {
    Text += "pad file of " + Hex(At - FreeStart) + " bytes at " + Hex(FreeStart) + "\n";
  }
  if (Old != nullptr) {
    Text += "replaced the file at " + Hex(Old->Offset) + "\n";
  }
  Text += "volume base " + Hex(Base, 8) + " (" + BaseSource + "); TE image base " +
          Hex(NewBase, 8) + " (linked for " + Hex(Linked.ImageBase, 8) + "), " +
          Counted(Applied, "relocation") + " applied\n";
  const uint64_t Used = std::min(AlignUp(At + Placed.size(), FILE_ALIGNMENT), FreeEnd(Volume));
  Text += "free space left: " + Hex(FreeEnd(Volume) - Used) + " bytes\n";
  for (const RebuiltPart &Part : Parts) {
    Text +=
        "rebuilt " + Part.What + ": " + Hex(Part.OldSize) + " -> " + Hex(Part.NewSize) + " bytes\n";
  }
  *Out = std::move(Rebuilt);
  *Report = Text;
  return true;
}
