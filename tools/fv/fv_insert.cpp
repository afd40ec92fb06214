#include "fv_insert.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "apriori.h"
#include "edit_check.h"
#include "ffs_rules.h"
#include "ffs_writer.h"
#include "firmware_tree.h"
#include "fv_format.h"
#include "fv_names.h"
#include "fv_target.h"
#include "guid_text.h"
#include "messages.h"
#include "peim_file.h"
#include "rebuild.h"
#include "struct_io.h"
#include "te_names.h"
#include "te_rebase.h"
#include "volume_edit.h"
#include "xip_base.h"

using namespace fv;

namespace {

// The live file of Volume named Name, other than pad files, or null.
const FvFile *FileNamed(const FvVolume &Volume, const EFI_GUID &Name) {
  const auto Found =
      std::find_if(Volume.Files.begin(), Volume.Files.end(), [&](const FvFile &File) {
        return FileIsLive(File.StateBit) && File.Header.Type != EFI_FV_FILETYPE_FFS_PAD &&
               SameGuid(File.Header.Name, Name);
      });
  return Found != Volume.Files.end() ? &*Found : nullptr;
}

std::string MachineText(uint16_t Machine) {
  return Hex(Machine) + " (" + MachineName(Machine) + ")";
}

// What the target volume must be for the module to run there: a PEI core of the module's
// machine, and no file left unfinished, where the PEI core's walk would stop.
bool CheckTarget(const FvVolume &Volume, const PeimFile &Peim, std::string *Error) {
  const uint16_t Core = PeiCoreMachine(Volume);
  if (Core != 0 && Core != Peim.Machine) {
    return Fail(Error, "the PEI core of " + VolumeLabel(Volume) + " is for machine " +
                           MachineText(Core) + ", the module for " + MachineText(Peim.Machine) +
                           ": the PEI core would never run it");
  }
  const auto Unfinished =
      std::find_if(Volume.Files.begin(), Volume.Files.end(),
                   [](const FvFile &File) { return File.StateBit == EFI_FILE_HEADER_VALID; });
  if (Unfinished != Volume.Files.end()) {
    return Fail(Error, VolumeLabel(Volume) + ": " + FileLabel(*Unfinished) +
                           " was never completed (header valid, data not): the PEI core's walk "
                           "ends there and would not reach a file placed after it");
  }
  if (Peim.File.Bytes.size() > MAX_SIZE24 && !Volume.LargeFiles) {
    return Fail(Error, VolumeLabel(Volume) + " is FFS2, which cannot hold the " +
                           Hex(Peim.File.Bytes.size()) + "-byte file");
  }
  return true;
}

// The file the module's takes the place of, or null: one of the same name and type in
// Volume, when Options allow. The name must be live nowhere else in the image.
bool CheckName(const FirmwareImage &Image, const FvVolume &Volume, const PeimFile &Peim,
               const InsertOptions &Options, const FvFile **Old, std::string *Error) {
  const FvFile &File = Peim.File;
  const std::vector<FileInVolume> Named = LiveFilesNamed(Image, File.Header.Name);
  const auto Elsewhere =
      std::find_if(Named.begin(), Named.end(),
                   [&Volume](const FileInVolume &One) { return One.Volume != &Volume; });
  if (Elsewhere != Named.end()) {
    return Fail(Error, VolumeLabel(*Elsewhere->Volume) + " already holds " +
                           FileLabel(*Elsewhere->File) + ": a name may stand for one file only");
  }
  *Old = FileNamed(Volume, File.Header.Name);
  if (*Old != nullptr && !Options.Replace) {
    return Fail(Error, VolumeLabel(Volume) + " already holds " + FileLabel(**Old) +
                           "; give --replace to swap it");
  }
  if (*Old != nullptr && (*Old)->Header.Type != File.Header.Type) {
    const uint8_t Type = (*Old)->Header.Type;
    return Fail(Error, "--replace swaps only a file of the same type: " + FileLabel(**Old) +
                           " is a " + FileTypeName(Type) + " (" + Hex(Type, 2) +
                           "), the new file a " + FileTypeName(File.Header.Type) + " (" +
                           Hex(File.Header.Type, 2) + ")");
  }
  return true;
}

// The volume's execute-in-place base: the one its images agree on, which Options may give
// but not contradict; Options' when they do not agree. Source says which.
bool ChooseBase(const FvVolume &Volume, const FvFile *Replaced, const InsertOptions &Options,
                uint64_t *Base, std::string *Source, std::string *Error) {
  const std::vector<XipImage> Images = VolumeImages(Volume, Replaced);
  uint64_t Agreed = 0;
  const bool Agree = !Images.empty() && CommonBase(Images, &Agreed);
  if (Options.HasBase && Agree && Options.Base != Agreed) {
    return Fail(Error, "--base " + Hex(Options.Base) + " contradicts " + Hex(Agreed) +
                           ", the base the " + Counted(Images.size(), "image") + " of " +
                           VolumeLabel(Volume) + " agree on");
  }
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
  if (!Agree) {
    const auto Other = std::find_if(Images.begin(), Images.end(), [&](const XipImage &Image) {
      return Image.Base != Images.front().Base;
    });
    return Fail(Error, "the images of " + VolumeLabel(Volume) +
                           " disagree on its base: " + Hex(Images.front().Base) + " (" +
                           FileLabel(*Images.front().File) + ") and " + Hex(Other->Base) + " (" +
                           FileLabel(*Other->File) + "); give --base ADDR");
  }
  *Base = Agreed;
  *Source = "from its " + Counted(Images.size(), "image") + ", which agree";
  return true;
}

// The report's lines on what was placed where.
std::string Describe(const PeimFile &Peim, const EditPlan &Plan, uint64_t FreeStart, uint64_t Base,
                     const std::string &BaseSource, uint64_t LinkedBase, uint32_t Applied) {
  const FvVolume &Volume = *Plan.Volume;
  const FvFile &File = Peim.File;
  std::string Text = "inserted file " + GuidText(File.Header.Name) +
                     (Peim.Name.empty() ? "" : " \"" + Peim.Name + "\"") + " into " +
                     VolumeLabel(Volume) + " at " + Hex(Plan.At) + ": " + Hex(Plan.Placed.size()) +
                     " bytes, data aligned to " + Hex(FileDataAlignment(File.Header.Attributes)) +
                     "\n";
  if (Plan.At > FreeStart) {
    Text += "pad file of " + Hex(Plan.At - FreeStart) + " bytes at " + Hex(FreeStart) + "\n";
  }
  if (Plan.Gone != nullptr) {
    Text +=
        "replaced " + FileLabel(*Plan.Gone) + " (" + FileTypeName(Plan.Gone->Header.Type) + ")\n";
  }
  Text += "volume base " + Hex(Base, 8) + " (" + BaseSource + "); TE image base " +
          Hex(Plan.NewBase, 8) + " (linked for " + Hex(LinkedBase, 8) + "), " +
          Counted(Applied, "relocation") + " applied\n";
  const uint64_t Used =
      std::min(AlignUp(Plan.At + Plan.Placed.size(), FILE_ALIGNMENT), FreeEnd(Volume));
  return Text + "free space left: " + Hex(FreeEnd(Volume) - Used) + " bytes\n";
}

} // namespace

