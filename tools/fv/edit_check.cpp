#include "edit_check.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "ffs_rules.h"
#include "firmware_tree.h"
#include "firmware_walk.h"
#include "fv_format.h"
#include "fv_names.h"
#include "fv_target.h"
#include "guid_text.h"
#include "messages.h"
#include "rebuild.h"
#include "struct_io.h"
#include "te_check.h"
#include "te_image.h"
#include "te_rebase.h"
#include "volume_edit.h"

using namespace fv;

namespace {

// The offset of the first byte where A and B differ, their common length when one is a start
// of the other.
uint64_t FirstDifference(ByteView A, ByteView B) {
  const auto Common = std::min(A.size(), B.size());
  const auto Where =
      std::mismatch(A.begin(), A.begin() + static_cast<std::ptrdiff_t>(Common), B.begin());
  return static_cast<uint64_t>(Where.first - A.begin());
}

bool Same(ByteView A, ByteView B) {
  return A.size() == B.size() && std::equal(A.begin(), A.end(), B.begin());
}

std::vector<const FvVolume *> AllVolumes(const FirmwareImage &Image) {
  std::vector<const FvVolume *> Volumes;
  FirmwareVisitor Visit;
  Visit.Volume = [&Volumes](const FvVolume &Volume) { Volumes.push_back(&Volume); };
  WalkFirmware(Image, Visit);
  return Volumes;
}

const FvFile *FileAt(const FvVolume &Volume, uint64_t Offset) {
  const auto Found = std::find_if(Volume.Files.begin(), Volume.Files.end(),
                                  [Offset](const FvFile &File) { return File.Offset == Offset; });
  return Found != Volume.Files.end() ? &*Found : nullptr;
}

bool CheckNewFile(const EditPlan &Plan, const FvVolume &Now, std::string *Error) {
  const FvFile *File = FileAt(Now, Plan.At);
  if (File == nullptr || !FileIsLive(File->StateBit) || !Same(File->Bytes, Plan.Placed)) {
    return Fail(Error, "the new file is not at " + Hex(Plan.At) + " of " + VolumeLabel(Now) +
                           " with its " + Hex(Plan.Placed.size()) + " intended bytes");
  }
  return true;
}

bool CheckOtherFiles(const EditPlan &Plan, const FvVolume &Now, std::string *Error) {
  size_t Kept = 0;
  for (const FvFile &File : Plan.Volume->Files) {
    if (&File == Plan.Gone || File.Header.Type == EFI_FV_FILETYPE_FFS_PAD) {
      continue;
    }
    const FvFile *Still = FileAt(Now, File.Offset);
    if (&File == Plan.Edited && (Still == nullptr || !Same(Still->Bytes, Plan.EditedBytes))) {
      return Fail(Error, FileLabel(File) + " of " + VolumeLabel(Now) +
                             " does not hold its intended " + Hex(Plan.EditedBytes.size()) +
                             " bytes");
    }
    if (&File != Plan.Edited && (Still == nullptr || !Same(Still->Bytes, File.Bytes))) {
      return Fail(Error, FileLabel(File) + " of " + VolumeLabel(Now) +
                             " no longer has its offset, name, type and bytes");
    }
    ++Kept;
  }
  const auto Files =
      static_cast<size_t>(std::count_if(Now.Files.begin(), Now.Files.end(), [](const FvFile &File) {
        return File.Header.Type != EFI_FV_FILETYPE_FFS_PAD;
      }));
  const size_t Expected = Kept + (Plan.Placed.empty() ? 0 : 1);
  if (Files != Expected) {
    return Fail(Error, VolumeLabel(Now) + " holds " + Counted(Files, "file") +
                           " besides pad files, not " + std::to_string(Expected));
  }
  if (Plan.Gone == nullptr || !Plan.Placed.empty()) {
    return true; // a replaced file's name lives on in the new file, checked above
  }
  if (std::any_of(Now.Files.begin(), Now.Files.end(), [&Plan](const FvFile &File) {
        return FileIsLive(File.StateBit) && File.Header.Type != EFI_FV_FILETYPE_FFS_PAD &&
               SameGuid(File.Header.Name, Plan.Gone->Header.Name);
      })) {
    return Fail(Error, FileLabel(*Plan.Gone) + " is still live in " + VolumeLabel(Now));
  }
  return true;
}

bool CheckMovedImage(const EditPlan &Plan, const FvVolume &Now, std::string *Error) {
  const std::vector<const FvSection *> Images = ImageSections(*FileAt(Now, Plan.At));
  const auto Te = std::find_if(Images.begin(), Images.end(), [](const FvSection *Section) {
    return Section->Type == EFI_SECTION_TE;
  });
  if (Te == Images.end()) {
    return Fail(Error, "the new file holds no TE section");
  }
  const ByteView Moved = (*Te)->Bytes.subspan((*Te)->DataOffset);
  TeImage Image;
  std::string Reason;
  if (!ParseAndCheckTeImage(Moved, &Image, &Reason)) {
    return Fail(Error, "the moved TE image breaks the image rules: " + Reason);
  }
  std::vector<uint8_t> Again(Plan.LinkedTe.begin(), Plan.LinkedTe.end());
  uint32_t Applied = 0;
  if (!RebaseTeImage(&Again, Plan.NewBase, &Applied, &Reason) || !Same(Again, Moved)) {
    return Fail(Error, "the moved TE image differs from the linked one moved to " +
                           Hex(Plan.NewBase, 8) + " again, from byte " +
                           Hex(FirstDifference(Again, Moved)));
  }
  return true;
}

// Whether Target lies in File of Volume, or is Volume.
bool Holds(const FvVolume &Volume, const FvFile *File, const FvVolume *Target) {
  bool Found = &Volume == Target;
  FirmwareVisitor Visit;
  Visit.Volume = [&](const FvVolume &Inner) { Found = Found || &Inner == Target; };
  if (File != nullptr) {
    WalkFile(Volume, *File, Visit);
  }
  return Found;
}

// The image's bytes a rebuild may change: the top-level file holding the volume changed, and
// the pad files and free space after it; the whole volume when it is top-level.
void RebuiltRange(const FirmwareImage &Image, const FvVolume *Target, uint64_t *Start,
                  uint64_t *End) {
  for (const FvVolume &Volume : Image.Volumes) {
    *Start = Volume.Offset;
    *End = Volume.Offset + Volume.Bytes.size();
    if (Holds(Volume, nullptr, Target)) {
      return;
    }
    const auto File =
        std::find_if(Volume.Files.begin(), Volume.Files.end(),
                     [&](const FvFile &Candidate) { return Holds(Volume, &Candidate, Target); });
    if (File != Volume.Files.end()) {
      const FvFile *Next = NextKeptFile(Volume, *File);
      *Start = Volume.Offset + File->Offset;
      *End = Volume.Offset + (Next != nullptr ? Next->Offset : FreeEnd(Volume));
      return;
    }
  }
}

bool CheckOutside(const FirmwareImage &Image, const EditPlan &Plan, ByteView Bytes,
                  std::string *Error) {
  if (Bytes.size() != Image.Bytes.size()) {
    return Fail(Error, "the output is " + Hex(Bytes.size()) + " bytes, the input " +
                           Hex(Image.Bytes.size()));
  }
  uint64_t Start = 0;
  uint64_t End = 0;
  RebuiltRange(Image, Plan.Volume, &Start, &End);
  const uint64_t Before = FirstDifference(Image.Bytes.first(Start), Bytes.first(Start));
  const uint64_t After = End + FirstDifference(Image.Bytes.subspan(End), Bytes.subspan(End));
  if (Before < Start || After < Bytes.size()) {
    return Fail(Error, "byte " + Hex(Before < Start ? Before : After) +
                           " of the image changed, outside the rebuilt containers (" + Hex(Start) +
                           " to " + Hex(End) + ")");
  }
  return true;
}

bool CheckEdit(const FirmwareImage &Image, const EditPlan &Plan, ByteView Bytes,
               std::string *Error) {
  FirmwareImage Check;
  std::string Reason;
  if (!ParseFirmwareImage(Bytes, &Check, &Reason)) {
    return Fail(Error, "the output does not read back: " + Reason);
  }
  const std::vector<const FvVolume *> Old = AllVolumes(Image);
  const std::vector<const FvVolume *> New = AllVolumes(Check);
  const auto Index =
      static_cast<size_t>(std::find(Old.begin(), Old.end(), Plan.Volume) - Old.begin());
  if (New.size() != Old.size() || Index >= Old.size()) {
    return Fail(Error, "the output holds " + Counted(New.size(), "volume") + ", the input " +
                           std::to_string(Old.size()));
  }
  const FvVolume &Now = *New[Index];
  if (!Same(Now.Bytes, Plan.Bytes)) {
    return Fail(Error, "the rebuilt containers decode to other bytes than intended for " +
                           VolumeLabel(Now) + ", from byte " +
                           Hex(FirstDifference(Now.Bytes, Plan.Bytes)));
  }
  if (!Plan.Placed.empty() && !CheckNewFile(Plan, Now, Error)) {
    return false;
  }
  if (!CheckOtherFiles(Plan, Now, Error)) {
    return false;
  }
  const size_t Cores = PeiCoreCount(*Plan.Volume);
  if (PeiCoreCount(Now) != Cores) {
    return Fail(Error, VolumeLabel(Now) + " holds " + Counted(PeiCoreCount(Now), "live PEI core") +
                           ", not " + std::to_string(Cores));
  }
  if (!Plan.Placed.empty() && !CheckMovedImage(Plan, Now, Error)) {
    return false;
  }
  return CheckOutside(Image, Plan, Bytes, Error);
}

} // namespace

void AtStage(const FaultHook &Hook, EditStage Stage, std::vector<uint8_t> *Bytes, uint64_t *At) {
  uint64_t Unused = 0;
  if (Hook) {
    Hook(Stage, Bytes, At != nullptr ? At : &Unused);
  }
}

EditOutcome FinishEdit(const FirmwareImage &Image, const EditPlan &Plan, const FaultHook &Hook,
                       std::vector<uint8_t> *Out, std::vector<RebuiltPart> *Parts,
                       std::string *Error) {
  std::vector<uint8_t> Input = Plan.Bytes;
  AtStage(Hook, EditStage::EncoderInput, &Input);
  std::vector<uint8_t> Rebuilt;
  if (!RebuildImage(Image, *Plan.Volume, Input, &Rebuilt, Parts, Error)) {
    return EditOutcome::Refused;
  }
  AtStage(Hook, EditStage::Output, &Rebuilt);
  std::string Reason;
  if (!CheckEdit(Image, Plan, Rebuilt, &Reason)) {
    (void)Fail(Error, "self-check failed, nothing written (a fault in fv-tool): " + Reason);
    return EditOutcome::FaultInTool;
  }
  *Out = std::move(Rebuilt);
  return EditOutcome::Done;
}
