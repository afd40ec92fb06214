#include "fv_target.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "ffs_rules.h"
#include "firmware_tree.h"
#include "firmware_walk.h"
#include "fv_format.h"
#include "fv_names.h"
#include "guid_text.h"
#include "messages.h"

using namespace fv;

namespace {

bool IsLivePeiCore(const FvFile &File) {
  return File.Header.Type == EFI_FV_FILETYPE_PEI_CORE && FileIsLive(File.StateBit);
}

// "a GUID-defined section ... (Brotli) in file ... at 0x60": a section not looked into.
std::string UnreadPhrase(const FvFile &File, const FvSection &Section) {
  if (Section.Type == EFI_SECTION_COMPRESSION) {
    return "an EFI compression section (type 0x01) in " + FileLabel(File);
  }
  const std::string Name = GuidedSectionName(Section.Guid);
  return "a GUID-defined section " + GuidText(Section.Guid) +
         (Name.empty() ? "" : " (" + Name + ")") + " in " + FileLabel(File);
}

std::string Joined(const std::vector<std::string> &Parts) {
  std::string Text;
  for (const std::string &Part : Parts) {
    Text += (Text.empty() ? "" : ", ") + Part;
  }
  return Text;
}

} // namespace

bool FindPeiVolume(const FirmwareImage &Image, const EFI_GUID *Named, const FvVolume **Target,
                   std::vector<std::string> *Unread, std::string *Error) {
  std::vector<const FvVolume *> Volumes;
  FirmwareVisitor Visit;
  Visit.Volume = [&](const FvVolume &Volume) {
    if (PeiCoreCount(Volume) != 0 &&
        (Named == nullptr || (Volume.HasName && SameGuid(Volume.Name, *Named)))) {
      Volumes.push_back(&Volume);
    }
  };
  Visit.Section = [&](const FvFile &File, const FvSection &Section) {
    if (Section.Content == SectionContent::Opaque) {
      Unread->push_back(UnreadPhrase(File, Section));
    }
  };
  WalkFirmware(Image, Visit);
  if (Volumes.size() == 1) {
    *Target = Volumes.front();
    return true;
  }
  if (Volumes.empty()) {
    const std::string Where =
        Named != nullptr ? "the volume named " + GuidText(*Named) : "no volume";
    return Fail(Error, (Named != nullptr ? Where + " holds no PEI core (file type 0x04)"
                                         : "no volume holds a PEI core (file type 0x04)") +
                           (Unread->empty() ? "" : "; not looked into: " + Joined(*Unread)));
  }
  std::string Labels;
  for (const FvVolume *Volume : Volumes) {
    Labels += (Labels.empty() ? "" : ", ") + VolumeLabel(*Volume);
  }
  return Fail(Error, std::to_string(Volumes.size()) + " volumes hold a PEI core, not one: " +
                         Labels + "; choose one with --volume GUID");
}

std::vector<FileInVolume> LiveFilesNamed(const FirmwareImage &Image, const EFI_GUID &Name) {
  std::vector<FileInVolume> Found;
  FirmwareVisitor Visit;
  Visit.File = [&](const FvVolume &Volume, const FvFile &File) {
    if (FileIsLive(File.StateBit) && File.Header.Type != EFI_FV_FILETYPE_FFS_PAD &&
        SameGuid(File.Header.Name, Name)) {
      Found.push_back({&Volume, &File});
    }
  };
  WalkFirmware(Image, Visit);
  return Found;
}

bool FindOneFile(const FirmwareImage &Image, const EFI_GUID &Name, FileInVolume *Found,
                 std::string *Error) {
  const std::vector<FileInVolume> Files = LiveFilesNamed(Image, Name);
  if (Files.empty()) {
    return Fail(Error, "no live file is named " + GuidText(Name));
  }
  if (Files.size() > 1) {
    std::string Labels;
    for (const FileInVolume &One : Files) {
      Labels +=
          (Labels.empty() ? "" : ", ") + FileLabel(*One.File) + " in " + VolumeLabel(*One.Volume);
    }
    return Fail(Error, std::to_string(Files.size()) + " live files are named " + GuidText(Name) +
                           ", not one: " + Labels);
  }
  const FvFile &File = *Files.front().File;
  if (IsLivePeiCore(File)) {
    return Fail(Error, FileLabel(File) +
                           " is the PEI core (file type 0x04), which the firmware cannot run "
                           "without");
  }
  const FvFile *Core = nullptr;
  FirmwareVisitor Visit;
  Visit.File = [&Core](const FvVolume &, const FvFile &Inner) {
    Core = Core == nullptr && IsLivePeiCore(Inner) ? &Inner : Core;
  };
  WalkFile(*Files.front().Volume, File, Visit);
  if (Core != nullptr) {
    return Fail(Error, FileLabel(File) + " holds the PEI core (" + FileLabel(*Core) +
                           " inside it), which the firmware cannot run without");
  }
  *Found = Files.front();
  return true;
}

std::vector<const FvSection *> ImageSections(const FvFile &File) {
  std::vector<const FvSection *> Found;
  const std::function<void(const std::vector<FvSection> &)> Look =
      [&](const std::vector<FvSection> &Sections) {
        for (const FvSection &Section : Sections) {
          if (Section.Type == EFI_SECTION_PE32 || Section.Type == EFI_SECTION_TE) {
            Found.push_back(&Section);
          } else if (Section.Content == SectionContent::InPlace) {
            Look(Section.Sections);
          }
        }
      };
  Look(File.Sections);
  return Found;
}

uint16_t PeiCoreMachine(const FvVolume &Volume) {
  for (const FvFile &File : Volume.Files) {
    const std::vector<const FvSection *> Images =
        IsLivePeiCore(File) ? ImageSections(File) : std::vector<const FvSection *>();
    const auto Read = std::find_if(Images.begin(), Images.end(),
                                   [](const FvSection *Section) { return Section->HasImageBase; });
    if (Read != Images.end()) {
      return (*Read)->Machine;
    }
  }
  return 0;
}

size_t PeiCoreCount(const FvVolume &Volume) {
  return static_cast<size_t>(
      std::count_if(Volume.Files.begin(), Volume.Files.end(), IsLivePeiCore));
}