EditOutcome InsertPeim(const FirmwareImage &Image, const PeimFile &Peim,
                       const InsertOptions &Options, std::vector<uint8_t> *Out, std::string *Report,
                       std::string *Error, const FaultHook &Hook) {
  const FvVolume *Target = nullptr;
  std::vector<std::string> Unread;
  EditPlan Plan;
  uint64_t Base = 0;
  std::string BaseSource;
  if (!FindPeiVolume(Image, Options.HasVolume ? &Options.Volume : nullptr, &Target, &Unread,
                     Error) ||
      !CheckTarget(*Target, Peim, Error) ||
      !CheckName(Image, *Target, Peim, Options, &Plan.Gone, Error) ||
      !ChooseBase(*Target, Plan.Gone, Options, &Base, &BaseSource, Error)) {
    return EditOutcome::Refused;
  }
  const FvVolume &Volume = *Target;
  const FvFile &File = Peim.File;
  Plan.Volume = Target;
  Plan.Bytes.assign(Volume.Bytes.begin(), Volume.Bytes.end());
  const uint64_t FreeStart =
      Plan.Gone != nullptr ? RemoveFile(Volume, *Plan.Gone, &Plan.Bytes) : Volume.FreeStart;

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
  if (!FindPlace(Volume, FreeStart, File.Bytes.size(), Window, Accept, &Plan.At, Error)) {
    return EditOutcome::Refused;
  }

  Plan.Placed.assign(File.Bytes.begin(), File.Bytes.end());
  Plan.LinkedTe = File.Bytes.subspan(Peim.TeOffset, Peim.TeSize);
  Plan.TeOffset = Peim.TeOffset;
  Plan.NewBase = Base + Plan.At + Rva0;
  std::vector<uint8_t> Te(Plan.LinkedTe.begin(), Plan.LinkedTe.end());
  uint32_t Applied = 0;
  std::string Reason;
  if (!RebaseTeImage(&Te, Plan.NewBase, &Applied, &Reason)) {
    (void)Fail(Error, "TE image in the FFS file: " + Reason);
    return EditOutcome::Refused;
  }
  std::copy(Te.begin(), Te.end(), Plan.Placed.begin() + static_cast<std::ptrdiff_t>(Peim.TeOffset));
  uint64_t WriteAt = Plan.At;
  AtStage(Hook, EditStage::NewFile, &Plan.Placed, &WriteAt);
  SealFile(&Plan.Placed, File.HeaderSize, Volume.EraseByte);
  WriteFileAt(Volume, FreeStart, WriteAt, Plan.Placed, &Plan.Bytes);
  if (Options.Early && !ListFirst(Volume, File.Header.Name, Plan.Gone != nullptr, &Plan.Bytes,
                                  &Plan.Edited, &Plan.EditedBytes, Error)) {
    return EditOutcome::Refused;
  }
  AtStage(Hook, EditStage::Volume, &Plan.Bytes);

  std::vector<RebuiltPart> Parts;
  const EditOutcome Outcome = FinishEdit(Image, Plan, Hook, Out, &Parts, Error);
  if (Outcome != EditOutcome::Done) {
    return Outcome;
  }
  std::string Text = Describe(Peim, Plan, FreeStart, Base, BaseSource, Peim.LinkedBase, Applied);
  if (Plan.Edited != nullptr) {
    Text += "listed first in the PEI apriori " + FileLabel(*Plan.Edited) + ": " +
            Hex(Plan.Edited->Bytes.size()) + " -> " + Hex(Plan.EditedBytes.size()) + " bytes\n";
  }
  Text += RebuiltText(Parts);
  for (const std::string &Part : Unread) {
    Text += "warning: not looked into, and may hold a second PEI core: " + Part + "\n";
  }
  *Report = Text;
  return EditOutcome::Done;
}
