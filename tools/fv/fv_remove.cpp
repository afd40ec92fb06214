#include "fv_remove.h"

#include <cstdint>
#include <string>
#include <vector>

#include "apriori.h"
#include "edit_check.h"
#include "firmware_tree.h"
#include "fv_format.h"
#include "fv_names.h"
#include "fv_target.h"
#include "messages.h"
#include "rebuild.h"
#include "volume_edit.h"

using namespace fv;

EditOutcome RemoveNamedFile(const FirmwareImage &Image, const EFI_GUID &Name,
                            std::vector<uint8_t> *Out, std::string *Report, std::string *Error,
                            const FaultHook &Hook) {
  FileInVolume Found{};
  if (!FindOneFile(Image, Name, &Found, Error)) {
    return EditOutcome::Refused;
  }
  const FvVolume &Volume = *Found.Volume;
  EditPlan Plan;
  Plan.Volume = &Volume;
  Plan.Gone = Found.File;
  Plan.Bytes.assign(Volume.Bytes.begin(), Volume.Bytes.end());
  if (!Unlist(Volume, Name, &Plan.Bytes, &Plan.Edited, &Plan.EditedBytes, Error)) {
    return EditOutcome::Refused;
  }
  const uint64_t FreeStart = RemoveFile(Volume, *Found.File, &Plan.Bytes);
  AtStage(Hook, EditStage::Volume, &Plan.Bytes);
  std::vector<RebuiltPart> Parts;
  const EditOutcome Outcome = FinishEdit(Image, Plan, Hook, Out, &Parts, Error);
  if (Outcome != EditOutcome::Done) {
    return Outcome;
  }
  const bool Freed = FreeStart != Volume.FreeStart;
  *Report =
      "removed " + FileLabel(*Found.File) + " (" + FileTypeName(Found.File->Header.Type) + ", " +
      Hex(Found.File->Bytes.size()) + " bytes) from " + VolumeLabel(Volume) + "\n" +
      (Freed ? "free space now starts at " + Hex(FreeStart) + "\n"
             : "a pad file of its size takes its place\n") +
      (Plan.Edited != nullptr ? "taken out of the PEI apriori " + FileLabel(*Plan.Edited) + "\n"
                              : std::string()) +
      RebuiltText(Parts);
  return EditOutcome::Done;
}

bool ExtractImage(const FirmwareImage &Image, const EFI_GUID &Name, std::vector<uint8_t> *Out,
                  std::string *Report, std::string *Error) {
  FileInVolume Found{};
  if (!FindOneFile(Image, Name, &Found, Error)) {
    return false;
  }
  const std::vector<const FvSection *> Images = ImageSections(*Found.File);
  if (Images.size() != 1) {
    return Fail(Error, FileLabel(*Found.File) + " holds " +
                           Counted(Images.size(), "PE32 or TE section") + ", not one");
  }
  // What remove would refuse, extract refuses too: a volume whose containers cannot be rebuilt.
  const std::vector<uint8_t> Same(Found.Volume->Bytes.begin(), Found.Volume->Bytes.end());
  std::vector<uint8_t> Rebuilt;
  std::vector<RebuiltPart> Parts;
  if (!RebuildImage(Image, *Found.Volume, Same, &Rebuilt, &Parts, Error)) {
    return false;
  }
  const FvSection &Section = *Images.front();
  const ByteView Bytes = Section.Bytes.subspan(Section.DataOffset);
  Out->assign(Bytes.begin(), Bytes.end());
  *Report =
      FileLabel(*Found.File) + " in " + VolumeLabel(*Found.Volume) + ": " +
      (Section.Type == EFI_SECTION_TE ? "TE" : "PE32") + " image, " + Hex(Bytes.size()) + " bytes" +
      (Section.HasImageBase ? ", image base " + Hex(Section.ImageBase, 8) : std::string()) + "\n";
  return true;
}
